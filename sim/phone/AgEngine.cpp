#include "sim/phone/AgEngine.h"

#include <algorithm>
#include <charconv>

namespace kobalt::sim {
namespace {

// +CME ERROR codes (3GPP TS 27.007) the AG answers with once the HF turned them on.
constexpr int kCmePhoneFailure = 0;
constexpr int kCmeNotAllowed = 3;
constexpr int kCmeInvalidIndex = 21;
constexpr int kCmeNotFound = 22;
constexpr int kCmeBadDialCharacters = 25;
constexpr int kCmeDialStringTooLong = 26;
constexpr int kCmeNoNetwork = 30;
constexpr int kCmeBadParameters = 50;

constexpr int kMaxGain = 15;

// Feature bits of AT+BRSF: the AG's bit 0 and the HF's bit 1 are three-way calling.
constexpr uint32_t kAgThreeWay = 1U << 0;
constexpr uint32_t kHfThreeWay = 1U << 1;
constexpr uint32_t kHfRemoteVolume = 1U << 4;

constexpr std::string_view kCindRanges =
    "+CIND: (\"service\",(0,1)),(\"call\",(0,1)),(\"callsetup\",(0-3)),(\"callheld\",(0-2)),"
    "(\"signal\",(0-5)),(\"roam\",(0,1)),(\"battchg\",(0-5))";

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Upper case outside double quotes: command names and keywords match whatever the case.
std::string UpperOutsideQuotes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool quoted = false;
    for (const char c : text) {
        quoted = c == '"' ? !quoted : quoted;
        out.push_back(quoted ? c : Upper(c));
    }
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

// The commands of one line, split at ';' outside quotes; empty ones dropped.
std::vector<std::string_view> SplitCommands(std::string_view text) {
    std::vector<std::string_view> commands;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] == '"') {
            quoted = !quoted;
        }
        if (i == text.size() || (text[i] == ';' && !quoted)) {
            const std::string_view command = Trim(text.substr(start, i - start));
            if (!command.empty()) {
                commands.push_back(command);
            }
            start = i + 1;
        }
    }
    return commands;
}

std::optional<int> Number(std::string_view text) {
    text = Trim(text);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Comma-separated fields; an empty field stays (AT+BIA=,1,,0).
std::vector<std::string_view> Fields(std::string_view text) {
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t comma = text.find(',');
        fields.push_back(Trim(text.substr(0, comma)));
        if (comma == std::string_view::npos) {
            return fields;
        }
        text.remove_prefix(comma + 1);
    }
}

std::string_view Unquoted(std::string_view text) {
    text = Trim(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

// A number as it may stand inside quotes on the link: printable ASCII without quotes or
// backslashes, at most kMaxNumberBytes. Whatever the phone holds, nothing else reaches the HF.
std::string LinkText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (out.size() == AgEngine::kMaxNumberBytes) {
            break;
        }
        if (!IsControl(c) && static_cast<unsigned char>(c) < 0x80 && c != '"' && c != '\\') {
            out.push_back(c);
        }
    }
    return out;
}

// "NUMBER",TYPE: 145 for an international number, else 129.
std::string NumberAndType(std::string_view number) {
    const std::string text = LinkText(number);
    return "\"" + text + "\"," + (text.starts_with('+') ? "145" : "129");
}

bool IsDialCharacter(char c) {
    return (c >= '0' && c <= '9') || c == '*' || c == '#' || c == '+' || (c >= 'A' && c <= 'D');
}

// The digits of a phonebook number ("+49 (30) 1234-5" dials +493012345).
std::string Dialable(std::string_view number) {
    std::string out;
    for (const char c : number) {
        if ((c >= '0' && c <= '9') || c == '*' || c == '#' || (c == '+' && out.empty())) {
            out.push_back(c);
        }
    }
    return out;
}

int ClccStatus(CallState state) {
    switch (state) {
    case CallState::Active:
        return 0;
    case CallState::Held:
        return 1;
    case CallState::Dialing:
        return 2;
    case CallState::Alerting:
        return 3;
    case CallState::Incoming:
        return 4;
    case CallState::Waiting:
        return 5;
    }
    return 0;
}

bool Has(const std::vector<Call>& calls, CallState state) {
    return std::any_of(calls.begin(), calls.end(),
                       [&](const Call& call) { return call.state == state; });
}

std::vector<uint64_t> HeldIds(const std::vector<Call>& calls) {
    std::vector<uint64_t> ids;
    for (const Call& call : calls) {
        if (call.state == CallState::Held) {
            ids.push_back(call.id);
        }
    }
    return ids;
}

} // namespace

AgEngine::AgEngine(AgPhone& phone, AgSettings settings)
    : m_phone(phone), m_settings(std::move(settings)), m_operator(m_settings.operatorName) {
    Reset();
}

void AgEngine::Reset() {
    m_link = Link{};
    m_link.active.fill(true);
}

std::string AgEngine::Frame(const std::vector<AgLine>& lines) {
    std::string wire;
    for (const AgLine& line : lines) {
        if (line.way == AgLine::Way::Out) {
            wire += "\r\n" + line.text + "\r\n";
        }
    }
    return wire;
}

// Framing

void AgEngine::Receive(std::string_view bytes, std::vector<AgLine>& out) {
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (m_link.overlong) {
                out.push_back({AgLine::Way::In, m_link.buffer + "..."});
                Send("ERROR", out);
            } else if (!Trim(m_link.buffer).empty()) {
                Line(m_link.buffer, out);
            }
            m_link.buffer.clear();
            m_link.overlong = false;
        } else if (m_link.buffer.size() == kMaxLineBytes) {
            m_link.overlong = true; // the rest of the line is dropped as it comes
        } else {
            m_link.buffer.push_back(c);
        }
    }
}

void AgEngine::Line(std::string_view line, std::vector<AgLine>& out) {
    out.push_back({AgLine::Way::In, std::string(line)});
    const std::string text = UpperOutsideQuotes(Trim(line));
    if (std::any_of(text.begin(), text.end(), IsControl) || !text.starts_with("AT")) {
        Finish({Outcome::Unsupported}, out);
        return;
    }
    const std::string_view body = std::string_view(text).substr(2);
    if (body.starts_with('D')) {
        Finish(Dial(body.substr(1)), out); // a dial string holds its own ';'
        return;
    }
    for (const std::string_view command : SplitCommands(body)) {
        const Result result = Command(command, out);
        if (result.outcome != Outcome::Ok) {
            Finish(result, out);
            return;
        }
    }
    Finish({}, out);
}

void AgEngine::Finish(const Result& result, std::vector<AgLine>& out) const {
    switch (result.outcome) {
    case Outcome::Ok:
        Send("OK", out);
        return;
    case Outcome::Unsupported:
        Send("ERROR", out);
        return;
    case Outcome::Error:
        Send(m_link.cmee ? "+CME ERROR: " + std::to_string(result.cme) : "ERROR", out);
        return;
    }
}

void AgEngine::Send(std::string text, std::vector<AgLine>& out) const {
    out.push_back({AgLine::Way::Out, std::move(text)});
}

// Commands

AgEngine::Result AgEngine::Command(std::string_view command, std::vector<AgLine>& out) {
    if (command == "A") {
        return Phone(m_phone.Answer());
    }
    if (!command.starts_with('+')) {
        return {Outcome::Unsupported};
    }
    std::size_t end = 1;
    while (end < command.size() && ((command[end] >= 'A' && command[end] <= 'Z') ||
                                    (command[end] >= '0' && command[end] <= '9'))) {
        ++end;
    }
    return Extended(command.substr(1, end - 1), command.substr(end), out);
}

AgEngine::Result AgEngine::Phone(ResultCode code) {
    switch (code) {
    case kOk:
        return {};
    case kErrCallState:
        return {Outcome::Error, kCmeNotAllowed};
    case kErrNoNumber:
        return {Outcome::Error, kCmeNotFound};
    case kErrBadArgument:
        return {Outcome::Error, kCmeBadParameters};
    default:
        return {Outcome::Error, kCmePhoneFailure};
    }
}

AgEngine::Result AgEngine::Dial(std::string_view rest) {
    rest = Trim(rest);
    if (!rest.ends_with(';')) {
        return {Outcome::Unsupported}; // a data call: the AG makes voice calls only
    }
    rest.remove_suffix(1);
    std::string number;
    if (rest.starts_with('>')) {
        const std::optional<int> location = Number(rest.substr(1));
        const std::optional<std::string> found =
            location && *location > 0 ? m_phone.MemoryNumber(*location) : std::nullopt;
        number = found ? Dialable(*found) : std::string();
        if (number.empty()) {
            return {Outcome::Error, kCmeInvalidIndex};
        }
    } else {
        number = std::string(Trim(rest));
        if (number.empty() || !std::all_of(number.begin(), number.end(), IsDialCharacter)) {
            return {Outcome::Error, kCmeBadDialCharacters};
        }
    }
    if (number.size() > kMaxNumberBytes) {
        return {Outcome::Error, kCmeDialStringTooLong};
    }
    if (Indicator(AgIndicator::Service) == 0) {
        return Result{Outcome::Error, kCmeNoNetwork};
    }
    return Phone(m_phone.Dial(number));
}

AgEngine::Result AgEngine::Chld(std::string_view value) {
    value = Trim(value);
    if (value.empty() || value.size() > 3) {
        return {Outcome::Error, kCmeBadParameters};
    }
    const char action = value.front();
    const std::optional<int> index =
        value.size() > 1 ? Number(value.substr(1)) : std::optional<int>();
    if (value.size() > 1 && (!index || *index < 1 || (action != '1' && action != '2'))) {
        return {Outcome::Error, kCmeBadParameters};
    }
    switch (action) {
    case '0':
        return Phone(m_phone.Chld(HoldAction::ReleaseHeldOrWaiting, 0));
    case '1':
        return Phone(index ? m_phone.Chld(HoldAction::ReleaseCall, *index)
                           : m_phone.Chld(HoldAction::ReleaseActiveAcceptOther, 0));
    case '2':
        return Phone(index ? m_phone.Chld(HoldAction::PrivateConsultation, *index)
                           : m_phone.Chld(HoldAction::HoldActiveAcceptOther, 0));
    case '3':
        return Phone(m_phone.Chld(HoldAction::Conference, 0));
    case '4':
        return Phone(m_phone.Chld(HoldAction::ExplicitTransfer, 0));
    default:
        return {Outcome::Error, kCmeBadParameters};
    }
}

AgEngine::Result AgEngine::Vts(std::string_view value) {
    const std::string_view code = Unquoted(value);
    if (code.size() != 1) {
        return {Outcome::Error, kCmeBadParameters};
    }
    return Phone(m_phone.Dtmf(Upper(code.front()))); // a quoted "a" is A as well
}

// One extended command: NAME and what follows it ("", "?", "=?", "=VALUE").
AgEngine::Result AgEngine::Extended(std::string_view name, std::string_view rest,
                                    std::vector<AgLine>& out) {
    ExtendedCommand c;
    c.name = name;
    c.rest = rest;
    c.test = rest == "=?";
    c.read = rest == "?";
    c.set = rest.starts_with('=') && !c.test;
    c.value = c.set ? rest.substr(1) : std::string_view();
    // The value as a whole number, -1 when it is none (no value takes a negative one).
    c.number = c.set ? Number(c.value).value_or(-1) : -1;
    c.flag = c.number == 0 || c.number == 1;
    for (const auto group : {&AgEngine::Connection, &AgEngine::CallControl, &AgEngine::Settings}) {
        if (const std::optional<Result> done = (this->*group)(c, out)) {
            return *done;
        }
    }
    return {Outcome::Unsupported};
}

// Setting up the service-level connection and its indicators.
std::optional<AgEngine::Result> AgEngine::Connection(const ExtendedCommand& c,
                                                     std::vector<AgLine>& out) {
    const Result bad{Outcome::Error, kCmeBadParameters};
    if (c.name == "BRSF" && c.set) {
        if (c.number < 0) {
            return bad;
        }
        m_link.hfFeatures = static_cast<uint32_t>(c.number);
        m_link.brsf = true;
        Send("+BRSF: " + std::to_string(m_settings.features), out);
        return Result{};
    }
    if (c.name == "BAC" && c.set) {
        return Result{}; // CVSD is the one codec either way: no audio flows here
    }
    if (c.name == "CIND" && c.test) {
        Send(std::string(kCindRanges), out);
        return Result{};
    }
    if (c.name == "CIND" && c.read) {
        Send("+CIND: " + CindValues(), out);
        return Result{};
    }
    if (c.name == "CMER" && c.set) {
        const std::vector<std::string_view> fields = Fields(c.value);
        const std::optional<int> mode = Number(fields[0]);
        const std::optional<int> events = fields.size() >= 4 ? Number(fields[3]) : 0;
        if (!mode || (*mode != 3 && *mode != 0) || !events || (*events != 0 && *events != 1)) {
            return bad;
        }
        m_link.indicatorEvents = *mode == 3 && *events == 1;
        const bool threeWay =
            (m_settings.features & kAgThreeWay) != 0 && (m_link.hfFeatures & kHfThreeWay) != 0;
        if (!threeWay) {
            Completed();
        }
        return Result{};
    }
    if (c.name == "CHLD" && c.test) {
        Send("+CHLD: (0,1,1x,2,2x,3,4)", out);
        Completed();
        return Result{};
    }
    if (c.name == "BIA" && c.set) {
        const std::vector<std::string_view> fields = Fields(c.value);
        for (std::size_t i = 0; i < fields.size() && i < m_link.active.size(); ++i) {
            const std::optional<int> on = fields[i].empty() ? std::nullopt : Number(fields[i]);
            if (!fields[i].empty() && (!on || (*on != 0 && *on != 1))) {
                return bad;
            }
            const auto which = static_cast<AgIndicator>(i);
            const bool always = which == AgIndicator::Call || which == AgIndicator::CallSetup ||
                                which == AgIndicator::CallHeld;
            if (on && !always) {
                m_link.active[i] = *on == 1;
            }
        }
        return Result{};
    }
    // HF indicators: enhanced safety (1) and battery level (2), both enabled.
    if (c.name == "BIND" && c.test) {
        Send("+BIND: (1,2)", out);
        return Result{};
    }
    if (c.name == "BIND" && c.read) {
        Send("+BIND: 1,1", out);
        Send("+BIND: 2,1", out);
        return Result{};
    }
    if (c.name == "BIND" && c.set) {
        return Result{};
    }
    if (c.name == "BIEV" && c.set) {
        const std::vector<std::string_view> fields = Fields(c.value);
        const std::optional<int> which = Number(fields[0]);
        const std::optional<int> level = fields.size() == 2 ? Number(fields[1]) : std::nullopt;
        return which && (*which == 1 || *which == 2) && level ? Result{} : bad;
    }
    if ((c.name == "BCS" && c.set) || (c.name == "BCC" && c.rest.empty())) {
        return Result{};
    }
    return std::nullopt;
}

// Commands on the calls.
std::optional<AgEngine::Result> AgEngine::CallControl(const ExtendedCommand& c,
                                                      std::vector<AgLine>& out) {
    const Result bad{Outcome::Error, kCmeBadParameters};
    if (c.name == "CHLD" && c.set) {
        return Chld(c.value);
    }
    if (c.name == "BVRA" && c.set) {
        if (!c.flag) {
            return bad;
        }
        return Phone(m_phone.VoiceRecognition(c.number == 1));
    }
    if (c.name == "CLCC" && c.rest.empty()) {
        for (const Call& call : m_calls) {
            Send("+CLCC: " + std::to_string(call.index) + "," +
                     (call.direction == CallDirection::Outgoing ? "0" : "1") + "," +
                     std::to_string(ClccStatus(call.state)) + ",0," +
                     (call.multiparty ? "1" : "0") + "," + NumberAndType(call.number),
                 out);
        }
        return Result{};
    }
    if (c.name == "VTS" && c.set) {
        return Vts(c.value);
    }
    if (c.name == "BLDN" && c.rest.empty()) {
        if (Indicator(AgIndicator::Service) == 0) {
            return Result{Outcome::Error, kCmeNoNetwork};
        }
        return Phone(m_phone.Redial());
    }
    if (c.name == "CHUP" && c.rest.empty()) {
        return Phone(m_phone.HangUp());
    }
    if (c.name == "CKPD" && c.set) {
        // The headset profile's one button: answers a ringing call, else hangs up.
        return Phone(Has(m_calls, CallState::Incoming) ? m_phone.Answer() : m_phone.HangUp());
    }
    return std::nullopt;
}

// The link's settings, the network, the volume.
std::optional<AgEngine::Result> AgEngine::Settings(const ExtendedCommand& c,
                                                   std::vector<AgLine>& out) {
    const Result bad{Outcome::Error, kCmeBadParameters};
    if ((c.name == "CMEE" || c.name == "CLIP" || c.name == "NREC") && c.set) {
        if (!c.flag) {
            return bad;
        }
        (c.name == "CMEE"   ? m_link.cmee
         : c.name == "CLIP" ? m_link.clip
                            : m_link.nrec) = c.number == 1;
        return Result{};
    }
    if (c.name == "CCWA" && c.set) {
        const std::optional<int> on = Number(Fields(c.value)[0]);
        if (!on || (*on != 0 && *on != 1)) {
            return bad;
        }
        m_link.ccwa = *on == 1;
        return Result{};
    }
    if (c.name == "COPS" && c.set) {
        const std::vector<std::string_view> fields = Fields(c.value);
        return fields.size() == 2 && fields[0] == "3" && fields[1] == "0" ? Result{} : bad;
    }
    if (c.name == "COPS" && c.read) {
        Send(Indicator(AgIndicator::Service) == 0 ? std::string("+COPS: 0")
                                                  : "+COPS: 0,0,\"" + LinkText(m_operator) + "\"",
             out);
        return Result{};
    }
    if (c.name == "CNUM" && c.rest.empty()) {
        Send("+CNUM: ," + NumberAndType(m_settings.ownNumber) + ",,4", out);
        return Result{};
    }
    if ((c.name == "VGS" || c.name == "VGM") && (c.set || c.read)) {
        int& gain = c.name == "VGS" ? m_speakerGain : m_micGain;
        if (c.read) {
            Send("+" + std::string(c.name) + ": " + std::to_string(gain), out);
            return Result{};
        }
        if (c.number < 0 || c.number > kMaxGain) {
            return bad;
        }
        gain = c.number;
        return Result{};
    }
    return std::nullopt;
}

void AgEngine::Completed() {
    if (m_link.brsf) {
        m_link.slc = true;
    }
}

std::string AgEngine::CindValues() const {
    std::string text;
    for (const int value : m_indicators) {
        text += (text.empty() ? "" : ",") + std::to_string(value);
    }
    return text;
}

// The phone

void AgEngine::SetIndicator(AgIndicator which, int value, std::vector<AgLine>& out) {
    int& current = m_indicators[Slot(which)];
    if (current == value) {
        return;
    }
    current = value;
    if (m_link.indicatorEvents && m_link.active[Slot(which)]) {
        Send("+CIEV: " + std::to_string(Slot(which) + 1) + "," + std::to_string(value), out);
    }
}

void AgEngine::CallIndicators(const std::vector<Call>& calls, std::vector<AgLine>& out) {
    const bool active = Has(calls, CallState::Active);
    const bool held = Has(calls, CallState::Held);
    int setup = 0;
    if (Has(calls, CallState::Incoming) || Has(calls, CallState::Waiting)) {
        setup = 1;
    } else if (Has(calls, CallState::Dialing)) {
        setup = 2;
    } else if (Has(calls, CallState::Alerting)) {
        setup = 3;
    }
    const int heldValue = held ? (active ? 1 : 2) : 0;
    SetIndicator(AgIndicator::Call, active || held ? 1 : 0, out);
    SetIndicator(AgIndicator::CallSetup, setup, out);
    if (heldValue == 1 && Indicator(AgIndicator::CallHeld) == 1 &&
        HeldIds(calls) != HeldIds(m_calls) && m_link.indicatorEvents) {
        // Active and held calls swapped: the HF hears callheld 1 again.
        Send("+CIEV: " + std::to_string(Slot(AgIndicator::CallHeld) + 1) + ",1", out);
    }
    SetIndicator(AgIndicator::CallHeld, heldValue, out);
}

void AgEngine::VolumeChanged(bool speaker, int gain, std::vector<AgLine>& out) {
    if (gain < 0 || gain > kMaxGain) {
        return;
    }
    (speaker ? m_speakerGain : m_micGain) = gain;
    if (m_link.slc && (m_link.hfFeatures & kHfRemoteVolume) != 0) {
        Send(std::string(speaker ? "+VGS: " : "+VGM: ") + std::to_string(gain), out);
    }
}

void AgEngine::PhoneChanged(const std::vector<HfSignal>& signals, const std::vector<Call>& calls,
                            std::vector<AgLine>& out) {
    CallIndicators(calls, out);
    m_calls = calls;
    for (const HfSignal& signal : signals) {
        switch (signal.code) {
        case HfCode::Incoming:
            if (m_link.slc && Has(calls, CallState::Incoming)) {
                Send("RING", out);
            }
            break;
        case HfCode::IncomingNumber:
            if (m_link.slc && m_link.clip && Has(calls, CallState::Incoming)) {
                Send("+CLIP: " + NumberAndType(signal.text), out);
            }
            break;
        case HfCode::Waiting:
            if (m_link.slc && m_link.ccwa) {
                Send("+CCWA: " + NumberAndType(signal.text) + ",1", out);
            }
            break;
        case HfCode::ServiceOn:
        case HfCode::ServiceOff:
            SetIndicator(AgIndicator::Service, signal.code == HfCode::ServiceOn ? 1 : 0, out);
            break;
        case HfCode::Roaming:
        case HfCode::Home:
            SetIndicator(AgIndicator::Roam, signal.code == HfCode::Roaming ? 1 : 0, out);
            break;
        case HfCode::Signal:
            SetIndicator(AgIndicator::Signal, std::min<int>(signal.level, kMaxIndicatorLevel), out);
            break;
        case HfCode::Battery:
            SetIndicator(AgIndicator::BattChg, std::min<int>(signal.level, kMaxIndicatorLevel),
                         out);
            break;
        case HfCode::OperatorText:
            m_operator = signal.text;
            break;
        default:
            break;
        }
    }
}

} // namespace kobalt::sim
