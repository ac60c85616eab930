#include "sim/Control.h"

#include "sim/Adapter.h"
#include "sim/DialUp.h"
#include "sim/Dispatcher.h"
#include "sim/MediaPlayers.h"

#include <cstdio>

namespace kobalt::sim {
namespace {

ControlReply Done(std::string error) {
    return ControlReply{std::move(error), {}};
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
        return Done(m_stack.AddDevice(command.device));
    case CommandKind::RemoveDevice:
        return Done(command.address ? m_stack.RemoveDevice(*command.address)
                                    : m_stack.RemoveAllDevices());
    case CommandKind::Range:
        return Done(m_stack.SetRange(*command.address, command.range));
    case CommandKind::Pair:
        return Done(m_stack.RemotePair(*command.address, command.pairing));
    case CommandKind::Connect:
        return Done(m_stack.RemoteConnect(command.address, command.service));
    case CommandKind::Disconnect:
        return Done(m_stack.RemoteDisconnect(command.address, command.service));
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
        return Done({});
    case CommandKind::State: {
        ControlReply reply{{}, m_stack.StateLines()};
        char scale[64];
        std::snprintf(scale, sizeof scale, "time-scale %g", m_timeScale);
        // After the stack's lifecycle lines (initialised, integration-mode).
        reply.lines.insert(reply.lines.begin() + 2, scale);
        for (std::string& line : m_phone.StateLines()) {
            reply.lines.push_back(std::move(line));
        }
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
        return Done(m_media == nullptr ? "no media players"
                                       : m_media->PhoneButton(*command.address, command.player));
    case CommandKind::Ring:
        return Done(m_phone.Ring(command.text));
    case CommandKind::Waiting:
        return Done(m_phone.Waiting(command.text));
    case CommandKind::Accept:
        return Done(m_phone.Accept());
    case CommandKind::HangUp:
        return Done(m_phone.FarEndHangsUp(command.index));
    case CommandKind::Service:
        return Done(m_phone.Indicator(command.on ? HfCode::ServiceOn : HfCode::ServiceOff));
    case CommandKind::Roam:
        return Done(m_phone.Indicator(command.on ? HfCode::Roaming : HfCode::Home));
    case CommandKind::Signal:
        return Done(m_phone.Indicator(HfCode::Signal, command.level));
    case CommandKind::Battery:
        return Done(m_phone.Indicator(HfCode::Battery, command.level));
    case CommandKind::SignalStorm:
        return Done(m_phone.SignalStorm(command.count));
    case CommandKind::Pim:
        return RunPimCommand(m_pim, command.pim);
    case CommandKind::HoldEvents:
        if (m_dispatcher == nullptr) {
            return Done("no event thread");
        }
        m_dispatcher->SetHold(command.untilUnInit ? Dispatcher::Hold::UntilUnInit
                              : command.on        ? Dispatcher::Hold::On
                                                  : Dispatcher::Hold::Off);
        return Done("");
    case CommandKind::Text:
        return Done(m_phone.OperatorText(command.text));
    }
    return Done("unhandled command");
}

} // namespace kobalt::sim
