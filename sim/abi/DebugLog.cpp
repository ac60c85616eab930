#include "sim/abi/DebugLog.h"

#include "common/Utf8.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <unistd.h>
#include <utf8proc.h>

namespace kobalt::sim {
namespace {

// C1 controls, the Unicode format characters (category Cf) and the line and paragraph
// separators: each may reorder, hide or break what a terminal shows.
bool IsInvisibleControl(char32_t cp) {
    switch (utf8proc_category(static_cast<utf8proc_int32_t>(cp))) {
    case UTF8PROC_CATEGORY_CC:
    case UTF8PROC_CATEGORY_CF:
    case UTF8PROC_CATEGORY_ZL:
    case UTF8PROC_CATEGORY_ZP:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string EscapeForTerminal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char escape[16];
    while (!text.empty()) {
        const std::optional<common::Utf8Char> decoded = common::DecodeUtf8(text);
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
