#include "sim/control/ControlCommand.h"

#include "sim/world/Words.h"
#include "sim/world/WorldFile.h"

#include <charconv>
#include <vector>

namespace kobalt::sim {
namespace {

struct Syntax {
    std::string_view name;
    CommandKind kind;
    std::string_view usage; // the arguments
};

constexpr Syntax kCommands[] = {
    {"help", CommandKind::Help, ""},
    {"devices", CommandKind::Devices, ""},
    {"add-device", CommandKind::AddDevice,
     "ADDR \"NAME\" SERVICES [paired|unpaired] [in-range|out-of-range]"},
    {"remove-device", CommandKind::RemoveDevice, "ADDR|all"},
    {"range", CommandKind::Range, "ADDR in|out"},
    {"pair", CommandKind::Pair, "ADDR ok|fail"},
    {"connect", CommandKind::Connect, "ADDR|none SERVICE"},
    {"disconnect", CommandKind::Disconnect, "ADDR|none SERVICE"},
    {"fail", CommandKind::Fail, "ENTRY-POINT [COUNT|always|off]"},
    {"ring", CommandKind::Ring, "NUMBER"},
    {"waiting", CommandKind::Waiting, "NUMBER"},
    {"accept", CommandKind::Accept, ""},
    {"answer", CommandKind::Answer, "auto|manual"},
    {"hangup", CommandKind::HangUp, "[INDEX]"},
    {"service", CommandKind::Service, "on|off"},
    {"signal", CommandKind::Signal, "0..5"},
    {"signal-storm", CommandKind::SignalStorm, "COUNT"},
    {"battery", CommandKind::Battery, "0..5"},
    {"roam", CommandKind::Roam, "on|off"},
    {"text", CommandKind::Text, "\"OPERATOR TEXT\""},
    {"state", CommandKind::State, ""},
    {"log", CommandKind::Log, ""},
    {"hold-events", CommandKind::HoldEvents, "on|off|uninit"},
    {"player", CommandKind::Player, "ADDR play|pause|stop|next|previous|volume-up|volume-down"},
};

struct Failure {
    std::string problem;
};

std::optional<Address> AddressOrKeyword(const std::string& word, std::string_view keyword) {
    if (word == keyword) {
        return std::nullopt;
    }
    if (std::optional<Address> address = ParseAddress(word)) {
        return address;
    }
    throw Failure{"'" + word + "' is not an address like 66:55:44:33:22:11" +
                  (keyword.empty() ? "" : " or " + std::string(keyword))};
}

bool OnOff(const std::string& word) {
    if (word != "on" && word != "off") {
        throw Failure{"expected on or off, found '" + word + "'"};
    }
    return word == "on";
}

// A whole decimal number from `least` to `most`.
int Number(const std::string& word, int least, int most, const std::string& what) {
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || error != std::errc{} || end != word.data() + word.size() || value < least ||
        value > most) {
        throw Failure{what + " must be " + std::to_string(least) + " to " + std::to_string(most) +
                      ", found '" + word + "'"};
    }
    return value;
}

} // namespace

ControlParse ParseControlCommand(std::string_view line) {
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    SplitResult split = SplitWords(line);
    if (!split.problem.empty()) {
        return {std::nullopt, split.problem};
    }
    std::vector<std::string>& words = split.words;
    if (words.empty()) {
        return {std::nullopt, "empty command; try help"};
    }
    const Syntax* syntax = nullptr;
    for (const Syntax& s : kCommands) {
        syntax = s.name == words[0] ? &s : syntax;
    }
    for (const PimCommandSyntax& s : kPimCommands) {
        if (syntax == nullptr && s.name == words[0]) {
            ControlCommand command;
            command.kind = CommandKind::Pim;
            const std::vector<std::string> args(words.begin() + 1, words.end());
            if (const std::string problem = ParsePimArguments(s.kind, args, command.pim);
                !problem.empty()) {
                return {std::nullopt, problem + " (usage: " + std::string(s.name) +
                                          (s.usage.empty() ? "" : " ") + std::string(s.usage) +
                                          ")"};
            }
            return {command, {}};
        }
    }
    if (syntax == nullptr) {
        return {std::nullopt, "unknown command '" + words[0] + "'; try help"};
    }
    const std::string usage = "usage: " + std::string(syntax->name) +
                              (syntax->usage.empty() ? "" : " ") + std::string(syntax->usage);
    const std::vector<std::string> args(words.begin() + 1, words.end());
    const auto arity = [&](std::size_t least, std::size_t most) {
        if (args.size() < least || args.size() > most) {
            throw Failure{usage};
        }
    };

    ControlCommand command;
    command.kind = syntax->kind;
    try {
        switch (syntax->kind) {
        case CommandKind::Pim: // read above
            break;
        case CommandKind::Help:
        case CommandKind::Devices:
        case CommandKind::State:
        case CommandKind::Log:
        case CommandKind::Accept:
            arity(0, 0);
            break;
        case CommandKind::Ring:
        case CommandKind::Waiting:
            arity(1, 1);
            if (args[0].empty()) {
                throw Failure{"the number is empty"};
            }
            command.text = args[0];
            break;
        case CommandKind::HangUp:
            arity(0, 1);
            if (args.size() == 1) {
                command.index = Number(args[0], 1, 99, "the call index");
            }
            break;
        case CommandKind::Service:
        case CommandKind::Roam:
            arity(1, 1);
            command.on = OnOff(args[0]);
            break;
        case CommandKind::Signal:
        case CommandKind::Battery:
            arity(1, 1);
            command.level = Number(args[0], 0, kMaxIndicatorLevel, "the level");
            break;
        case CommandKind::SignalStorm:
            arity(1, 1);
            command.count =
                static_cast<uint32_t>(Number(args[0], 1, kMaxSignalStorm, "the event count"));
            break;
        case CommandKind::Answer:
            arity(1, 1);
            if (args[0] != "auto" && args[0] != "manual") {
                throw Failure{"expected auto or manual, found '" + args[0] + "'"};
            }
            command.on = args[0] == "auto";
            break;
        case CommandKind::HoldEvents:
            arity(1, 1);
            command.untilUnInit = args[0] == "uninit";
            command.on = command.untilUnInit || OnOff(args[0]);
            break;
        case CommandKind::Text:
            arity(1, 1);
            command.text = args[0];
            break;
        case CommandKind::AddDevice: {
            std::string problem;
            std::optional<Device> device = ParseDeviceFields(args, problem);
            if (!device) {
                throw Failure{problem + " (" + usage + ")"};
            }
            command.device = *device;
            break;
        }
        case CommandKind::RemoveDevice:
            arity(1, 1);
            command.address = AddressOrKeyword(args[0], "all");
            break;
        case CommandKind::Player: {
            arity(2, 2);
            command.address = AddressOrKeyword(args[0], "");
            const std::optional<PlayerCommand> button = ParsePlayerCommand(args[1]);
            if (!button) {
                throw Failure{"expected play, pause, stop, next, previous, volume-up or "
                              "volume-down, found '" +
                              args[1] + "'"};
            }
            command.player = *button;
            break;
        }
        case CommandKind::Range:
            arity(2, 2);
            command.address = AddressOrKeyword(args[0], "");
            if (args[1] != "in" && args[1] != "out") {
                throw Failure{"expected in or out, found '" + args[1] + "'"};
            }
            command.range = args[1] == "in" ? Range::InRange : Range::OutOfRange;
            break;
        case CommandKind::Pair:
            arity(2, 2);
            command.address = AddressOrKeyword(args[0], "");
            if (args[1] != "ok" && args[1] != "fail") {
                throw Failure{"expected ok or fail, found '" + args[1] + "'"};
            }
            command.pairing = args[1] == "ok" ? PairOutcome::Success : PairOutcome::Fail;
            break;
        case CommandKind::Connect:
        case CommandKind::Disconnect: {
            arity(2, 2);
            command.address = AddressOrKeyword(args[0], "none");
            const std::optional<int16_t> service = ParseServiceCode(args[1]);
            if (!service) {
                throw Failure{"unknown service '" + args[1] +
                              "' (hf, a2dp, internet, ftp, spp, streaming, nfc, avrcp-target, "
                              "avrcp, or a 16-bit code)"};
            }
            command.service = *service;
            break;
        }
        case CommandKind::Fail: {
            arity(1, 2);
            std::optional<Api> api = FindApi(args[0]);
            if (!api && !args[0].starts_with("KOBALT_")) {
                api = FindApi("KOBALT_" + args[0]);
            }
            if (!api) {
                throw Failure{"no entry point named '" + args[0] + "'"};
            }
            command.api = *api;
            if (args.size() == 2) {
                const std::string& how = args[1];
                if (how == "always") {
                    command.failMode = FailMode::Always;
                } else if (how == "off") {
                    command.failMode = FailMode::Off;
                } else {
                    const auto [end, error] =
                        std::from_chars(how.data(), how.data() + how.size(), command.count);
                    if (how.empty() || error != std::errc{} || end != how.data() + how.size()) {
                        throw Failure{"expected a count, always or off, found '" + how + "'"};
                    }
                }
            }
            break;
        }
        }
    } catch (const Failure& failure) {
        return {std::nullopt, failure.problem};
    }
    return {command, {}};
}

std::string_view ControlUsage() {
    // Never destroyed: the control thread may still answer `help` while the process exits.
    static const std::string* const usage = [] {
        auto* text = new std::string;
        for (const Syntax& s : kCommands) {
            *text +=
                std::string(s.name) + (s.usage.empty() ? "" : " ") + std::string(s.usage) + "\n";
        }
        for (const PimCommandSyntax& s : kPimCommands) {
            *text +=
                std::string(s.name) + (s.usage.empty() ? "" : " ") + std::string(s.usage) + "\n";
        }
        return text;
    }();
    return *usage;
}

std::vector<std::string_view> ControlCommandNames() {
    std::vector<std::string_view> names;
    for (const Syntax& s : kCommands) {
        names.push_back(s.name);
    }
    for (const PimCommandSyntax& s : kPimCommands) {
        names.push_back(s.name);
    }
    return names;
}

} // namespace kobalt::sim
