// The commands of the control socket, parsed from one line (docs/phone.md).
#pragma once

#include "sim/Status.h"
#include "sim/abi/EntryPoints.h"
#include "sim/phone/Calls.h"
#include "sim/pim/PimCommand.h"
#include "sim/profiles/MediaPlayer.h"
#include "sim/radio/Address.h"
#include "sim/radio/Stack.h"
#include "sim/world/World.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

enum class CommandKind {
    Help,         // help
    Devices,      // devices
    AddDevice,    // add-device ADDR "NAME" SERVICES [paired|unpaired] [in-range|out-of-range]
    RemoveDevice, // remove-device ADDR|all
    Range,        // range ADDR in|out
    Pair,         // pair ADDR ok|fail
    Connect,      // connect ADDR|none SERVICE
    Disconnect,   // disconnect ADDR|none SERVICE
    Fail,         // fail ENTRY-POINT [COUNT|always|off]
    State,        // state
    Log,          // log
    Player,       // player ADDR play|pause|stop|next|previous|volume-up|volume-down
    Ring,         // ring NUMBER
    Waiting,      // waiting NUMBER
    Accept,       // accept
    Answer,       // answer auto|manual
    HangUp,       // hangup [INDEX]
    Service,      // service on|off
    Signal,       // signal 0..5
    SignalStorm,  // signal-storm COUNT
    Battery,      // battery 0..5
    Roam,         // roam on|off
    Text,         // text "OPERATOR TEXT"
    HoldEvents,   // hold-events on|off|uninit
    Volume,       // volume speaker|mic 0..15
    Pim,          // the phonebook and call-log commands of PimCommand.h; the last kind
};

enum class FailMode { Next, Always, Off };

// Highest gain of `volume`, as the hands-free profile's AT+VGS and AT+VGM count.
inline constexpr int kMaxGain = 15;

// The most events one `signal-storm` makes.
inline constexpr int kMaxSignalStorm = 1'000'000;

// One parsed command; only the fields of its kind are meaningful.
struct ControlCommand {
    CommandKind kind = CommandKind::Help;
    Device device;                  // add-device
    std::optional<Address> address; // none for `all` (remove-device) and `none` (connect, ...)
    Range range = Range::InRange;
    PairOutcome pairing = PairOutcome::Success;
    int16_t service = 0;
    Api api = Api::Init;
    FailMode failMode = FailMode::Next;
    uint32_t count = 1; // fail: calls to fail, 0 cancels a pending count; signal-storm: events
    std::string text;   // ring, waiting: the number; text: the operator text
    std::optional<int> index; // hangup: the call; none for the current one
    int level = 0;            // signal, battery; volume: the gain
    bool on = false; // service, roam, hold-events (on, and uninit), answer (auto), volume (speaker)
    bool untilUnInit = false;                   // hold-events uninit
    PlayerCommand player = PlayerCommand::Play; // player: the phone's button
    PimCommand pim;                             // the PIM commands
};

struct ControlParse {
    std::optional<ControlCommand> command;
    std::string problem; // when there is no command: what is wrong, for "error: ..."
};

ControlParse ParseControlCommand(std::string_view line);

// One line per command, for `help` and usage errors.
std::string_view ControlUsage();

// The name of every command the parser accepts, in the order of `help`.
std::vector<std::string_view> ControlCommandNames();

class Control;
struct ControlReply;

// Whether a problem the arguments have is followed by the command's usage.
enum class UsageHint { Omitted, Appended };

// One control command: how it is written, read and carried out. The table of these
// (ControlCommand.cpp) is the one list of commands for the parser, `help` and Control::Run.
struct ControlRow {
    std::string_view name;
    CommandKind kind;
    std::string_view usage; // the arguments, for `help` and usage errors
    std::size_t leastArgs;  // a line with fewer or more arguments gets "usage: ..."
    std::size_t mostArgs;
    // Reads the arguments, already counted, into the command; why they are wrong, if they are.
    Status (*parse)(const std::vector<std::string>& args, ControlCommand& command);
    UsageHint hint; // for a problem `parse` finds
    ControlReply (Control::*run)(const ControlCommand& command);
};

// The row of the command named `name`; null for no command.
const ControlRow* FindControlRow(std::string_view name);
// The row that carries out commands of `kind`; null for none.
const ControlRow* ControlRowOf(CommandKind kind);

} // namespace kobalt::sim
