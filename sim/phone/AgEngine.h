// The phone's audio gateway (AG) of the hands-free profile: AT commands from a hands-free unit
// (HF) in, result codes out, over a byte stream. A state machine without sockets, threads or
// clocks: it is fed the bytes the HF sends and the changes of the phone's calls (Phone.h's call
// observer), and answers with the lines to send. Time passes in the phone (its far ends, ring
// repeats and ring timeouts), whose changes reach the engine like any other.
//
// Lines in: ended by CR or LF; at most kMaxLineBytes (a longer one is dropped whole and answered
// ERROR); case does not matter outside quotes; several commands may share a line after one AT,
// separated by ';' (AT+VTS=1;+VTS=2). Lines out: "\r\n" TEXT "\r\n" each (Frame).
//
// The service-level connection (SLC) and the per-link settings, drawn beside the tests
// (tests/sim/phone/AgEngine.md): nothing unsolicited goes out before AT+CMER has turned
// indicator events on; CLIP and CCWA only once the HF asked for them. Reset() forgets the link.
#pragma once

#include "sim/abi/ResultCode.h"
#include "sim/phone/Calls.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

// What the AG does to the phone: the hands-free unit's commands on the call model.
class AgPhone {
public:
    virtual ~AgPhone() = default;
    virtual ResultCode Dial(std::string_view number) = 0;
    virtual ResultCode Redial() = 0;
    virtual ResultCode Answer() = 0;
    virtual ResultCode HangUp() = 0;
    virtual ResultCode Chld(HoldAction action, int index) = 0;
    virtual ResultCode Dtmf(char code) = 0;
    // AT+BVRA: the phone's voice recognition on or off.
    virtual ResultCode VoiceRecognition(bool on) = 0;
    // The number at phonebook location `location` (from 1), for ATD>n; none when empty.
    virtual std::optional<std::string> MemoryNumber(int location) const = 0;
};

// One line of the exchange, as received or sent, without its framing.
struct AgLine {
    enum class Way { In, Out };
    Way way = Way::Out;
    std::string text;

    bool operator==(const AgLine&) const = default;
};

// AG supported features of AT+BRSF: three-way calling, echo cancelling / noise reduction, voice
// recognition, call rejection, enhanced call status, enhanced call control, extended error
// codes, codec negotiation.
inline constexpr uint32_t kAgFeatures = 0x3E7; // 999

struct AgSettings {
    uint32_t features = kAgFeatures;
    std::string ownNumber = "+15555550100";     // AT+CNUM
    std::string operatorName = "KOBALT Mobile"; // AT+COPS?, until the network sends a text
};

// The seven indicators of AT+CIND, in their order (1-based in +CIEV).
enum class AgIndicator { Service, Call, CallSetup, CallHeld, Signal, Roam, BattChg, Count };

class AgEngine {
public:
    static constexpr std::size_t kMaxLineBytes = 512;
    static constexpr std::size_t kMaxNumberBytes = 80;

    AgEngine(AgPhone& phone, AgSettings settings = {});

    // Bytes from the HF: every complete line is carried out; what it and its answers were goes
    // to `out`, in order.
    void Receive(std::string_view bytes, std::vector<AgLine>& out);

    // The phone changed: its signals (Calls.h) and its calls after the change. Unsolicited
    // results go to `out`; the state is kept also while no HF listens.
    void PhoneChanged(const std::vector<HfSignal>& signals, const std::vector<Call>& calls,
                      std::vector<AgLine>& out);

    // The phone's volume keys: the speaker's (else the microphone's) gain, 0 to 15, reported as
    // +VGS or +VGM to an HF that said it has remote volume control.
    void VolumeChanged(bool speaker, int gain, std::vector<AgLine>& out);

    // The link closed: the next HF starts a new service-level connection. The phone's state
    // (calls, indicators, volumes) stays.
    void Reset();

    // The lines of `lines` that go out, framed for the wire.
    static std::string Frame(const std::vector<AgLine>& lines);

    bool ServiceLevelUp() const { return m_link.slc; }
    int Indicator(AgIndicator which) const { return m_indicators[Slot(which)]; }

private:
    enum class Outcome { Ok, Error, Unsupported };
    struct Result {
        Outcome outcome = Outcome::Ok;
        int cme = 0; // +CME ERROR code for Error
    };
    // What one link has asked for; forgotten with the link.
    struct Link {
        uint32_t hfFeatures = 0;
        bool brsf = false;
        bool slc = false;
        bool indicatorEvents = false; // AT+CMER=3,0,0,1
        bool clip = false;
        bool ccwa = false;
        bool cmee = false;
        bool nrec = true;
        std::array<bool, static_cast<std::size_t>(AgIndicator::Count)> active{};
        std::string buffer;    // the line so far
        bool overlong = false; // the line so far was too long: dropped up to its end
    };

    static std::size_t Slot(AgIndicator which) { return static_cast<std::size_t>(which); }

    void Line(std::string_view line, std::vector<AgLine>& out);
    Result Command(std::string_view command, std::vector<AgLine>& out);
    Result Dial(std::string_view rest);
    Result Extended(std::string_view name, std::string_view rest, std::vector<AgLine>& out);
    // An extended command taken apart: "=?" test, "?" read, "=VALUE" set; `number` is the
    // value as a whole number (-1 when it is none), `flag` whether it is 0 or 1.
    struct ExtendedCommand {
        std::string_view name;
        std::string_view rest;
        bool test = false;
        bool read = false;
        bool set = false;
        std::string_view value;
        int number = -1;
        bool flag = false;
    };
    // Each group answers the commands it knows; none for one of another group.
    std::optional<Result> Connection(const ExtendedCommand& c, std::vector<AgLine>& out);
    std::optional<Result> CallControl(const ExtendedCommand& c, std::vector<AgLine>& out);
    std::optional<Result> Settings(const ExtendedCommand& c, std::vector<AgLine>& out);
    Result Phone(ResultCode code);
    Result Chld(std::string_view value);
    Result Vts(std::string_view value);
    void Finish(const Result& result, std::vector<AgLine>& out) const;
    void Send(std::string text, std::vector<AgLine>& out) const;
    void SetIndicator(AgIndicator which, int value, std::vector<AgLine>& out);
    void CallIndicators(const std::vector<Call>& calls, std::vector<AgLine>& out);
    void Completed(); // the SLC is up once its last command came
    std::string CindValues() const;

    AgPhone& m_phone;
    AgSettings m_settings;
    Link m_link;
    std::array<int, static_cast<std::size_t>(AgIndicator::Count)> m_indicators{1, 0, 0, 0, 5, 0, 5};
    std::vector<Call> m_calls; // as last reported by the phone
    std::string m_operator;
    int m_speakerGain = 7; // AT+VGS, 0..15
    int m_micGain = 7;     // AT+VGM, 0..15
};

} // namespace kobalt::sim
