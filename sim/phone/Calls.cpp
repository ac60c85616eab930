#include "sim/phone/Calls.h"

#include "sim/world/Utf16.h"

#include <algorithm>

namespace kobalt::sim {
namespace {

CallStep Fails(ResultCode code) {
    CallStep step;
    step.result = code;
    return step;
}

HfSignal Bare(HfCode code) {
    return HfSignal{code, HfData::None, {}, 0};
}

HfSignal Text(HfCode code, std::string_view text) {
    return HfSignal{code, HfData::Text, std::string(text), 0};
}

bool IsDtmf(int code) {
    return (code >= '0' && code <= '9') || code == '*' || code == '#' ||
           (code >= 'A' && code <= 'D');
}

template <class T> void Keep(std::deque<T>& entries, T entry) {
    entries.push_back(std::move(entry));
    if (entries.size() > kKeptEntries) {
        entries.pop_front();
    }
}

} // namespace

std::string_view DirectionName(CallDirection direction) {
    return direction == CallDirection::Outgoing ? "outgoing" : "incoming";
}

std::string_view StateName(CallState state) {
    switch (state) {
    case CallState::Dialing:
        return "dialing";
    case CallState::Alerting:
        return "alerting";
    case CallState::Incoming:
        return "incoming";
    case CallState::Waiting:
        return "waiting";
    case CallState::Active:
        return "active";
    case CallState::Held:
        return "held";
    }
    return "unknown";
}

CallModel::CallModel(Clock clock) : m_clock(std::move(clock)) {}

// Helpers

Call* CallModel::Find(CallState state) {
    const auto it = std::find_if(m_calls.begin(), m_calls.end(),
                                 [&](const Call& call) { return call.state == state; });
    return it == m_calls.end() ? nullptr : &*it;
}

Call* CallModel::FindId(uint64_t id) {
    const auto it = std::find_if(m_calls.begin(), m_calls.end(),
                                 [&](const Call& call) { return call.id == id; });
    return it == m_calls.end() ? nullptr : &*it;
}

bool CallModel::Only(CallState state) const {
    return m_calls.size() == 1 && m_calls.front().state == state;
}

Call& CallModel::Add(CallDirection direction, CallState state, std::string_view number) {
    int index = 1;
    auto at = m_calls.begin();
    while (at != m_calls.end() && at->index == index) {
        ++index;
        ++at;
    }
    Call call;
    call.index = index;
    call.direction = direction;
    call.state = state;
    call.number = std::string(number);
    call.id = m_nextId++;
    call.started = m_clock();
    return *m_calls.insert(at, std::move(call));
}

void CallModel::End(CallStep& step, uint64_t id) {
    const auto it = std::find_if(m_calls.begin(), m_calls.end(),
                                 [&](const Call& call) { return call.id == id; });
    if (it == m_calls.end()) {
        return;
    }
    CallKind kind = CallKind::Outgoing;
    if (it->direction == CallDirection::Incoming) {
        kind = it->answered ? CallKind::Incoming : CallKind::Missed;
    }
    step.finished.push_back(CallRecord{kind, it->number, it->started});
    m_calls.erase(it);
    SettleConference();
}

void CallModel::SettleConference() {
    const auto members = std::count_if(m_calls.begin(), m_calls.end(),
                                       [](const Call& call) { return call.multiparty; });
    if (members < 2) {
        for (Call& call : m_calls) {
            call.multiparty = false;
        }
    }
}

int CallModel::Count(CallState state) const {
    return static_cast<int>(std::count_if(m_calls.begin(), m_calls.end(),
                                          [&](const Call& call) { return call.state == state; }));
}

void CallModel::EndAll(CallStep& step, CallState state, HfCode signal) {
    while (const Call* call = Find(state)) {
        End(step, call->id);
        step.signals.push_back(Bare(signal));
    }
}

void CallModel::Move(CallState from, CallState to) {
    for (Call& call : m_calls) {
        if (call.state == from) {
            call.state = to;
        }
    }
}

void CallModel::BringAudio(CallStep& step) {
    if (m_audio == AudioPlace::Phone) {
        m_audio = AudioPlace::Device;
        step.signals.push_back(Bare(HfCode::AudioUp));
    }
}

void CallModel::SettleAudio(CallStep& step) {
    if (m_calls.empty() && m_audio == AudioPlace::Device) {
        m_audio = AudioPlace::Phone;
        step.signals.push_back(Bare(HfCode::AudioDown));
    }
}

void CallModel::StartRinging(CallStep& step, const Call& call) {
    step.signals.push_back(Bare(HfCode::Incoming));
    step.signals.push_back(Text(HfCode::IncomingNumber, call.number));
    step.timers.push_back({TimerKind::RingAgain, call.id, kRingRepeat});
}

Call* CallModel::Current() {
    for (Call& call : m_calls) {
        if (call.state != CallState::Held && call.state != CallState::Waiting) {
            return &call;
        }
    }
    return Find(CallState::Held);
}

// Ends `call` as a hang-up. A waiting call left without an active one rings as an incoming call,
// as a phone does when the call it waited behind ends.
CallStep CallModel::EndCurrent(Call* call) {
    if (call == nullptr) {
        return Fails(kErrCallState);
    }
    CallStep step;
    End(step, call->id);
    step.signals.push_back(Bare(HfCode::Ended));
    Call* waiting = Find(CallState::Waiting);
    if (waiting != nullptr && Find(CallState::Active) == nullptr) {
        waiting->state = CallState::Incoming;
        StartRinging(step, *waiting);
    }
    SettleAudio(step);
    return step;
}

// The console

CallStep CallModel::Dial(std::string_view number) {
    if (number.empty()) {
        return Fails(kErrBadArgument);
    }
    if (!m_calls.empty()) {
        return Fails(kErrCallState);
    }
    const Call& call = Add(CallDirection::Outgoing, CallState::Dialing, number);
    m_lastNumber = std::string(number);
    Keep(m_dialled, m_lastNumber);
    CallStep step;
    step.signals.push_back(Bare(HfCode::Dialing));
    step.signals.push_back(Text(HfCode::OutgoingNumber, number));
    step.timers.push_back({TimerKind::Alert, call.id, kAlertDelay});
    return step;
}

CallStep CallModel::Redial() {
    if (m_lastNumber.empty()) {
        return Fails(kErrNoNumber);
    }
    const std::string number = m_lastNumber; // Dial replaces it
    return Dial(number);
}

CallStep CallModel::Answer() {
    if (!Only(CallState::Incoming)) {
        return Fails(kErrCallState);
    }
    Call& call = m_calls.front();
    call.state = CallState::Active;
    call.answered = true;
    CallStep step;
    step.signals.push_back(Bare(HfCode::Active));
    BringAudio(step);
    return step;
}

CallStep CallModel::HangUp() {
    Call* call = Current();
    if (call != nullptr && call->state == CallState::Active && call->multiparty) {
        // Hanging up a conference ends every call in it.
        CallStep step;
        EndAll(step, CallState::Active, HfCode::Ended);
        SettleAudio(step);
        return step;
    }
    return EndCurrent(call);
}

CallStep CallModel::HoldActiveAnswerWaiting() {
    Call* active = Find(CallState::Active);
    Call* waiting = Find(CallState::Waiting);
    if (active == nullptr || waiting == nullptr) {
        return Fails(kErrCallState);
    }
    active->state = CallState::Held;
    waiting->state = CallState::Active;
    waiting->answered = true;
    CallStep step;
    step.signals.push_back(Bare(HfCode::IncomingActive));
    BringAudio(step);
    return step;
}

CallStep CallModel::ReleaseActiveAnswerWaiting() {
    Call* active = Find(CallState::Active);
    Call* waiting = Find(CallState::Waiting);
    if (active == nullptr || waiting == nullptr) {
        return Fails(kErrCallState);
    }
    waiting->state = CallState::Active;
    waiting->answered = true;
    CallStep step;
    End(step, active->id); // invalidates both pointers
    step.signals.push_back(Bare(HfCode::IncomingActive));
    BringAudio(step);
    return step;
}

CallStep CallModel::RejectWaiting() {
    Call* waiting = Find(CallState::Waiting);
    if (waiting == nullptr) {
        return Fails(kErrCallState);
    }
    CallStep step;
    End(step, waiting->id);
    step.signals.push_back(Bare(HfCode::IncomingReleased));
    return step;
}

CallStep CallModel::HoldIncoming() {
    if (!Only(CallState::Incoming)) {
        return Fails(kErrCallState);
    }
    Call& call = m_calls.front();
    call.state = CallState::Held;
    call.answered = true; // accepted, though on hold
    CallStep step;
    step.signals.push_back(Bare(HfCode::IncomingHeld));
    return step;
}

CallStep CallModel::AcceptHeld() {
    if (!Only(CallState::Held)) {
        return Fails(kErrCallState);
    }
    m_calls.front().state = CallState::Active;
    CallStep step;
    step.signals.push_back(Bare(HfCode::IncomingActive));
    BringAudio(step);
    return step;
}

CallStep CallModel::RejectHeld() {
    if (!Only(CallState::Held)) {
        return Fails(kErrCallState);
    }
    CallStep step;
    End(step, m_calls.front().id);
    step.signals.push_back(Bare(HfCode::IncomingReleased));
    SettleAudio(step);
    return step;
}

CallStep CallModel::Transfer() {
    if (m_calls.empty() || m_audio == AudioPlace::Device) {
        return Fails(kErrCallState);
    }
    m_audio = AudioPlace::Device;
    CallStep step;
    step.signals.push_back(Bare(HfCode::AudioUp));
    return step;
}

CallStep CallModel::TransferBack() {
    if (m_calls.empty() || m_audio == AudioPlace::Phone) {
        return Fails(kErrCallState);
    }
    m_audio = AudioPlace::Phone;
    CallStep step;
    step.signals.push_back(Bare(HfCode::AudioDown));
    return step;
}

CallStep CallModel::Dtmf(int code) {
    if (!IsDtmf(code)) {
        return Fails(kErrBadArgument);
    }
    if (Find(CallState::Active) == nullptr) {
        return Fails(kErrCallState);
    }
    Keep(m_dtmf, static_cast<char>(code));
    return {};
}

CallStep CallModel::SetMic(Mic mic) {
    m_mic = mic;
    return {};
}

CallStep CallModel::CurrentCalls() {
    CallStep step;
    for (const Call& call : m_calls) {
        step.signals.push_back(
            Text(HfCode::CallListLine, std::to_string(call.index) + " " +
                                           std::string(DirectionName(call.direction)) + " " +
                                           std::string(StateName(call.state)) + " " + call.number));
    }
    return step;
}

// AT+CHLD

CallStep CallModel::Chld(HoldAction action, int index) {
    const bool active = Find(CallState::Active) != nullptr;
    const bool held = Find(CallState::Held) != nullptr;
    Call* waiting = Find(CallState::Waiting);
    CallStep step;
    switch (action) {
    case HoldAction::ReleaseHeldOrWaiting:
        if (waiting != nullptr) {
            return RejectWaiting();
        }
        if (!held) {
            return Fails(kErrCallState);
        }
        EndAll(step, CallState::Held, HfCode::Ended);
        SettleAudio(step);
        return step;
    case HoldAction::ReleaseActiveAcceptOther:
        if (!active && !held) {
            return Fails(kErrCallState);
        }
        if (waiting != nullptr) {
            const uint64_t id = waiting->id;
            EndAll(step, CallState::Active, HfCode::Ended); // invalidates `waiting`
            Call* taken = FindId(id);
            taken->state = CallState::Active;
            taken->answered = true;
            step.signals.push_back(Bare(HfCode::IncomingActive));
            BringAudio(step);
            return step;
        }
        EndAll(step, CallState::Active, HfCode::Ended);
        if (held) {
            Move(CallState::Held, CallState::Active);
            step.signals.push_back(Bare(HfCode::IncomingActive));
            BringAudio(step);
        }
        SettleAudio(step);
        return step;
    case HoldAction::ReleaseCall: {
        const auto it = std::find_if(m_calls.begin(), m_calls.end(),
                                     [&](const Call& call) { return call.index == index; });
        if (it == m_calls.end()) {
            return Fails(kErrCallState);
        }
        return FarEndHangsUp(index); // the same end, whichever side hangs up
    }
    case HoldAction::HoldActiveAcceptOther:
        if (waiting != nullptr) {
            return HoldActiveAnswerWaiting();
        }
        if (active && held) {
            for (Call& call : m_calls) {
                if (call.state == CallState::Active || call.state == CallState::Held) {
                    call.state =
                        call.state == CallState::Active ? CallState::Held : CallState::Active;
                }
            }
            step.signals.push_back(Bare(HfCode::IncomingActive));
        } else if (active) {
            Move(CallState::Active, CallState::Held);
        } else if (held) {
            Move(CallState::Held, CallState::Active);
            step.signals.push_back(Bare(HfCode::IncomingActive));
            BringAudio(step);
        } else {
            return Fails(kErrCallState);
        }
        return step;
    case HoldAction::PrivateConsultation: {
        const auto it = std::find_if(m_calls.begin(), m_calls.end(), [&](const Call& call) {
            return call.index == index && call.state == CallState::Active && call.multiparty;
        });
        if (it == m_calls.end()) {
            return Fails(kErrCallState);
        }
        it->multiparty = false;
        for (Call& call : m_calls) {
            if (call.state == CallState::Active && call.id != it->id) {
                call.state = CallState::Held;
            }
        }
        SettleConference();
        return step;
    }
    case HoldAction::Conference:
        if (!active || !held || waiting != nullptr) {
            return Fails(kErrCallState);
        }
        Move(CallState::Held, CallState::Active);
        for (Call& call : m_calls) {
            call.multiparty = call.multiparty || call.state == CallState::Active;
        }
        return step;
    case HoldAction::ExplicitTransfer:
        if (!active || !held || waiting != nullptr) {
            return Fails(kErrCallState);
        }
        EndAll(step, CallState::Active, HfCode::Ended);
        EndAll(step, CallState::Held, HfCode::Ended);
        SettleAudio(step);
        return step;
    }
    return Fails(kErrCallState);
}

// The far ends and the network

CallStep CallModel::Ring(std::string_view number) {
    if (number.empty()) {
        return Fails(kErrBadArgument);
    }
    if (!m_calls.empty()) {
        return Fails(kErrCallState);
    }
    const Call& call = Add(CallDirection::Incoming, CallState::Incoming, number);
    CallStep step;
    StartRinging(step, call);
    step.timers.push_back(
        {TimerKind::RingTimeout, call.id,
         std::chrono::duration_cast<std::chrono::milliseconds>(m_settings.ringTime)});
    return step;
}

CallStep CallModel::Waiting(std::string_view number) {
    if (number.empty()) {
        return Fails(kErrBadArgument);
    }
    if (!Only(CallState::Active)) {
        return Fails(kErrCallState);
    }
    const Call& call = Add(CallDirection::Incoming, CallState::Waiting, number);
    CallStep step;
    step.signals.push_back(Text(HfCode::Waiting, number));
    step.timers.push_back(
        {TimerKind::RingTimeout, call.id,
         std::chrono::duration_cast<std::chrono::milliseconds>(m_settings.ringTime)});
    return step;
}

CallStep CallModel::FarEndAccepts() {
    Call* call = Find(CallState::Dialing);
    call = call != nullptr ? call : Find(CallState::Alerting);
    if (call == nullptr) {
        return Fails(kErrCallState);
    }
    call->state = CallState::Active;
    call->answered = true;
    CallStep step;
    step.signals.push_back(Bare(HfCode::Active));
    BringAudio(step);
    return step;
}

CallStep CallModel::AnswerAlertingCall() {
    CallStep step;
    if (const Call* call = Find(CallState::Alerting);
        call != nullptr && m_settings.answer == FarEndAnswer::Auto) {
        step.timers.push_back({TimerKind::FarEndAnswers, call->id, kFarEndAnswerDelay});
    }
    return step;
}

CallStep CallModel::FarEndHangsUp(std::optional<int> index) {
    if (!index) {
        return EndCurrent(Current());
    }
    const auto it = std::find_if(m_calls.begin(), m_calls.end(),
                                 [&](const Call& call) { return call.index == *index; });
    if (it == m_calls.end()) {
        return Fails(kErrCallState);
    }
    if (it->state == CallState::Waiting) {
        CallStep step;
        End(step, it->id);
        step.signals.push_back(Bare(HfCode::IncomingReleased));
        return step;
    }
    return EndCurrent(&*it);
}

CallStep CallModel::Indicator(HfCode code, int level) {
    if ((code != HfCode::Signal && code != HfCode::Battery) || level < 0 ||
        level > kMaxIndicatorLevel) {
        return Fails(kErrBadArgument);
    }
    CallStep step;
    step.signals.push_back({code, HfData::Level, {}, static_cast<uint8_t>(level)});
    return step;
}

CallStep CallModel::Indicator(HfCode code) {
    if (code != HfCode::ServiceOn && code != HfCode::ServiceOff && code != HfCode::Roaming &&
        code != HfCode::Home) {
        return Fails(kErrBadArgument);
    }
    CallStep step;
    step.signals.push_back(Bare(code));
    return step;
}

CallStep CallModel::OperatorText(std::string_view text) {
    if (!Utf8ToUtf16(text)) {
        return Fails(kErrBadArgument);
    }
    CallStep step;
    step.signals.push_back(Text(HfCode::OperatorText, text));
    return step;
}

CallStep CallModel::Fire(const CallTimer& timer) {
    CallStep step;
    Call* call = FindId(timer.call);
    if (call == nullptr) {
        return step; // the call ended before its timer came due
    }
    switch (timer.kind) {
    case TimerKind::Alert:
        if (call->state == CallState::Dialing) {
            call->state = CallState::Alerting;
            if (m_settings.answer == FarEndAnswer::Auto) {
                step.timers.push_back({TimerKind::FarEndAnswers, call->id, kFarEndAnswerDelay});
            }
        }
        break;
    case TimerKind::FarEndAnswers:
        // Answer mode manual since the timer was set: the called party waits for `accept`.
        if (m_settings.answer == FarEndAnswer::Auto &&
            (call->state == CallState::Dialing || call->state == CallState::Alerting)) {
            return FarEndAccepts();
        }
        break;
    case TimerKind::RingAgain:
        if (call->state == CallState::Incoming) {
            StartRinging(step, *call);
        }
        break;
    case TimerKind::RingTimeout:
        if (call->state == CallState::Incoming) {
            End(step, call->id);
            step.signals.push_back(Bare(HfCode::Ended));
            SettleAudio(step);
        } else if (call->state == CallState::Waiting) {
            End(step, call->id);
            step.signals.push_back(Bare(HfCode::IncomingReleased));
        }
        break;
    }
    return step;
}

CallStep CallModel::EndAll() {
    CallStep step;
    while (!m_calls.empty()) {
        End(step, m_calls.front().id);
    }
    m_audio = AudioPlace::Phone;
    m_mic = Mic::Unmuted;
    return step;
}

} // namespace kobalt::sim
