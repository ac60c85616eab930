// The control socket's command line: any local process of the user can send one, so any bytes.
//
// The line is cut at its first newline, as the control server does. Checks: a line gives a
// command or a reason, never both or neither; the answer with the reason is one line without
// control characters; levels stay in range; a device to add has a name a device can hold and reads
// back the same from the world-file line it is written as.

#include "FuzzCheck.h"
#include "sim/control/Control.h"
#include "sim/control/ControlCommand.h"
#include "sim/world/WorldFile.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kobalt::sim;
    std::string_view line(reinterpret_cast<const char*>(data), size);
    line = line.substr(0, line.find('\n'));

    const ControlParse parse = ParseControlCommand(line);
    FUZZ_CHECK(parse.command.has_value() == parse.problem.empty());
    if (!parse.command) {
        // The answer the control server sends: one line, nothing a terminal would act on.
        const std::string answer = ControlReply{parse.problem, {}}.Text();
        FUZZ_CHECK(answer.back() == '\n');
        for (std::size_t i = 0; i + 1 < answer.size(); ++i) {
            const auto c = static_cast<unsigned char>(answer[i]);
            FUZZ_CHECK(c >= 0x20 && c != 0x7F);
        }
        return 0;
    }
    const ControlCommand& command = *parse.command;
    switch (command.kind) {
    case CommandKind::Signal:
    case CommandKind::Battery:
        FUZZ_CHECK(command.level >= 0 && command.level <= 5);
        break;
    case CommandKind::AddDevice: {
        FUZZ_CHECK(command.device.name.size() <= kMaxNameBytes);
        const std::string written = FormatDevice(command.device);
        const WorldParse again = ParseWorld(written, "/nonexistent/kobalt-fuzz");
        FUZZ_CHECK(again.line == 0);
        FUZZ_CHECK(again.world.Devices().size() == 1);
        FUZZ_CHECK(FormatDevice(again.world.Devices()[0]) == written);
        break;
    }
    case CommandKind::Ring:
    case CommandKind::Waiting:
        FUZZ_CHECK(!command.text.empty());
        break;
    default:
        break;
    }
    // The same line always reads the same way.
    const ControlParse again = ParseControlCommand(line);
    FUZZ_CHECK(again.command.has_value() && again.command->kind == command.kind);
    return 0;
}
