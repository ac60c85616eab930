// The library's diagnostics: a bad environment, a malformed world file, a control socket that
// cannot be opened. The library cannot reach the console's debug output, so each line goes to
// stderr as "[KOBALT.sim] message" and the latest are kept for the control command `log`.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

class DebugLog {
public:
    static constexpr std::size_t kKept = 256; // older lines are dropped from the kept ones
    static constexpr std::string_view kPrefix = "[KOBALT.sim] ";

    // Writes one line (a newline in `message` is shown as a blank) with one write on stderr.
    void Write(std::string_view message);

    // The kept messages, oldest first, without the prefix.
    std::vector<std::string> Lines() const;

private:
    mutable std::mutex m_mutex;      // guards m_lines
    std::deque<std::string> m_lines; // at most kKept
};

} // namespace kobalt::sim
