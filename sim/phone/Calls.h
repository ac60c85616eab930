// The phone's calls as the hands-free profile sees them, without threads, locks or callbacks:
// each command validates, changes the model and returns what the console must hear (signals),
// what must happen later (timers) and the calls that finished (for the call log). Phone.h turns
// that into events and scheduled steps.
//
// One enum per concern, each named for who acts next:
//   CallState   per call; see the diagram beside tests/sim/phone/CallsTest.cpp
//   AudioPlace  Phone <--Transfer/TransferBack--> Device; Device when a call becomes active,
//               Phone when the last call ends
//   Mic         Unmuted <--Mute/Unmute--> Muted
//
// The calls that can exist together: none; one outgoing (Dialing, Alerting) or Incoming or
// Active or Held call; Active with a Waiting call; Held with an Active call; and, through the
// audio gateway's AT+CHLD, two Active (or two Held) calls of a conference. A command that
// does not apply to the current calls fails with kErrCallState and changes nothing.
#pragma once

#include "sim/abi/ResultCode.h"
#include "sim/phone/CallHistory.h"
#include "sim/phone/CallSettings.h"
#include "sim/radio/Event.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

// The console's DialerState codes this phone sends.
enum class HfCode : uint32_t {
    AudioUp = 3,         // call audio now on the device
    AudioDown = 4,       // call audio no longer on the device
    Ended = 5,           // a call ended
    Active = 6,          // a call is in progress
    Dialing = 7,         // an outgoing call is being set up
    Incoming = 8,        // an incoming call rings (repeated while it rings)
    OutgoingNumber = 10, // with Dialing: the number dialled
    IncomingNumber = 11, // with Incoming: the caller's number
    ServiceOn = 15,      // network available
    ServiceOff = 16,     // network unavailable
    Signal = 17,         // signal level, one byte
    Battery = 18,        // battery charge level, one byte
    Roaming = 19,
    Home = 20,             // not roaming
    OperatorText = 21,     // UTF-8 text
    IncomingHeld = 22,     // the incoming call was put on hold
    Waiting = 23,          // a second call waits; with its number
    IncomingActive = 24,   // the waiting or held incoming call is now active
    IncomingReleased = 25, // the waiting or held incoming call was released
    CallListLine = 26,     // one line of KOBALT_GetCurrentCalls; the console ignores this code
};

enum class CallDirection { Outgoing, Incoming };

enum class CallState {
    Dialing,  // outgoing: the network sets the call up
    Alerting, // outgoing: the called party's phone rings; they answer next
    Incoming, // the user answers, holds or lets it ring
    Waiting,  // a second incoming call: the user takes, rejects or lets it ring
    Active,   // both parties talk; either may hang up
    Held,     // on hold: the user resumes or releases it
};

enum class AudioPlace { Phone, Device };
enum class Mic { Unmuted, Muted };

std::string_view DirectionName(CallDirection direction); // "outgoing", "incoming"
std::string_view StateName(CallState state);             // "dialing", ..., "held"

struct Call {
    int index = 0; // the lowest free from 1, as the phone numbers its calls
    CallDirection direction = CallDirection::Outgoing;
    CallState state = CallState::Dialing;
    std::string number;
    bool answered = false;   // took part in a conversation (or was accepted on hold)
    bool multiparty = false; // one of the calls of a conference (AT+CHLD=3)
    uint64_t id = 0;         // unique; ties timers to this call, since indexes are reused
    std::chrono::system_clock::time_point started{};
};

// Something the console must hear: a code and the data it points at.
struct HfSignal {
    HfCode code;
    HfData kind = HfData::None;
    std::string text;  // HfData::Text
    uint8_t level = 0; // HfData::Level

    bool operator==(const HfSignal&) const = default;
};

// The hands-free profile's AT+CHLD actions, which the phone's audio gateway carries out
// (AgEngine.h); the console's three-way entry points are the narrower commands above them.
enum class HoldAction {
    ReleaseHeldOrWaiting,     // 0: reject the waiting call, else end the held calls
    ReleaseActiveAcceptOther, // 1: end the active calls; the waiting or held call becomes active
    ReleaseCall,              // 1x: end call x
    HoldActiveAcceptOther,    // 2: active calls on hold; the waiting or held call becomes active
    PrivateConsultation,      // 2x: call x of the conference alone active, the others held
    Conference,               // 3: the held call joins the active one
    ExplicitTransfer,         // 4: the active and held calls are joined; the phone leaves them
};

// Delays of the calls' far ends, before time scaling.
inline constexpr std::chrono::milliseconds kAlertDelay{1000};        // dialled until it rings
inline constexpr std::chrono::milliseconds kFarEndAnswerDelay{2000}; // rings until answered
inline constexpr std::chrono::milliseconds kRingRepeat{4000};        // between ring reports

enum class TimerKind {
    Alert,         // the dialled phone starts ringing
    FarEndAnswers, // the called party answers (auto answer)
    RingAgain,     // the incoming call is reported again
    RingTimeout,   // nobody answered the incoming or waiting call: missed
};

struct CallTimer {
    TimerKind kind;
    uint64_t call; // Call::id
    std::chrono::milliseconds delay;
};

// The outcome of one command.
struct CallStep {
    ResultCode result = kOk;
    std::vector<HfSignal> signals;
    std::vector<CallTimer> timers;
    std::vector<CallRecord> finished;
};

// Highest indicator level of signal and battery.
inline constexpr int kMaxIndicatorLevel = 5;

// The dialled numbers and DTMF characters the phone keeps for the state report.
inline constexpr std::size_t kKeptEntries = 256;

class CallModel {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    explicit CallModel(Clock clock = std::chrono::system_clock::now);

    void SetSettings(const CallSettings& settings) { m_settings = settings; }

    // The console (hands-free unit). kErrBadArgument for an empty number or a DTMF character
    // outside 0-9 * # A-D, kErrNoNumber for a redial before any dial, kErrCallState when the
    // command does not apply to the current calls.

    CallStep Dial(std::string_view number); // needs no call at all
    CallStep Redial();
    CallStep Answer(); // the Incoming call
    CallStep HangUp(); // the active or outgoing or Incoming call, else the Held one
    CallStep HoldActiveAnswerWaiting();    // Active + Waiting: swap into Held + Active
    CallStep ReleaseActiveAnswerWaiting(); // Active + Waiting: end the Active, answer
    CallStep RejectWaiting();              // Active + Waiting: end the Waiting one
    CallStep HoldIncoming();               // the lone Incoming call goes on hold
    CallStep AcceptHeld();                 // the lone Held call becomes Active
    CallStep RejectHeld();                 // the lone Held call ends
    CallStep Transfer();                   // audio to the device; needs a call
    CallStep TransferBack();               // audio to the phone; needs a call
    CallStep Dtmf(int code);               // needs an Active call
    CallStep SetMic(Mic mic);
    CallStep CurrentCalls(); // one CallListLine per call, by index
    // AT+CHLD from the phone's audio gateway; `index` for ReleaseCall and PrivateConsultation.
    CallStep Chld(HoldAction action, int index = 0);

    // The far ends and the network (control commands).

    CallStep Ring(std::string_view number);    // needs no call at all
    CallStep Waiting(std::string_view number); // needs one Active call and nothing else
    CallStep FarEndAccepts();                  // the unanswered outgoing call
    // The answer mode became auto: an outgoing call that alerts is answered after
    // kFarEndAnswerDelay, as if it had begun to alert now.
    CallStep AnswerAlertingCall();
    // The far end of the call at `index`, or else of the call HangUp would end.
    CallStep FarEndHangsUp(std::optional<int> index);
    CallStep Indicator(HfCode code, int level);   // Signal, Battery: level 0..kMaxIndicatorLevel
    CallStep Indicator(HfCode code);              // ServiceOn/Off, Roaming, Home
    CallStep OperatorText(std::string_view text); // must be UTF-8
    CallStep Fire(const CallTimer& timer);        // a timer came due; stale ones do nothing

    // The HF link or the stack went away: every call ends without signals (there is no one to
    // tell), audio returns to the phone and the microphone is unmuted.
    CallStep EndAll();

    const std::vector<Call>& Calls() const { return m_calls; }
    AudioPlace Audio() const { return m_audio; }
    Mic MicState() const { return m_mic; }
    const std::deque<std::string>& Dialled() const { return m_dialled; }
    const std::deque<char>& DtmfSent() const { return m_dtmf; }

private:
    Call* Find(CallState state);
    Call* FindId(uint64_t id);
    bool Only(CallState state) const; // exactly one call, in `state`
    Call& Add(CallDirection direction, CallState state, std::string_view number);
    void End(CallStep& step, uint64_t id);
    void BringAudio(CallStep& step);  // to the device, when a call becomes active
    void SettleAudio(CallStep& step); // away, when no call is left
    void StartRinging(CallStep& step, const Call& call);
    // The call that HangUp ends: the active, outgoing or ringing one, else the held one.
    Call* Current();
    CallStep EndCurrent(Call* call);
    // A conference needs two calls: a lone one left is an ordinary call again.
    void SettleConference();
    int Count(CallState state) const;
    // Ends every call in `state`, with `signal` for each.
    void EndAll(CallStep& step, CallState state, HfCode signal);
    // Every call in `from` goes to `to`.
    void Move(CallState from, CallState to);

    Clock m_clock;
    CallSettings m_settings;
    std::vector<Call> m_calls; // by index
    uint64_t m_nextId = 1;
    AudioPlace m_audio = AudioPlace::Phone;
    Mic m_mic = Mic::Unmuted;
    std::string m_lastNumber; // for redial; kept while the library lives
    std::deque<std::string> m_dialled;
    std::deque<char> m_dtmf;
};

} // namespace kobalt::sim
