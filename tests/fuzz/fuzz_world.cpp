// The simulated SDK's world file and the vCard files it may name: any bytes as either.
//
// Checks: every device read is written back by FormatDevice as a line that reads the same
// device again, and names stay within what a Bluetooth name holds.

#include "FuzzCheck.h"
#include "sim/VCard.h"
#include "sim/WorldFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// vCard files named by a world are looked for here, where there are none.
constexpr const char* kNoFiles = "/nonexistent/kobalt-fuzz";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kobalt::sim;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    WorldParse world = ParseWorld(text, kNoFiles);
    if (world.line == 0) {
        for (const Device& device : world.world.Devices()) {
            FUZZ_CHECK(device.name.size() <= kMaxNameBytes);
            const std::string line = FormatDevice(device);
            WorldParse again = ParseWorld(line, kNoFiles);
            FUZZ_CHECK(again.line == 0);
            FUZZ_CHECK(again.world.Devices().size() == 1);
            FUZZ_CHECK(FormatDevice(again.world.Devices()[0]) == line);
        }
    }

    VCardParse cards = ParseVCards(text);
    FUZZ_CHECK(cards.line >= 0);
    return 0;
}
