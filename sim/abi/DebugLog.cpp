#include "sim/abi/DebugLog.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace kobalt::sim {
namespace {

struct Decoded {
    char32_t cp;
    std::size_t length;
};

// The code point at the start of `text` when it is well-formed UTF-8 (no overlong forms, no
// surrogates, at most U+10FFFF).
std::optional<Decoded> DecodeOne(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        return Decoded{lead, 1};
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() < length) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = cp << 6 | (byte(i) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return std::nullopt;
    }
    return Decoded{cp, length};
}

// C1 controls, the Unicode format characters (category Cf) and the line and paragraph
// separators: each may reorder, hide or break what a terminal shows.
bool IsInvisibleControl(char32_t cp) {
    struct Range {
        char32_t first;
        char32_t last;
    };
    static constexpr Range kRanges[] = {
        {0x0080, 0x009F},   {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},
        {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},
        {0x180E, 0x180E},   {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x2064},
        {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
        {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
        {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
    };
    for (const Range& range : kRanges) {
        if (cp >= range.first && cp <= range.last) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string EscapeForTerminal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char escape[16];
    while (!text.empty()) {
        const std::optional<Decoded> decoded = DecodeOne(text);
        if (!decoded || decoded->cp < 0x20 || decoded->cp == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[0]));
            out += escape;
            text.remove_prefix(1);
            continue;
        }
        if (IsInvisibleControl(decoded->cp)) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(decoded->cp));
            out += escape;
        } else {
            out += text.substr(0, decoded->length);
        }
        text.remove_prefix(decoded->length);
    }
    return out;
}

void DebugLog::Write(std::string_view message) {
    std::string line = EscapeForTerminal(message);
    const std::string out = std::string(kPrefix) + line + "\n";
    const bool taken = m_live && m_live(std::string_view(out).substr(0, out.size() - 1));
    std::lock_guard lock(m_mutex);
    ssize_t written = 0;
    while (!taken && (written = ::write(STDERR_FILENO, out.data(), out.size())) < 0 &&
           errno == EINTR) {
    }
    m_lines.push_back(std::move(line));
    if (m_lines.size() > kKept) {
        m_lines.pop_front();
    }
}

std::vector<std::string> DebugLog::Lines() const {
    std::lock_guard lock(m_mutex);
    return {m_lines.begin(), m_lines.end()};
}

} // namespace kobalt::sim
