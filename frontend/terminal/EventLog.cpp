#include "frontend/terminal/EventLog.h"

#include "frontend/common/Utf8.h"
#include "frontend/terminal/TextCells.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kobalt::terminal {

namespace {

using namespace std::chrono_literals;

// How far back a line's own time may place it among lines already in the log: trace records
// arrive a little after the debug lines made at the same moment. Older times are taken as this
// old, so a hostile time cannot make an insertion walk the whole log.
constexpr auto kReorderWindow = 10s;

constexpr std::u16string_view kMarkCall = u"    ";
constexpr std::u16string_view kMarkFail = u"FAIL";
constexpr std::u16string_view kMarkDebug = u"dbg ";

void AppendHex(std::u16string& out, std::u16string_view prefix, char32_t value, int digits) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    out += prefix;
    int shown = digits;
    while (shown < 8 && (value >> (4 * shown)) != 0) {
        ++shown;
    }
    for (int i = shown - 1; i >= 0; --i) {
        out += kHex[(value >> (4 * i)) & 0xF];
    }
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
    switch (Classify(cp)) {
    case CharClass::Control:
        if (cp < 0x100) {
            AppendHex(out, u"\\x", cp, 2);
        } else {
            AppendHex(out, u"\\u", cp, 4);
        }
        return;
    case CharClass::Format:
        AppendHex(out, u"\\u", cp, 4);
        return;
    default:
        break;
    }
    frontend::AppendUtf16(out, cp);
}

void CutToLimit(std::u16string& text) {
    if (text.size() <= kEventLineLimit) {
        return;
    }
    std::size_t cut = kEventLineLimit - 1;
    if (cut > 0 && text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) {
        --cut; // keep surrogate pairs whole
    }
    text.resize(cut);
    text += u'\u2026';
}

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool MatchesAt(std::u16string_view line, std::size_t at, std::u16string_view pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (Lower(line[at + i]) != Lower(pattern[i])) {
            return false;
        }
    }
    return true;
}

bool Holds(std::u16string_view line, std::u16string_view pattern) {
    if (pattern.empty() || pattern.size() > line.size()) {
        return false;
    }
    for (std::size_t at = 0; at + pattern.size() <= line.size(); ++at) {
        if (MatchesAt(line, at, pattern)) {
            return true;
        }
    }
    return false;
}

enum class ResultKind { Code, Boolean, AudioStatus, Value };

// Entry points whose result is not a result code.
ResultKind KindOf(std::string_view name) {
    static constexpr std::pair<std::string_view, ResultKind> kKinds[] = {
        {"KOBALT_IsConnected", ResultKind::Boolean},
        {"KOBALT_HFAP_GetAudioStatus", ResultKind::AudioStatus},
        {"KOBALT_GetClientPort", ResultKind::Value},
        {"KOBALT_GetQRVMode", ResultKind::Value},
        {"KOBALT_IsPairDevice", ResultKind::Value},
        {"KOBALT_IsAutoConnectHF", ResultKind::Value},
        {"KOBALT_IsAutoAnswer", ResultKind::Value},
        {"KOBALT_IsA2DPEnable", ResultKind::Value},
        {"KOBALT_GetSpeakerVolume", ResultKind::Value},
        {"KOBALT_A2DP_SNK_GetDevVolume", ResultKind::Value},
        {"KOBALT_GetCurrentPhoneID", ResultKind::Value},
    };
    for (const auto& [entry, kind] : kKinds) {
        if (entry == name) {
            return kind;
        }
    }
    return ResultKind::Code;
}

bool WriteAll(int fd, const std::string& data) {
    const char* at = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        at += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

std::string LineUtf8(std::u16string_view text) {
    std::string out;
    while (!text.empty()) {
        const frontend::Utf16Char decoded = frontend::DecodeUtf16(text);
        frontend::AppendUtf8(out, decoded.cp);
        text.remove_prefix(decoded.length);
    }
    return out;
}

std::u16string EscapeEventText(std::string_view utf8) {
    std::u16string out;
    out.reserve(std::min(utf8.size(), kEventLineLimit + 1));
    std::size_t at = 0;
    while (at < utf8.size() && out.size() <= kEventLineLimit) {
        const std::optional<frontend::Utf8Char> decoded = frontend::DecodeUtf8(utf8.substr(at));
        if (!decoded) {
            AppendHex(out, u"\\x", static_cast<unsigned char>(utf8[at]), 2);
            ++at;
            continue;
        }
        AppendCodePoint(out, decoded->cp);
        at += decoded->length;
    }
    CutToLimit(out);
    return out;
}

std::u16string EscapeEventText(std::u16string_view text) {
    std::u16string out;
    out.reserve(std::min(text.size(), kEventLineLimit + 1));
    while (!text.empty() && out.size() <= kEventLineLimit) {
        const frontend::Utf16Char decoded = frontend::DecodeUtf16(text);
        if (frontend::IsSurrogate(decoded.cp)) {
            AppendHex(out, u"\\u", decoded.cp, 4); // a lone surrogate
        } else {
            AppendCodePoint(out, decoded.cp);
        }
        text.remove_prefix(decoded.length);
    }
    CutToLimit(out);
    return out;
}

bool IsFailedCall(std::string_view line) {
    if (line.substr(0, 7) != "KOBALT_") {
        return false;
    }
    const std::size_t open = line.find('(');
    const std::size_t equals = line.rfind(") = ");
    if (open == std::string_view::npos || equals == std::string_view::npos || equals < open) {
        return false;
    }
    const std::string_view digits = line.substr(equals + 4);
    long long result = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), result);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return false;
    }
    switch (KindOf(line.substr(0, open))) {
    case ResultKind::Code:
        return result != 0;
    case ResultKind::Boolean:
        return false;
    case ResultKind::AudioStatus:
        return result != 0 && result != 1;
    case ResultKind::Value:
        return result < 0;
    }
    return false;
}

std::vector<std::pair<std::size_t, std::size_t>> FindAll(std::u16string_view line,
                                                         std::u16string_view pattern) {
    std::vector<std::pair<std::size_t, std::size_t>> found;
    if (pattern.empty()) {
        return found;
    }
    for (std::size_t at = 0; at + pattern.size() <= line.size();) {
        if (MatchesAt(line, at, pattern)) {
            found.emplace_back(at, pattern.size());
            at += pattern.size();
        } else {
            ++at;
        }
    }
    return found;
}

EventLog::EventLog(std::size_t capacity)
    : m_capacity(std::max<std::size_t>(capacity, 1)), m_wallBase(std::chrono::system_clock::now()),
      m_steadyBase(Clock::now()) {}

std::u16string EventLog::Stamp(Clock::time_point when) const {
    const auto wall = m_wallBase + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                       when - m_steadyBase);
    const std::time_t seconds = std::chrono::system_clock::to_time_t(wall);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch()).count() %
        1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(millis < 0 ? millis + 1000 : millis));
    return std::u16string(text.data(), text.data() + std::strlen(text.data()));
}

void EventLog::AddTrace(Clock::time_point when, std::string_view line) {
    Add(when, IsFailedCall(line) ? kMarkFail : kMarkCall, EscapeEventText(line));
}

void EventLog::AddDebug(Clock::time_point when, std::u16string_view line) {
    Add(when, kMarkDebug, EscapeEventText(line));
}

void EventLog::Add(Clock::time_point when, std::u16string_view mark, std::u16string escaped) {
    const Clock::time_point now = Clock::now();
    when = std::clamp(when, now - kReorderWindow, now);
    std::u16string text = Stamp(when);
    text += u' ';
    text += mark;
    text += u' ';
    text += escaped;
    std::lock_guard guard(m_lock);
    // Newest last: a line made before lines already in the log goes before them.
    auto at = m_entries.end();
    while (at != m_entries.begin() && std::prev(at)->when > when) {
        --at;
    }
    m_entries.insert(at, Entry{when, std::move(text)});
    ++m_added;
    if (m_entries.size() > m_capacity) {
        m_entries.pop_front();
        ++m_dropped;
    }
}

std::size_t EventLog::Count() const {
    std::lock_guard guard(m_lock);
    return m_entries.size();
}

std::uint64_t EventLog::Version() const {
    std::lock_guard guard(m_lock);
    return m_added;
}

std::uint64_t EventLog::Dropped() const {
    std::lock_guard guard(m_lock);
    return m_dropped;
}

DebugWindow EventLog::Window(int rows, std::size_t back) const {
    std::lock_guard guard(m_lock);
    DebugWindow window;
    window.total = m_entries.size();
    const std::size_t end = window.total - std::min(back, window.total);
    const auto shown = static_cast<std::size_t>(std::max(rows, 0));
    window.first = end > shown ? end - shown : 0;
    for (std::size_t i = window.first; i < end; ++i) {
        window.lines.push_back(m_entries[i].text);
    }
    return window;
}

std::vector<std::u16string> EventLog::Lines() const {
    std::lock_guard guard(m_lock);
    std::vector<std::u16string> lines;
    lines.reserve(m_entries.size());
    for (const Entry& entry : m_entries) {
        lines.push_back(entry.text);
    }
    return lines;
}

std::optional<std::size_t> EventLog::Find(std::u16string_view pattern, std::size_t start,
                                          bool forward) const {
    std::lock_guard guard(m_lock);
    const std::size_t count = m_entries.size();
    if (count == 0 || pattern.empty()) {
        return std::nullopt;
    }
    std::size_t at = std::min(start, count - 1);
    for (std::size_t step = 0; step < count; ++step) {
        if (Holds(m_entries[at].text, pattern)) {
            return at;
        }
        at = forward ? (at + 1) % count : (at + count - 1) % count;
    }
    return std::nullopt;
}

EventLog::Saved EventLog::Save(const std::string& path) const {
    Saved saved;
    if (path.empty()) {
        saved.error = "no file named";
        return saved;
    }
    // Not truncated before it is known to be a regular file: a device must stay untouched.
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        saved.error = error == ELOOP ? "it is a symbolic link" : std::strerror(error);
        return saved;
    }
    struct stat info {};
    std::string text;
    for (const std::u16string& line : Lines()) {
        text += LineUtf8(line);
        text += '\n';
        ++saved.lines;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        saved.error = "not a regular file";
    } else if (::ftruncate(fd, 0) != 0 || ::fchmod(fd, 0600) != 0 || !WriteAll(fd, text)) {
        saved.error = std::strerror(errno);
    }
    if (::close(fd) != 0 && saved.error.empty()) {
        saved.error = std::strerror(errno);
    }
    saved.ok = saved.error.empty();
    return saved;
}

} // namespace kobalt::terminal
