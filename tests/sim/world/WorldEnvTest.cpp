// A malformed world file named by KOBALT_SIM_WORLD (worlds/malformed.world, line 4): the
// library reports it and refuses to start.
#include "PhoneSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace kobalt::sim::test {
namespace {

using testing::Contains;
using testing::HasSubstr;

TEST(WorldEnv, MalformedWorldIsReportedWithFileAndLineAndInitFails) {
    const std::string path = std::getenv("KOBALT_SIM_WORLD");
    const std::string diagnostic =
        path +
        ":4: device: unknown service 'fax' (known: hf, a2dp, avrcp, spp, dun, pbap, or none)";
    EXPECT_THAT(SimLibrary::Get().LoadMessages(), HasSubstr("[KOBALT.sim] world " + diagnostic));

    EXPECT_NE(Call("KOBALT_Init"), 0);
    EXPECT_NE(Call("KOBALT_Init"), 0) << "on every attempt";
    const std::string log = Phone("log");
    EXPECT_THAT(log, HasSubstr("KOBALT_Init fails: world " + diagnostic + "\n"));

    const std::vector<std::string> state = PhoneState();
    EXPECT_THAT(state, Contains("initialised no"));
    EXPECT_THAT(state, Contains("world malformed \"" + path + "\""));
    EXPECT_EQ(Phone("devices"), "ok\n") << "no device of the file is taken";
}

} // namespace
} // namespace kobalt::sim::test
