#include "sim/control/Control.h"

#include "sim/profiles/DialUp.h"
#include "sim/profiles/MediaPlayers.h"
#include "sim/radio/Adapter.h"
#include "sim/radio/Dispatcher.h"
#include "sim/radio/Services.h"
#include "sim/world/Words.h"
#include "sim/world/WorldFile.h"

#include <cstdio>
#include <iterator>

namespace kobalt::sim {
namespace {

ControlReply Refused(std::string reason) {
    return ControlReply{std::move(reason), {}};
}

// A command that changes something answers with one line saying what it did.
ControlReply Did(const Status& status, std::string done) {
    if (!status.Ok()) {
        return Refused(status.Message());
    }
    return ControlReply{{}, {std::move(done)}};
}

std::string OnOffWord(bool on) {
    return on ? "on" : "off";
}

enum class LinkChange { Connected, Dropped };

// `66:55:44:33:22:11 connected hf`, or for an event without an address
// `connect event without an address, service 9`.
std::string LinkDone(const std::optional<Address>& address, int16_t service, LinkChange change) {
    const bool connected = change == LinkChange::Connected;
    if (!address) {
        return std::string(connected ? "connect" : "disconnect") +
               " event without an address, service " + ServiceCodeName(service);
    }
    return FormatAddress(*address) + (connected ? " connected " : " dropped ") +
           ServiceCodeName(service);
}

std::string FailDone(const ControlCommand& command) {
    const std::string api(ApiName(command.api));
    switch (command.failMode) {
    case FailMode::Always:
        return api + " fails always";
    case FailMode::Off:
        return api + " fails no more";
    case FailMode::Next:
        break;
    }
    if (command.count == 0) {
        return api + " fails no more (the pending count is cancelled)";
    }
    return api + " fails the next " +
           (command.count == 1 ? "call" : std::to_string(command.count) + " calls");
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

void Append(std::vector<std::string>& lines, std::vector<std::string> more) {
    lines.insert(lines.end(), std::make_move_iterator(more.begin()),
                 std::make_move_iterator(more.end()));
}

std::string TimeScaleLine(double timeScale) {
    char line[64];
    std::snprintf(line, sizeof line, "time-scale %g", timeScale);
    return line;
}

std::vector<std::string> FaultLines(const Faults& faults) {
    std::vector<std::string> lines;
    for (const Faults::Pending& fault : faults.InForce()) {
        lines.push_back("fail " + std::string(ApiName(fault.api)) +
                        (fault.always ? " always" : " next " + std::to_string(fault.next)));
    }
    return lines;
}

} // namespace

std::string ControlReply::Text() const {
    // A reason may repeat words of the command, which can hold any byte (a quoted "\n" among
    // them): control characters become '?', so the reason stays on its one line and prints
    // safely on the client's terminal.
    std::string reason = error;
    for (char& c : reason) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    std::string text = error.empty() ? "ok\n" : "error: " + reason + "\n";
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

Control::Control(Stack& stack, Phone& phone, Pim& pim, Faults& faults, DebugLog& log,
                 double timeScale)
    : m_stack(stack), m_phone(phone), m_pim(pim), m_faults(faults), m_log(log),
      m_timeScale(timeScale) {}

void Control::AttachProfiles(MediaPlayers& media, DialUp& dialUp, Adapter& adapter) {
    m_media = &media;
    m_dialUp = &dialUp;
    m_adapter = &adapter;
}

ControlReply Control::Execute(std::string_view line) {
    const ControlParse parse = ParseControlCommand(line);
    if (!parse.command) {
        return Refused(parse.problem);
    }
    return Run(*parse.command);
}

ControlReply Control::Run(const ControlCommand& command) {
    const ControlRow* row = ControlRowOf(command.kind);
    if (row == nullptr) {
        return Refused("unhandled command");
    }
    return (this->*row->run)(command);
}

// The world and the phone's radio

ControlReply Control::RunHelp(const ControlCommand&) {
    return ControlReply{{}, SplitLines(ControlUsage())};
}

ControlReply Control::RunDevices(const ControlCommand&) {
    return ControlReply{{}, m_stack.DeviceLines()};
}

ControlReply Control::RunAddDevice(const ControlCommand& command) {
    return Did(m_stack.AddDevice(command.device), "added " + FormatDevice(command.device));
}

ControlReply Control::RunRemoveDevice(const ControlCommand& command) {
    if (!command.address) {
        return Did(m_stack.RemoveAllDevices(), "removed every device");
    }
    return Did(m_stack.RemoveDevice(*command.address),
               "removed device " + FormatAddress(*command.address));
}

ControlReply Control::RunRange(const ControlCommand& command) {
    return Did(m_stack.SetRange(*command.address, command.range),
               FormatAddress(*command.address) +
                   (command.range == Range::InRange ? " in range" : " out of range"));
}

ControlReply Control::RunPair(const ControlCommand& command) {
    return Did(m_stack.RemotePair(*command.address, command.pairing),
               FormatAddress(*command.address) +
                   (command.pairing == PairOutcome::Success ? " paired" : " refused to pair"));
}

ControlReply Control::RunConnect(const ControlCommand& command) {
    return Did(m_stack.RemoteConnect(command.address, command.service),
               LinkDone(command.address, command.service, LinkChange::Connected));
}

ControlReply Control::RunDisconnect(const ControlCommand& command) {
    return Did(m_stack.RemoteDisconnect(command.address, command.service),
               LinkDone(command.address, command.service, LinkChange::Dropped));
}

ControlReply Control::RunPlayer(const ControlCommand& command) {
    return Did(m_media == nullptr ? Status::Error("no media players")
                                  : m_media->PhoneButton(*command.address, command.player),
               "pressed " + std::string(PlayerCommandName(command.player)) + " on " +
                   FormatAddress(*command.address));
}

// The library itself

ControlReply Control::RunFail(const ControlCommand& command) {
    switch (command.failMode) {
    case FailMode::Next:
        m_faults.FailNext(command.api, command.count);
        break;
    case FailMode::Always:
        m_faults.FailAlways(command.api);
        break;
    case FailMode::Off:
        m_faults.Clear(command.api);
        break;
    }
    return Did({}, FailDone(command));
}

ControlReply Control::RunState(const ControlCommand&) {
    std::vector<std::string> lines = m_stack.StateLines();
    // After the stack's lifecycle lines (initialised, integration-mode).
    lines.insert(lines.begin() + 2, TimeScaleLine(m_timeScale));
    Append(lines, m_phone.StateLines());
    lines.push_back(m_stack.FarEndAnswerMode() == FarEndAnswer::Auto ? "answer auto"
                                                                     : "answer manual");
    Append(lines, m_pim.StateLines());
    if (m_media != nullptr) {
        Append(lines, m_media->StateLines());
        Append(lines, m_dialUp->StateLines());
        Append(lines, m_adapter->StateLines());
    }
    Append(lines, FaultLines(m_faults));
    return ControlReply{{}, std::move(lines)};
}

ControlReply Control::RunLog(const ControlCommand&) {
    return ControlReply{{}, m_log.Lines()};
}

ControlReply Control::RunHoldEvents(const ControlCommand& command) {
    if (m_dispatcher == nullptr) {
        return Refused("no event thread");
    }
    m_dispatcher->SetHold(command.untilUnInit ? Dispatcher::Hold::UntilUnInit
                          : command.on        ? Dispatcher::Hold::On
                                              : Dispatcher::Hold::Off);
    return Did({}, command.untilUnInit ? "holding events until the next KOBALT_UnInit"
                   : command.on        ? "holding events"
                                       : "events released");
}

ControlReply Control::RunVolume(const ControlCommand& command) {
    if (m_volumeKeys == nullptr) {
        return Refused("no audio gateway: volume is for kobalt-phone serve-ag");
    }
    return Did(m_volumeKeys->SetVolume(command.on, command.level),
               std::string(command.on ? "speaker" : "microphone") + " gain " +
                   std::to_string(command.level));
}

// The far ends and the network

ControlReply Control::RunRing(const ControlCommand& command) {
    std::string done;
    const Status status = m_phone.Ring(command.text, &done);
    return Did(status, std::move(done));
}

ControlReply Control::RunWaiting(const ControlCommand& command) {
    std::string done;
    const Status status = m_phone.Waiting(command.text, &done);
    return Did(status, std::move(done));
}

ControlReply Control::RunAccept(const ControlCommand&) {
    std::string done;
    const Status status = m_phone.Accept(&done);
    return Did(status, std::move(done));
}

ControlReply Control::RunHangUp(const ControlCommand& command) {
    std::string done;
    const Status status = m_phone.FarEndHangsUp(command.index, &done);
    return Did(status, std::move(done));
}

ControlReply Control::RunAnswer(const ControlCommand& command) {
    m_stack.SetFarEndAnswer(command.on ? FarEndAnswer::Auto : FarEndAnswer::Manual);
    return Did({}, command.on ? "answer auto: the called party answers by itself"
                              : "answer manual: the called party answers on accept");
}

ControlReply Control::RunService(const ControlCommand& command) {
    return Did(m_phone.Indicator(command.on ? HfCode::ServiceOn : HfCode::ServiceOff),
               "network service " + OnOffWord(command.on));
}

ControlReply Control::RunRoam(const ControlCommand& command) {
    return Did(m_phone.Indicator(command.on ? HfCode::Roaming : HfCode::Home),
               "roaming " + OnOffWord(command.on));
}

ControlReply Control::RunSignal(const ControlCommand& command) {
    return Did(m_phone.Indicator(HfCode::Signal, command.level),
               "signal level " + std::to_string(command.level));
}

ControlReply Control::RunBattery(const ControlCommand& command) {
    return Did(m_phone.Indicator(HfCode::Battery, command.level),
               "battery level " + std::to_string(command.level));
}

ControlReply Control::RunSignalStorm(const ControlCommand& command) {
    return Did(m_phone.SignalStorm(command.count),
               "sent " + std::to_string(command.count) + " signal events");
}

ControlReply Control::RunText(const ControlCommand& command) {
    return Did(m_phone.OperatorText(command.text), "operator text " + QuoteText(command.text));
}

ControlReply Control::RunPim(const ControlCommand& command) {
    return RunPimCommand(m_pim, command.pim);
}

} // namespace kobalt::sim
