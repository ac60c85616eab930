#include "sim/control/Control.h"

#include "sim/profiles/DialUp.h"
#include "sim/profiles/MediaPlayers.h"
#include "sim/radio/Adapter.h"
#include "sim/radio/Dispatcher.h"
#include "sim/radio/Services.h"
#include "sim/world/Words.h"
#include "sim/world/WorldFile.h"

#include <cstdio>

namespace kobalt::sim {
namespace {

ControlReply Done(std::string error) {
    return ControlReply{std::move(error), {}};
}

// A command that changes something answers with one line saying what it did.
ControlReply Did(std::string error, std::string done) {
    if (!error.empty()) {
        return Done(std::move(error));
    }
    return ControlReply{{}, {std::move(done)}};
}

std::string OnOffWord(bool on) {
    return on ? "on" : "off";
}

// `66:55:44:33:22:11 connected hf`, or for an event without an address
// `connect event without an address, service 9`.
std::string LinkDone(const std::optional<Address>& address, int16_t service, bool connect) {
    if (!address) {
        return std::string(connect ? "connect" : "disconnect") +
               " event without an address, service " + ServiceCodeName(service);
    }
    return FormatAddress(*address) + (connect ? " connected " : " dropped ") +
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
        return Done(parse.problem);
    }
    return Run(*parse.command);
}

ControlReply Control::Run(const ControlCommand& command) {
    switch (command.kind) {
    case CommandKind::Help:
        return ControlReply{{}, SplitLines(ControlUsage())};
    case CommandKind::Devices:
        return ControlReply{{}, m_stack.DeviceLines()};
    case CommandKind::AddDevice:
        return Did(m_stack.AddDevice(command.device), "added " + FormatDevice(command.device));
    case CommandKind::RemoveDevice:
        if (!command.address) {
            return Did(m_stack.RemoveAllDevices(), "removed every device");
        }
        return Did(m_stack.RemoveDevice(*command.address),
                   "removed device " + FormatAddress(*command.address));
    case CommandKind::Range:
        return Did(m_stack.SetRange(*command.address, command.range),
                   FormatAddress(*command.address) +
                       (command.range == Range::InRange ? " in range" : " out of range"));
    case CommandKind::Pair:
        return Did(m_stack.RemotePair(*command.address, command.pairing),
                   FormatAddress(*command.address) +
                       (command.pairing == PairOutcome::Success ? " paired" : " refused to pair"));
    case CommandKind::Connect:
        return Did(m_stack.RemoteConnect(command.address, command.service),
                   LinkDone(command.address, command.service, true));
    case CommandKind::Disconnect:
        return Did(m_stack.RemoteDisconnect(command.address, command.service),
                   LinkDone(command.address, command.service, false));
    case CommandKind::Answer:
        m_stack.SetFarEndAnswer(command.on ? FarEndAnswer::Auto : FarEndAnswer::Manual);
        return Did({}, command.on ? "answer auto: the called party answers by itself"
                                  : "answer manual: the called party answers on accept");
    case CommandKind::Fail:
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
    case CommandKind::State: {
        ControlReply reply{{}, m_stack.StateLines()};
        char scale[64];
        std::snprintf(scale, sizeof scale, "time-scale %g", m_timeScale);
        // After the stack's lifecycle lines (initialised, integration-mode).
        reply.lines.insert(reply.lines.begin() + 2, scale);
        for (std::string& line : m_phone.StateLines()) {
            reply.lines.push_back(std::move(line));
        }
        reply.lines.push_back(m_stack.FarEndAnswerMode() == FarEndAnswer::Auto ? "answer auto"
                                                                               : "answer manual");
        for (std::string& line : m_pim.StateLines()) {
            reply.lines.push_back(std::move(line));
        }
        if (m_media != nullptr) {
            for (std::vector<std::string> part :
                 {m_media->StateLines(), m_dialUp->StateLines(), m_adapter->StateLines()}) {
                reply.lines.insert(reply.lines.end(), part.begin(), part.end());
            }
        }
        for (const Faults::Pending& fault : m_faults.InForce()) {
            reply.lines.push_back(
                "fail " + std::string(ApiName(fault.api)) +
                (fault.always ? " always" : " next " + std::to_string(fault.next)));
        }
        return reply;
    }
    case CommandKind::Log:
        return ControlReply{{}, m_log.Lines()};
    case CommandKind::Player:
        return Did(m_media == nullptr ? "no media players"
                                      : m_media->PhoneButton(*command.address, command.player),
                   "pressed " + std::string(PlayerCommandName(command.player)) + " on " +
                       FormatAddress(*command.address));
    case CommandKind::Ring:
    case CommandKind::Waiting:
    case CommandKind::Accept:
    case CommandKind::HangUp: {
        std::string done;
        std::string error;
        if (command.kind == CommandKind::Ring) {
            error = m_phone.Ring(command.text, &done);
        } else if (command.kind == CommandKind::Waiting) {
            error = m_phone.Waiting(command.text, &done);
        } else if (command.kind == CommandKind::Accept) {
            error = m_phone.Accept(&done);
        } else {
            error = m_phone.FarEndHangsUp(command.index, &done);
        }
        return Did(std::move(error), std::move(done));
    }
    case CommandKind::Service:
        return Did(m_phone.Indicator(command.on ? HfCode::ServiceOn : HfCode::ServiceOff),
                   "network service " + OnOffWord(command.on));
    case CommandKind::Roam:
        return Did(m_phone.Indicator(command.on ? HfCode::Roaming : HfCode::Home),
                   "roaming " + OnOffWord(command.on));
    case CommandKind::Signal:
        return Did(m_phone.Indicator(HfCode::Signal, command.level),
                   "signal level " + std::to_string(command.level));
    case CommandKind::Battery:
        return Did(m_phone.Indicator(HfCode::Battery, command.level),
                   "battery level " + std::to_string(command.level));
    case CommandKind::SignalStorm:
        return Did(m_phone.SignalStorm(command.count),
                   "sent " + std::to_string(command.count) + " signal events");
    case CommandKind::Pim:
        return RunPimCommand(m_pim, command.pim);
    case CommandKind::HoldEvents:
        if (m_dispatcher == nullptr) {
            return Done("no event thread");
        }
        m_dispatcher->SetHold(command.untilUnInit ? Dispatcher::Hold::UntilUnInit
                              : command.on        ? Dispatcher::Hold::On
                                                  : Dispatcher::Hold::Off);
        return Did({}, command.untilUnInit ? "holding events until the next KOBALT_UnInit"
                       : command.on        ? "holding events"
                                           : "events released");
    case CommandKind::Text:
        return Did(m_phone.OperatorText(command.text), "operator text " + QuoteText(command.text));
    }
    return Done("unhandled command");
}

} // namespace kobalt::sim
