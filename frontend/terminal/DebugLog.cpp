#include "frontend/terminal/DebugLog.h"

#include <algorithm>

namespace kobalt::terminal {

void DebugLog::Append(const std::u16string& line) {
    std::lock_guard guard(m_lock);
    m_lines.push_back(line);
}

std::size_t DebugLog::Count() const {
    std::lock_guard guard(m_lock);
    return m_lines.size();
}

DebugWindow DebugLog::Window(int rows, std::size_t back) const {
    std::lock_guard guard(m_lock);
    DebugWindow window;
    window.total = m_lines.size();
    const std::size_t end = window.total - std::min(back, window.total);
    const auto shown = static_cast<std::size_t>(std::max(rows, 0));
    window.first = end > shown ? end - shown : 0;
    window.lines.assign(m_lines.begin() + static_cast<std::ptrdiff_t>(window.first),
                        m_lines.begin() + static_cast<std::ptrdiff_t>(end));
    return window;
}

} // namespace kobalt::terminal
