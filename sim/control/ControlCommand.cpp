#include "sim/control/ControlCommand.h"

#include "sim/control/Control.h"
#include "sim/world/Words.h"
#include "sim/world/WorldFile.h"

#include <charconv>
#include <limits>

namespace kobalt::sim {
namespace {

using Words = std::vector<std::string>;

// A whole decimal number, nothing else.
template <class T> std::optional<T> Decimal(const std::string& word) {
    T value{};
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || error != std::errc{} || end != word.data() + word.size()) {
        return std::nullopt;
    }
    return value;
}

// A whole decimal number from `least` to `most`.
Status ReadNumber(const std::string& word, int least, int most, std::string_view what, int& value) {
    const std::optional<int> number = Decimal<int>(word);
    if (!number || *number < least || *number > most) {
        return Status::Error(std::string(what) + " must be " + std::to_string(least) + " to " +
                             std::to_string(most) + ", found '" + word + "'");
    }
    value = *number;
    return {};
}

// One of two keywords; `first` tells which.
Status ReadEither(const std::string& word, std::string_view one, std::string_view other,
                  bool& first) {
    if (word != one && word != other) {
        return Status::Error("expected " + std::string(one) + " or " + std::string(other) +
                             ", found '" + word + "'");
    }
    first = word == one;
    return {};
}

// An address, or none for `keyword` (when there is one).
Status ReadAddress(const std::string& word, std::string_view keyword,
                   std::optional<Address>& address) {
    if (word == keyword) {
        address = std::nullopt;
        return {};
    }
    address = ParseAddress(word);
    if (!address) {
        return Status::Error("'" + word + "' is not an address like 66:55:44:33:22:11" +
                             (keyword.empty() ? "" : " or " + std::string(keyword)));
    }
    return {};
}

// The parse functions of the table's rows; each gets as many arguments as its row allows.

Status ParseNothing(const Words&, ControlCommand&) {
    return {};
}

Status ParseCallNumber(const Words& args, ControlCommand& command) {
    if (args[0].empty()) {
        return Status::Error("the number is empty");
    }
    command.text = args[0];
    return {};
}

Status ParseText(const Words& args, ControlCommand& command) {
    command.text = args[0];
    return {};
}

Status ParseHangUp(const Words& args, ControlCommand& command) {
    if (args.empty()) {
        return {};
    }
    int index = 0;
    Status read = ReadNumber(args[0], 1, 99, "the call index", index);
    if (read.Ok()) {
        command.index = index;
    }
    return read;
}

Status ParseOnOff(const Words& args, ControlCommand& command) {
    return ReadEither(args[0], "on", "off", command.on);
}

Status ParseLevel(const Words& args, ControlCommand& command) {
    return ReadNumber(args[0], 0, kMaxIndicatorLevel, "the level", command.level);
}

Status ParseStorm(const Words& args, ControlCommand& command) {
    int count = 0;
    Status read = ReadNumber(args[0], 1, kMaxSignalStorm, "the event count", count);
    command.count = static_cast<uint32_t>(count);
    return read;
}

Status ParseVolume(const Words& args, ControlCommand& command) {
    Status read = ReadEither(args[0], "speaker", "mic", command.on);
    if (read.Ok()) {
        read = ReadNumber(args[1], 0, kMaxGain, "the gain", command.level);
    }
    return read;
}

Status ParseAnswer(const Words& args, ControlCommand& command) {
    return ReadEither(args[0], "auto", "manual", command.on);
}

Status ParseHoldEvents(const Words& args, ControlCommand& command) {
    command.untilUnInit = args[0] == "uninit";
    if (command.untilUnInit) {
        command.on = true;
        return {};
    }
    return ReadEither(args[0], "on", "off", command.on);
}

Status ParseAddDevice(const Words& args, ControlCommand& command) {
    Result<Device> device = ParseDeviceFields(args);
    if (!device.Ok()) {
        return device.Error();
    }
    command.device = std::move(device).Value();
    return {};
}

Status ParseRemoveDevice(const Words& args, ControlCommand& command) {
    return ReadAddress(args[0], "all", command.address);
}

Status ParsePlayer(const Words& args, ControlCommand& command) {
    if (Status read = ReadAddress(args[0], "", command.address); !read.Ok()) {
        return read;
    }
    const std::optional<PlayerCommand> button = ParsePlayerCommand(args[1]);
    if (!button) {
        return Status::Error(
            "expected play, pause, stop, next, previous, volume-up or volume-down, found '" +
            args[1] + "'");
    }
    command.player = *button;
    return {};
}

Status ParseRange(const Words& args, ControlCommand& command) {
    bool in = false;
    Status read = ReadAddress(args[0], "", command.address);
    if (read.Ok()) {
        read = ReadEither(args[1], "in", "out", in);
    }
    command.range = in ? Range::InRange : Range::OutOfRange;
    return read;
}

Status ParsePair(const Words& args, ControlCommand& command) {
    bool ok = false;
    Status read = ReadAddress(args[0], "", command.address);
    if (read.Ok()) {
        read = ReadEither(args[1], "ok", "fail", ok);
    }
    command.pairing = ok ? PairOutcome::Success : PairOutcome::Fail;
    return read;
}

Status ParseLink(const Words& args, ControlCommand& command) {
    if (Status read = ReadAddress(args[0], "none", command.address); !read.Ok()) {
        return read;
    }
    const std::optional<int16_t> service = ParseServiceCode(args[1]);
    if (!service) {
        return Status::Error("unknown service '" + args[1] +
                             "' (hf, a2dp, internet, ftp, spp, streaming, nfc, avrcp-target, "
                             "avrcp, or a 16-bit code)");
    }
    command.service = *service;
    return {};
}

// The entry point by its full name, or without its `KOBALT_` prefix.
std::optional<Api> FindApiByShortName(const std::string& name) {
    const std::optional<Api> api = FindApi(name);
    if (!api && !name.starts_with("KOBALT_")) {
        return FindApi("KOBALT_" + name);
    }
    return api;
}

Status ParseFail(const Words& args, ControlCommand& command) {
    const std::optional<Api> api = FindApiByShortName(args[0]);
    if (!api) {
        return Status::Error("no entry point named '" + args[0] + "'");
    }
    command.api = *api;
    if (args.size() == 1) {
        return {}; // the next call
    }
    const std::string& how = args[1];
    if (how == "always" || how == "off") {
        command.failMode = how == "always" ? FailMode::Always : FailMode::Off;
        return {};
    }
    const std::optional<uint32_t> count = Decimal<uint32_t>(how);
    if (!count) {
        return Status::Error("expected a count, always or off, found '" + how + "'");
    }
    command.count = *count;
    return {};
}

template <PimCommandKind kind> Status ParsePim(const Words& args, ControlCommand& command) {
    return ParsePimArguments(kind, args, command.pim);
}

// "name ARGUMENTS", as `help` shows it.
std::string UsageLine(const ControlRow& row) {
    return std::string(row.name) + (row.usage.empty() ? "" : " ") + std::string(row.usage);
}

constexpr std::size_t kAnyCount = std::numeric_limits<std::size_t>::max();

} // namespace

// Befriended by Control, whose run functions the rows name.
struct CommandTable {
    using C = Control;
    using K = CommandKind;
    using P = PimCommandKind;
    static constexpr UsageHint kBare = UsageHint::Omitted;
    static constexpr UsageHint kHint = UsageHint::Appended;

    // In the order of `help`.
    static constexpr ControlRow kRows[] = {
        {"help", K::Help, "", 0, 0, ParseNothing, kBare, &C::RunHelp},
        {"devices", K::Devices, "", 0, 0, ParseNothing, kBare, &C::RunDevices},
        {"add-device", K::AddDevice,
         "ADDR \"NAME\" SERVICES [paired|unpaired] [in-range|out-of-range]", 0, kAnyCount,
         ParseAddDevice, kHint, &C::RunAddDevice},
        {"remove-device", K::RemoveDevice, "ADDR|all", 1, 1, ParseRemoveDevice, kBare,
         &C::RunRemoveDevice},
        {"range", K::Range, "ADDR in|out", 2, 2, ParseRange, kBare, &C::RunRange},
        {"pair", K::Pair, "ADDR ok|fail", 2, 2, ParsePair, kBare, &C::RunPair},
        {"connect", K::Connect, "ADDR|none SERVICE", 2, 2, ParseLink, kBare, &C::RunConnect},
        {"disconnect", K::Disconnect, "ADDR|none SERVICE", 2, 2, ParseLink, kBare,
         &C::RunDisconnect},
        {"fail", K::Fail, "ENTRY-POINT [COUNT|always|off]", 1, 2, ParseFail, kBare, &C::RunFail},
        {"ring", K::Ring, "NUMBER", 1, 1, ParseCallNumber, kBare, &C::RunRing},
        {"waiting", K::Waiting, "NUMBER", 1, 1, ParseCallNumber, kBare, &C::RunWaiting},
        {"accept", K::Accept, "", 0, 0, ParseNothing, kBare, &C::RunAccept},
        {"answer", K::Answer, "auto|manual", 1, 1, ParseAnswer, kBare, &C::RunAnswer},
        {"hangup", K::HangUp, "[INDEX]", 0, 1, ParseHangUp, kBare, &C::RunHangUp},
        {"service", K::Service, "on|off", 1, 1, ParseOnOff, kBare, &C::RunService},
        {"signal", K::Signal, "0..5", 1, 1, ParseLevel, kBare, &C::RunSignal},
        {"signal-storm", K::SignalStorm, "COUNT", 1, 1, ParseStorm, kBare, &C::RunSignalStorm},
        {"battery", K::Battery, "0..5", 1, 1, ParseLevel, kBare, &C::RunBattery},
        {"roam", K::Roam, "on|off", 1, 1, ParseOnOff, kBare, &C::RunRoam},
        {"text", K::Text, "\"OPERATOR TEXT\"", 1, 1, ParseText, kBare, &C::RunText},
        {"state", K::State, "", 0, 0, ParseNothing, kBare, &C::RunState},
        {"log", K::Log, "", 0, 0, ParseNothing, kBare, &C::RunLog},
        {"hold-events", K::HoldEvents, "on|off|uninit", 1, 1, ParseHoldEvents, kBare,
         &C::RunHoldEvents},
        {"volume", K::Volume, "speaker|mic 0..15", 2, 2, ParseVolume, kBare, &C::RunVolume},
        {"player", K::Player, "ADDR play|pause|stop|next|previous|volume-up|volume-down", 2, 2,
         ParsePlayer, kBare, &C::RunPlayer},
        // The phone's PIM side (PimCommand.h), which counts its arguments itself.
        {"add-contact", K::Pim, "\"NAME\" \"HOME\" \"WORK\" \"CELL\"", 0, kAnyCount,
         ParsePim<P::AddContact>, kHint, &C::RunPim},
        {"remove-contact", K::Pim, "all|pushed", 0, kAnyCount, ParsePim<P::RemoveContacts>, kHint,
         &C::RunPim},
        {"generate-contacts", K::Pim, "N", 0, kAnyCount, ParsePim<P::GenerateContacts>, kHint,
         &C::RunPim},
        {"push-contact", K::Pim, "\"NAME\" [NUMBER...]", 0, kAnyCount, ParsePim<P::PushContact>,
         kHint, &C::RunPim},
        {"pim-fail", K::Pim, "2|10|11|12", 0, kAnyCount, ParsePim<P::Fail>, kHint, &C::RunPim},
        {"add-calllog", K::Pim, "incoming|outgoing|missed \"NAME\" NUMBER", 0, kAnyCount,
         ParsePim<P::AddCalllog>, kHint, &C::RunPim},
        {"clear-calllogs", K::Pim, "", 0, kAnyCount, ParsePim<P::ClearCalllogs>, kHint, &C::RunPim},
    };
};

namespace {

// A name found twice would hide its later row.
constexpr bool NamesAreDistinct() {
    for (const ControlRow& row : CommandTable::kRows) {
        std::size_t found = 0;
        for (const ControlRow& other : CommandTable::kRows) {
            found += other.name == row.name ? 1 : 0;
        }
        if (found != 1) {
            return false;
        }
    }
    return true;
}

// A kind without a row would parse nowhere and run as "unhandled command".
constexpr bool EveryKindHasARow() {
    for (int kind = 0; kind <= static_cast<int>(CommandKind::Pim); ++kind) {
        bool found = false;
        for (const ControlRow& row : CommandTable::kRows) {
            found = found || row.kind == static_cast<CommandKind>(kind);
        }
        if (!found) {
            return false;
        }
    }
    return true;
}

static_assert(NamesAreDistinct());
static_assert(EveryKindHasARow(), "CommandKind::Pim is the last kind; each needs a row");

} // namespace

const ControlRow* FindControlRow(std::string_view name) {
    for (const ControlRow& row : CommandTable::kRows) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
}

const ControlRow* ControlRowOf(CommandKind kind) {
    for (const ControlRow& row : CommandTable::kRows) {
        if (row.kind == kind) {
            return &row;
        }
    }
    return nullptr;
}

ControlParse ParseControlCommand(std::string_view line) {
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    SplitResult split = SplitWords(line);
    if (!split.problem.empty()) {
        return {std::nullopt, split.problem};
    }
    if (split.words.empty()) {
        return {std::nullopt, "empty command; try help"};
    }
    const ControlRow* row = FindControlRow(split.words[0]);
    if (row == nullptr) {
        return {std::nullopt, "unknown command '" + split.words[0] + "'; try help"};
    }
    const Words args(split.words.begin() + 1, split.words.end());
    if (args.size() < row->leastArgs || args.size() > row->mostArgs) {
        return {std::nullopt, "usage: " + UsageLine(*row)};
    }
    ControlCommand command;
    command.kind = row->kind;
    if (const Status parsed = row->parse(args, command); !parsed.Ok()) {
        return {std::nullopt, row->hint == UsageHint::Appended
                                  ? parsed.Message() + " (usage: " + UsageLine(*row) + ")"
                                  : parsed.Message()};
    }
    return {command, {}};
}

std::string_view ControlUsage() {
    // Never destroyed: the control thread may still answer `help` while the process exits.
    static const std::string* const usage = [] {
        auto* text = new std::string;
        for (const ControlRow& row : CommandTable::kRows) {
            *text += UsageLine(row) + "\n";
        }
        return text;
    }();
    return *usage;
}

std::vector<std::string_view> ControlCommandNames() {
    std::vector<std::string_view> names;
    for (const ControlRow& row : CommandTable::kRows) {
        names.push_back(row.name);
    }
    return names;
}

} // namespace kobalt::sim
