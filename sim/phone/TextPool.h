// Texts handed to callbacks (numbers, operator texts, call-list lines) must outlive the event:
// each distinct text gets one NUL-terminated slot that lives as long as the pool, so memory
// grows only with the number of distinct texts, however many events carry them.
// Not thread-safe; the phone uses it under its lock.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>

namespace kobalt::sim {

class TextPool {
public:
    const char* Intern(std::string_view text);
    std::size_t Size() const { return m_texts.size(); }

private:
    std::set<std::string, std::less<>> m_texts; // nodes never move, so c_str() stays valid
};

} // namespace kobalt::sim
