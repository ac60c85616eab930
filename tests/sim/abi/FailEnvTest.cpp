// KOBALT_SIM_FAIL, read when the library loads. Run with
//   KOBALT_SIM_FAIL=" KOBALT_Init ,KOBALT_NoSuchEntry,,<tab>KOBALT_GetLocalBTAddr ,
//                    KOBALT_NoSuchEntry,kobalt_UnInit"
// and KOBALT_SIM_TRACE set.
#include "SimLibrary.h"
#include "sdk/KobaltAbi.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace kobalt::sim::test {
namespace {

template <class Fn> Fn Entry(const char* name) {
    const Fn fn = SimLibrary::Get().Entry<Fn>(name);
    if (fn == nullptr) {
        ADD_FAILURE() << name << " is not exported";
    }
    return fn;
}

int Occurrences(const std::string& text, const std::string& word) {
    int count = 0;
    for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++count;
    }
    return count;
}

int ConnectEventCallback(int, KOBALT_BdAddr*, int16_t) {
    return 1;
}

TEST(FailEnv, ListedInitFailsOnEveryCallAndStartsNothing) {
    const auto init = Entry<KOBALT_Fn_Void>("KOBALT_Init");
    EXPECT_NE(init(), 0);
    EXPECT_NE(init(), 0);
    // A registration needs a running stack, so it shows that Init did nothing.
    EXPECT_NE(Entry<KOBALT_Fn_RegisterConnectCallback>("KOBALT_RegisterConnectCallback")(
                  ConnectEventCallback),
              0);
}

TEST(FailEnv, UnlistedEntryPointsAreUnaffected) {
    EXPECT_EQ(Entry<KOBALT_Fn_Void>("KOBALT_UnInit")(), 0) << "names are case-sensitive";
    EXPECT_EQ(Entry<KOBALT_Fn_SetIntegrateTL>("KOBALT_SetIntegrateTL")(1), 0);
}

TEST(FailEnv, ListedEntryPointLeavesItsBufferAlone) {
    KOBALT_BdAddr addr{{1, 2, 3, 4, 5, 6}};
    EXPECT_NE(Entry<KOBALT_Fn_GetLocalBTAddr>("KOBALT_GetLocalBTAddr")(&addr), 0);
    EXPECT_EQ(addr.b[0], 1);
    EXPECT_EQ(addr.b[5], 6);
}

TEST(FailEnv, UnknownNamesAreReportedOnceAtLoad) {
    const std::string& messages = SimLibrary::Get().LoadMessages();
    EXPECT_EQ(Occurrences(messages, "KOBALT_NoSuchEntry"), 1) << messages;
    EXPECT_EQ(Occurrences(messages, "kobalt_UnInit"), 1) << messages;
    EXPECT_EQ(Occurrences(messages, "KOBALT_Init"), 0) << messages;
    EXPECT_EQ(Occurrences(messages, "KOBALT_GetLocalBTAddr"), 0) << messages;
}

TEST(FailEnv, InjectedFailureIsTraced) {
    const char* path = std::getenv("KOBALT_SIM_TRACE");
    ASSERT_NE(path, nullptr);
    Entry<KOBALT_Fn_Void>("KOBALT_Init")();
    std::ifstream file(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    EXPECT_TRUE(text.ends_with("KOBALT_Init() = -2\n")) << text;
}

} // namespace
} // namespace kobalt::sim::test
