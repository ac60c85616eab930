#include "sim/phone/Phone.h"

#include "sim/world/Words.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace kobalt::sim {
namespace {

// Level events point here: static storage outlives every event.
constexpr std::array<uint8_t, kMaxIndicatorLevel + 1> kLevels{0, 1, 2, 3, 4, 5};

// What the user reads for a refused far-end or network act; `inapplicable` for one that does not
// apply to the calls there are.
Status Problem(ResultCode code, const char* inapplicable) {
    switch (code) {
    case kOk:
        return {};
    case kErrNotInitialised:
        return Status::Error("stack not initialised");
    case kErrNotConnected:
        return Status::Error("no hands-free connection");
    case kErrCallState:
        return Status::Error(inapplicable);
    default:
        return Status::Error("invalid argument");
    }
}

const Call* WithId(const std::vector<Call>& calls, uint64_t id) {
    const auto it =
        std::find_if(calls.begin(), calls.end(), [&](const Call& call) { return call.id == id; });
    return it == calls.end() ? nullptr : &*it;
}

// The call of `after` that `before` did not have.
const Call* Added(const std::vector<Call>& before, const std::vector<Call>& after) {
    for (const Call& call : after) {
        if (WithId(before, call.id) == nullptr) {
            return &call;
        }
    }
    return nullptr;
}

std::string IndexOf(const Call* call) {
    return call == nullptr ? "?" : std::to_string(call->index);
}

} // namespace

Phone::Phone(EventSink& events, StepTimer& timer, CallHistory& history)
    : m_events(events), m_timer(timer), m_history(history) {}

void Phone::SessionChanged(const HfSession& session) {
    std::lock_guard lock(m_mutex);
    const bool nowAuto = session.settings.answer == FarEndAnswer::Auto &&
                         m_session.settings.answer != FarEndAnswer::Auto;
    m_session = session;
    m_model.SetSettings(session.settings);
    if (!session.ready || !session.hfUp) {
        ApplyLocked(m_model.EndAll());
    } else if (nowAuto) {
        ApplyLocked(m_model.AnswerAlertingCall());
    }
}

ResultCode Phone::GateLocked() const {
    if (!m_session.ready) {
        return kErrNotInitialised;
    }
    return m_session.hfUp ? kOk : kErrNotConnected;
}

ResultCode Phone::ApplyLocked(CallStep step) {
    if (step.result != kOk) {
        return step.result;
    }
    // Posted in batches, so a long run of signals wakes the event thread once a batch rather
    // than once an event.
    constexpr std::size_t kBatch = 256;
    std::vector<Event> batch;
    batch.reserve(std::min(step.signals.size(), kBatch));
    for (const HfSignal& signal : step.signals) {
        if (m_session.callback == nullptr || GateLocked() != kOk) {
            break;
        }
        const void* data = nullptr;
        switch (signal.kind) {
        case HfData::None:
            break;
        case HfData::Text:
            data = m_texts.Intern(signal.text);
            break;
        case HfData::Level:
            data = &kLevels.at(signal.level);
            break;
        }
        batch.push_back(
            HfEvent{m_session.callback, static_cast<uint32_t>(signal.code), signal.kind, data});
        if (batch.size() == kBatch) {
            m_events.PostAll(batch);
            batch.clear();
        }
    }
    m_events.PostAll(batch);
    if (m_observer) {
        m_observer(step.signals, m_model.Calls());
    }
    for (const CallTimer& timer : step.timers) {
        m_timer.After(timer.delay, [this, timer] { Fire(timer); });
    }
    for (CallRecord& record : step.finished) {
        m_history.Append(std::move(record));
    }
    return kOk;
}

void Phone::Fire(const CallTimer& timer) {
    std::lock_guard lock(m_mutex);
    ApplyLocked(m_model.Fire(timer));
}

template <class Command> ResultCode Phone::Console(Command command) {
    std::lock_guard lock(m_mutex);
    if (const ResultCode gate = GateLocked(); gate != kOk) {
        return gate;
    }
    return ApplyLocked(command(m_model));
}

template <class Command> Status Phone::Remote(Command command, const char* inapplicable) {
    return Problem(Console(command), inapplicable);
}

// The console

ResultCode Phone::Dial(const char* number, int length) {
    if (number == nullptr || length < 0) {
        std::lock_guard lock(m_mutex);
        const ResultCode gate = GateLocked();
        return gate != kOk ? gate : kErrBadArgument;
    }
    const std::string_view text(number, strnlen(number, static_cast<std::size_t>(length)));
    return Console([&](CallModel& m) { return m.Dial(text); });
}

ResultCode Phone::Redial() {
    return Console([](CallModel& m) { return m.Redial(); });
}

ResultCode Phone::Answer() {
    return Console([](CallModel& m) { return m.Answer(); });
}

ResultCode Phone::HangUp() {
    return Console([](CallModel& m) { return m.HangUp(); });
}

ResultCode Phone::HoldActiveToAnswerWaiting() {
    return Console([](CallModel& m) { return m.HoldActiveAnswerWaiting(); });
}

ResultCode Phone::ReleaseActiveToAnswerWaiting() {
    return Console([](CallModel& m) { return m.ReleaseActiveAnswerWaiting(); });
}

ResultCode Phone::RejectWaiting() {
    return Console([](CallModel& m) { return m.RejectWaiting(); });
}

ResultCode Phone::HoldIncoming() {
    return Console([](CallModel& m) { return m.HoldIncoming(); });
}

ResultCode Phone::AcceptHeldIncoming() {
    return Console([](CallModel& m) { return m.AcceptHeld(); });
}

ResultCode Phone::RejectHeldIncoming() {
    return Console([](CallModel& m) { return m.RejectHeld(); });
}

ResultCode Phone::Transfer() {
    return Console([](CallModel& m) { return m.Transfer(); });
}

ResultCode Phone::TransferBack() {
    return Console([](CallModel& m) { return m.TransferBack(); });
}

ResultCode Phone::SetMic(Mic mic) {
    return Console([mic](CallModel& m) { return m.SetMic(mic); });
}

ResultCode Phone::TransmitDtmf(int code) {
    return Console([code](CallModel& m) { return m.Dtmf(code); });
}

ResultCode Phone::CurrentCalls() {
    return Console([](CallModel& m) { return m.CurrentCalls(); });
}

ResultCode Phone::Chld(HoldAction action, int index) {
    return Console([=](CallModel& m) { return m.Chld(action, index); });
}

std::vector<Call> Phone::Calls() const {
    std::lock_guard lock(m_mutex);
    return m_model.Calls();
}

int Phone::AudioStatus() const {
    std::lock_guard lock(m_mutex);
    if (const ResultCode gate = GateLocked(); gate != kOk) {
        return gate;
    }
    return m_model.Audio() == AudioPlace::Device ? 1 : 0;
}

// The far ends and the network

template <class Command, class Describe>
Status Phone::Described(Command command, const char* inapplicable, std::string* done,
                        Describe describe) {
    std::lock_guard lock(m_mutex);
    if (const ResultCode gate = GateLocked(); gate != kOk) {
        return Problem(gate, inapplicable);
    }
    const std::vector<Call> before = m_model.Calls();
    const ResultCode result = ApplyLocked(command(m_model));
    if (result == kOk && done != nullptr) {
        *done = describe(before, m_model.Calls());
    }
    return Problem(result, inapplicable);
}

Status Phone::Ring(const std::string& number, std::string* done) {
    return Described([&](CallModel& m) { return m.Ring(number); },
                     "a call is in progress; use waiting while one is active", done,
                     [&](const std::vector<Call>& before, const std::vector<Call>& after) {
                         const Call* call = Added(before, after);
                         return "ringing " + QuoteIfNeeded(number) + " as call " + IndexOf(call);
                     });
}

Status Phone::Waiting(const std::string& number, std::string* done) {
    return Described([&](CallModel& m) { return m.Waiting(number); },
                     "waiting needs one active call and no other", done,
                     [&](const std::vector<Call>& before, const std::vector<Call>& after) {
                         const Call* call = Added(before, after);
                         return QuoteIfNeeded(number) + " waiting as call " + IndexOf(call);
                     });
}

Status Phone::Accept(std::string* done) {
    return Described([](CallModel& m) { return m.FarEndAccepts(); }, "no outgoing call to answer",
                     done,
                     [](const std::vector<Call>& before, const std::vector<Call>& after) {
                         for (const Call& call : after) {
                             const Call* was = WithId(before, call.id);
                             if (was != nullptr && was->state != call.state) {
                                 return QuoteIfNeeded(call.number) + " answered call " +
                                        std::to_string(call.index);
                             }
                         }
                         return std::string("answered");
                     });
}

Status Phone::FarEndHangsUp(std::optional<int> index, std::string* done) {
    return Described([&](CallModel& m) { return m.FarEndHangsUp(index); },
                     index ? "no such call" : "no call to hang up", done,
                     [](const std::vector<Call>& before, const std::vector<Call>& after) {
                         std::string text = "hung up";
                         for (const Call& call : before) {
                             if (WithId(after, call.id) == nullptr) {
                                 text += " call " + std::to_string(call.index) + " " +
                                         QuoteIfNeeded(call.number);
                             }
                         }
                         // A waiting call left without an active one rings in its place.
                         for (const Call& call : after) {
                             const Call* was = WithId(before, call.id);
                             if (was != nullptr && was->state == CallState::Waiting &&
                                 call.state == CallState::Incoming) {
                                 text += "; call " + std::to_string(call.index) + " " +
                                         QuoteIfNeeded(call.number) + " rings now";
                             }
                         }
                         return text;
                     });
}

Status Phone::Indicator(HfCode code) {
    return Remote([&](CallModel& m) { return m.Indicator(code); }, "");
}

Status Phone::Indicator(HfCode code, int level) {
    return Remote([&](CallModel& m) { return m.Indicator(code, level); }, "");
}

Status Phone::SignalStorm(uint32_t count) {
    return Remote(
        [&](CallModel& m) {
            CallStep storm;
            storm.signals.reserve(count);
            for (uint32_t i = 0; i < count; ++i) {
                CallStep step =
                    m.Indicator(HfCode::Signal, static_cast<int>(i % (kMaxIndicatorLevel + 1)));
                storm.signals.push_back(step.signals.front());
            }
            return storm;
        },
        "");
}

Status Phone::OperatorText(const std::string& text) {
    const ResultCode result = Console([&](CallModel& m) { return m.OperatorText(text); });
    // The call model refuses only text that is not UTF-8.
    return result == kErrBadArgument ? Status::Error("text is not UTF-8") : Problem(result, "");
}

// Reports

std::vector<std::string> Phone::StateLines() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    for (const Call& call : m_model.Calls()) {
        lines.push_back("call " + std::to_string(call.index) + " " +
                        std::string(DirectionName(call.direction)) + " " +
                        std::string(StateName(call.state)) + " " + QuoteIfNeeded(call.number));
    }
    lines.push_back(m_model.Audio() == AudioPlace::Device ? "audio device" : "audio phone");
    lines.push_back(m_model.MicState() == Mic::Muted ? "mic muted" : "mic unmuted");
    for (const std::string& number : m_model.Dialled()) {
        lines.push_back("dialled " + QuoteIfNeeded(number));
    }
    for (const char c : m_model.DtmfSent()) {
        lines.push_back("dtmf " + QuoteIfNeeded(std::string(1, c)));
    }
    return lines;
}

std::size_t Phone::InternedTexts() const {
    std::lock_guard lock(m_mutex);
    return m_texts.Size();
}

} // namespace kobalt::sim
