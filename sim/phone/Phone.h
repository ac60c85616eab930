// The phone at the far end of the HF link: the call model (Calls.h) turned into hands-free
// events, scheduled far-end steps and call-log records.
//
// Console entry points need a running stack (kErrNotInitialised) and an HF link
// (kErrNotConnected), then answer as CallModel does. Control commands answer a Status: done, or
// why nothing changed. Events go to the hands-free callback registered when they
// are made; without one the calls still change. Losing the HF link, or the stack stopping, ends
// every call without events; each goes into the call log.
//
// Thread-safe. The stack calls SessionChanged under its own lock; the phone never calls the
// stack, so the lock order is always stack, then phone. No callback runs under the lock.
#pragma once

#include "sim/Status.h"
#include "sim/phone/CallHistory.h"
#include "sim/phone/Calls.h"
#include "sim/phone/HfSession.h"
#include "sim/phone/TextPool.h"
#include "sim/radio/Event.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kobalt::sim {

class Phone : public HfSessionObserver {
public:
    // Told of every change the call model makes: its signals and the calls after it. Called
    // under the phone's lock, from whichever thread made the change: it must not call the phone.
    using CallObserver =
        std::function<void(const std::vector<HfSignal>& signals, const std::vector<Call>& calls)>;

    Phone(EventSink& events, StepTimer& timer, CallHistory& history);

    // The phone's audio gateway watches the calls this way (sim/phone/AgEngine.h); set before
    // the phone is used.
    void SetCallObserver(CallObserver observer) { m_observer = std::move(observer); }

    void SessionChanged(const HfSession& session) override;

    // The console. Dial uses `number` up to its terminator or `length` bytes, whichever comes
    // first; kErrBadArgument for a null number or a negative length.
    ResultCode Dial(const char* number, int length);
    ResultCode Redial();
    ResultCode Answer();
    ResultCode HangUp();
    ResultCode HoldActiveToAnswerWaiting();
    ResultCode ReleaseActiveToAnswerWaiting();
    ResultCode RejectWaiting();
    ResultCode HoldIncoming();
    ResultCode AcceptHeldIncoming();
    ResultCode RejectHeldIncoming();
    ResultCode Transfer();
    ResultCode TransferBack();
    ResultCode SetMic(Mic mic);
    ResultCode TransmitDtmf(int code);
    ResultCode CurrentCalls();
    // AT+CHLD, from the audio gateway.
    ResultCode Chld(HoldAction action, int index = 0);
    // A copy of the calls, by index.
    std::vector<Call> Calls() const;
    // 0 audio on the phone (also with no call), 1 on the device; else a negative ResultCode.
    int AudioStatus() const;

    // The far ends and the network. When `done` is given, a done command writes there what it
    // did to which call ("ringing 0123456789 as call 1"), read under the same lock as the change.
    Status Ring(const std::string& number, std::string* done = nullptr);
    Status Waiting(const std::string& number, std::string* done = nullptr);
    Status Accept(std::string* done = nullptr);
    Status FarEndHangsUp(std::optional<int> index, std::string* done = nullptr);
    Status Indicator(HfCode code);
    Status Indicator(HfCode code, int level);
    // `count` signal-level events at once, levels 0, 1, ..., 5, 0, ...: a load for the event path.
    Status SignalStorm(uint32_t count);
    Status OperatorText(const std::string& text);

    // `call ...`, `audio ...`, `mic ...`, `dialled ...`, `dtmf ...` lines (docs/phone.md).
    std::vector<std::string> StateLines() const;
    // Distinct texts handed to callbacks so far.
    std::size_t InternedTexts() const;

private:
    ResultCode GateLocked() const;
    ResultCode ApplyLocked(CallStep step);
    template <class Command> ResultCode Console(Command command);
    template <class Command> Status Remote(Command command, const char* inapplicable);
    // Remote, then `describe(before, after)` into `done` when the command was carried out.
    template <class Command, class Describe>
    Status Described(Command command, const char* inapplicable, std::string* done,
                     Describe describe);
    void Fire(const CallTimer& timer);

    EventSink& m_events;
    StepTimer& m_timer;
    CallHistory& m_history;

    mutable std::mutex m_mutex; // guards every field below
    HfSession m_session;
    CallModel m_model;
    TextPool m_texts;
    CallObserver m_observer; // set before use, then only read
};

} // namespace kobalt::sim
