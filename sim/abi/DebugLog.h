// The library's diagnostics: a bad environment, a malformed world file, a control socket that
// cannot be opened. The library cannot reach the console's debug output, so each line goes to
// stderr as "[KOBALT.sim] message" (or, when the loader takes the live trace, into it, so that
// a full-screen terminal is not written over) and the latest are kept for the control command
// `log`.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

// `text` safe to show on a terminal: control characters (C0, DEL) and
// bytes that are not valid UTF-8 become \xNN, C1 controls, Unicode format characters (bidi
// overrides, zero-width ones, ...) and the line and paragraph separators become \uNNNN (\u and
// five or six digits above U+FFFF). Everything else passes unchanged.
std::string EscapeForTerminal(std::string_view text);

class DebugLog {
public:
    static constexpr std::size_t kKept = 256; // older lines are dropped from the kept ones
    static constexpr std::string_view kPrefix = "[KOBALT.sim] ";

    // Writes one line with one write on stderr. Messages carry texts from outside (file names,
    // vCard names), so the line is EscapeForTerminal(message): a newline in it shows as \x0a.
    void Write(std::string_view message);

    // Where lines go instead of stderr: `live` gets the prefixed line and answers whether it
    // took it. Set once, before any other thread of the library writes.
    void SetLive(std::function<bool(std::string_view)> live) { m_live = std::move(live); }

    // The kept messages, oldest first, escaped, without the prefix.
    std::vector<std::string> Lines() const;

private:
    mutable std::mutex m_mutex;      // guards m_lines
    std::deque<std::string> m_lines; // at most kKept
    std::function<bool(std::string_view)> m_live;
};

} // namespace kobalt::sim
