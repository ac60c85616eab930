#include "sim/control/ServedPhone.h"

#include "sim/radio/Services.h"
#include "sim/world/WorldFile.h"

#include <exception>
#include <utility>

namespace kobalt::sim {
namespace {

constexpr int16_t kHfServiceCode = 1;

} // namespace

ServedPhone::ServedPhone(std::unique_ptr<StepTimer> timer)
    : m_phone(m_events, *timer, m_history), m_stack(m_events, *timer),
      m_pim(m_stack, *timer, m_history), m_timer(std::move(timer)) {
    m_phone.SetCallObserver(
        [this](const std::vector<HfSignal>& signals, const std::vector<Call>& calls) {
            Queue(Change{signals, calls, std::nullopt});
        });
}

void ServedPhone::Queue(Change change) {
    {
        std::lock_guard lock(m_mutex);
        m_changes.push_back(std::move(change));
    }
    if (m_wake) {
        m_wake();
    }
}

Status ServedPhone::SetVolume(bool speaker, int gain) {
    if (gain < 0 || gain > kMaxGain) {
        return Status::Error("the gain must be 0 to " + std::to_string(kMaxGain));
    }
    Queue(Change{{}, {}, std::make_pair(speaker, gain)});
    return {};
}

ServedPhone::~ServedPhone() {
    m_timer.reset(); // no step runs once the members it reaches begin to go
}

Status ServedPhone::Start(const ServedPhoneOptions& options) {
    WorldParse parse;
    if (options.worldText) {
        parse = ParseWorld(*options.worldText);
        if (parse.line != 0) {
            return Status::Error("world line " + std::to_string(parse.line) + ": " + parse.problem);
        }
    } else if (options.worldFile.empty()) {
        parse = ParseWorld(DefaultWorldText());
    } else {
        WorldFileLoad load;
        try {
            load = LoadWorldFile(options.worldFile, DiskFiles{});
        } catch (const std::exception& error) {
            load = WorldFileLoad{{}, options.worldFile + ": " + error.what()};
        }
        if (!load.problem.empty()) {
            return Status::Error("world " + load.problem);
        }
        for (const std::string& note : load.parse.notes) {
            m_log.Write("world " + options.worldFile + ":" + note);
        }
        parse = std::move(load.parse);
    }
    const Device* device = nullptr;
    if (options.device) {
        device = parse.world.Find(*options.device);
        if (device == nullptr) {
            return Status::Error("the world has no device " + FormatAddress(*options.device));
        }
    } else {
        for (const Device& candidate : parse.world.Devices()) {
            if (candidate.services.Has(Service::Hf)) {
                device = &candidate;
                break;
            }
        }
        if (device == nullptr) {
            return Status::Error("the world has no device offering hf");
        }
    }
    if (!device->services.Has(Service::Hf)) {
        return Status::Error(FormatAddress(device->address) + " does not offer hf");
    }
    m_device = device->address;
    m_pim.SetWorld(std::move(parse.pim));
    m_stack.SetWorld(std::move(parse.world), WorldSource{});
    m_stack.SetHfObserver(this);
    if (m_stack.Init() != kOk) {
        return Status::Error("the stack does not start");
    }
    m_control.emplace(m_stack, m_phone, m_pim, m_faults, m_log, options.timeScale);
    m_control->AttachProfiles(m_media, m_dialUp, m_adapter);
    m_control->AttachVolumeKeys(*this);
    m_engine.emplace(static_cast<AgPhone&>(*this), options.gateway);
    return {};
}

// The phone is always there for its audio gateway; only the far ends' settings come from the
// stack (the world's `phone` records, `answer auto|manual`).
void ServedPhone::SessionChanged(const HfSession& session) {
    if (!session.hfUp) {
        bool drop = false;
        {
            std::lock_guard lock(m_mutex);
            drop = m_linked && !m_dropLink;
            m_dropLink = m_dropLink || m_linked;
        }
        if (drop && m_wake) {
            m_wake();
        }
    }
    HfSession open = session;
    open.ready = true;
    open.hfUp = true;
    open.callback = nullptr;
    m_phone.SessionChanged(open);
}

// The link

void ServedPhone::LinkOpened() {
    m_engine->Reset();
    {
        std::lock_guard lock(m_mutex);
        m_linked = true;
        m_dropLink = false;
    }
    const Status shown = m_stack.RemoteConnect(m_device, kHfServiceCode);
    if (!shown.Ok()) {
        m_log.Write("HF link not shown in the stack: " + shown.Message());
        std::lock_guard lock(m_mutex);
        m_linked = false; // a link the stack does not show cannot be ended through it
        m_dropLink = false;
    }
}

void ServedPhone::Receive(std::string_view bytes, std::vector<AgLine>& out) {
    m_engine->Receive(bytes, out);
    Drain(out);
}

void ServedPhone::Drain(std::vector<AgLine>& out) {
    while (true) {
        Change change;
        {
            std::lock_guard lock(m_mutex);
            if (m_changes.empty()) {
                return;
            }
            change = std::move(m_changes.front());
            m_changes.pop_front();
        }
        if (change.volume) {
            m_engine->VolumeChanged(change.volume->first, change.volume->second, out);
        } else {
            m_engine->PhoneChanged(change.signals, change.calls, out);
        }
    }
}

bool ServedPhone::TakeLinkDrop() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_dropLink, false);
}

void ServedPhone::LinkClosed() {
    {
        std::lock_guard lock(m_mutex);
        m_linked = false; // the stack's own disconnect below is no drop
        m_dropLink = false;
    }
    m_engine->Reset();
    if (m_stack.HfConnected()) {
        const Status shown = m_stack.RemoteDisconnect(m_device, kHfServiceCode);
        if (!shown.Ok()) {
            m_log.Write("HF link end not shown in the stack: " + shown.Message());
        }
    }
}

// The phone, as the audio gateway acts on it

ResultCode ServedPhone::Dial(std::string_view number) {
    return m_phone.Dial(number.data(), static_cast<int>(number.size()));
}

ResultCode ServedPhone::Redial() {
    return m_phone.Redial();
}

ResultCode ServedPhone::Answer() {
    return m_phone.Answer();
}

ResultCode ServedPhone::HangUp() {
    return m_phone.HangUp();
}

ResultCode ServedPhone::Chld(HoldAction action, int index) {
    return m_phone.Chld(action, index);
}

ResultCode ServedPhone::Dtmf(char code) {
    return m_phone.TransmitDtmf(static_cast<unsigned char>(code));
}

ResultCode ServedPhone::VoiceRecognition(bool on) {
    return on ? m_stack.StartVoiceRecog() : m_stack.StopVoiceRecog();
}

std::optional<std::string> ServedPhone::MemoryNumber(int location) const {
    return location > 0 ? m_pim.MemoryNumber(static_cast<std::size_t>(location)) : std::nullopt;
}

} // namespace kobalt::sim
