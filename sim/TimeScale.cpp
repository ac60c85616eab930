#include "sim/TimeScale.h"

#include <cerrno>
#include <cstdlib>

namespace kobalt::sim {

double ParseTimeScale(const char* text, std::string& problem) {
    if (text == nullptr || *text == '\0') {
        return 1.0;
    }
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(value > 0.0 && value <= kMaxTimeScale)) {
        problem = std::string("KOBALT_TIME_SCALE=") + text +
                  " is not a number above 0 and at most 1000; delays are not scaled";
        return 1.0;
    }
    return value;
}

} // namespace kobalt::sim
