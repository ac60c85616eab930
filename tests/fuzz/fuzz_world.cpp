// The simulated SDK's world file and the vCard files it names, from bytes: the input up to its
// first NUL is the world, the rest is the file every `vcard` line gets (held in memory; nothing
// is read from disk).
//
// Checks: a world read has its devices, contacts and call settings within their limits, and
// every device is written back by FormatDevice as a line that reads the same device again; a
// malformed world names a line of the text and a reason, and nothing of it is kept.

#include "FuzzCheck.h"
#include "sim/world/BoundedFile.h"
#include "sim/world/WorldFile.h"

#include <algorithm>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kobalt::sim;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string_view text = input.substr(0, nul);
    const std::string vcard(nul == std::string_view::npos ? "" : input.substr(nul + 1));
    MemoryFiles files;
    files.fallback = &vcard;

    const WorldParse world = ParseWorld(text, "/fuzz/", files);
    if (world.line == 0) {
        FUZZ_CHECK(world.problem.empty());
        FUZZ_CHECK(world.world.Devices().size() <= kMaxWorldDevices);
        FUZZ_CHECK(world.pim.contacts.size() <= kMaxPhonebook);
        FUZZ_CHECK(world.world.calls.ringTime >= std::chrono::seconds{1} &&
                   world.world.calls.ringTime <= kMaxRingTime);
        for (const Device& device : world.world.Devices()) {
            FUZZ_CHECK(device.name.size() <= kMaxNameBytes);
            const std::string line = FormatDevice(device);
            const WorldParse again = ParseWorld(line, "/fuzz/", files);
            FUZZ_CHECK(again.line == 0);
            FUZZ_CHECK(again.world.Devices().size() == 1);
            FUZZ_CHECK(FormatDevice(again.world.Devices()[0]) == line);
        }
        for (const ContactRecord& contact : world.pim.contacts) {
            // Every field keeps its terminator.
            FUZZ_CHECK(
                contact.name[kContactNameUnits] == 0 && contact.home[kContactNumberUnits] == 0 &&
                contact.work[kContactNumberUnits] == 0 && contact.cell[kContactNumberUnits] == 0);
        }
    } else {
        const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
        FUZZ_CHECK(world.line >= 1 && world.line <= lines);
        FUZZ_CHECK(!world.problem.empty());
        FUZZ_CHECK(world.world.Devices().empty());
        FUZZ_CHECK(world.pim.contacts.empty());
    }
    return 0;
}
