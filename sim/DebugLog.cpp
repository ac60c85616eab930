#include "sim/DebugLog.h"

#include <cerrno>
#include <unistd.h>

namespace kobalt::sim {

void DebugLog::Write(std::string_view message) {
    std::string line(message);
    for (char& c : line) {
        c = (c == '\n' || c == '\r') ? ' ' : c;
    }
    const std::string out = std::string(kPrefix) + line + "\n";
    std::lock_guard lock(m_mutex);
    ssize_t written = 0;
    do {
        written = ::write(STDERR_FILENO, out.data(), out.size());
    } while (written < 0 && errno == EINTR);
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
