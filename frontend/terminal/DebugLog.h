// The console's debug output as the debug view reads it.
//
// The platform's debug sink appends every line as it is written (on the writing thread); the
// front end copies out only the lines it shows, so a long run costs nothing per frame.
#pragma once

#include "frontend/terminal/Renderer.h"

#include <mutex>
#include <string>
#include <vector>

namespace kobalt::terminal {

class DebugLog {
public:
    void Append(const std::u16string& line);
    std::size_t Count() const;
    // The lines a view of `rows` rows shows when scrolled `back` lines from the newest: newest
    // last, oldest first when they all fit.
    DebugWindow Window(int rows, std::size_t back) const;

private:
    mutable std::mutex m_lock;
    std::vector<std::u16string> m_lines; // oldest first
};

} // namespace kobalt::terminal
