#include "sim/Library.h"

#include <cstdio>
#include <cstdlib>

namespace kobalt::sim {

Library& Library::Instance() {
    static Library* const instance = new Library();
    return *instance;
}

Library::Library() : m_trace(std::getenv("KOBALT_SIM_TRACE")) {
    if (const char* fail = std::getenv("KOBALT_SIM_FAIL")) {
        for (const std::string& name : m_faults.FailAlwaysFromList(fail)) {
            std::fprintf(stderr, "KOBALT.dll: KOBALT_SIM_FAIL: no entry point named %s\n",
                         name.c_str());
        }
    }
}

} // namespace kobalt::sim
