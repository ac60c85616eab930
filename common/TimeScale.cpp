#include "common/TimeScale.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace kobalt::common {
namespace {

// The refused text as it may be shown on a terminal: printable ASCII only, at most 40 bytes.
std::string Shown(const char* text) {
    constexpr std::size_t kLongest = 40;
    std::string shown;
    for (const char* c = text; *c != '\0'; ++c) {
        if (shown.size() == kLongest) {
            shown += "...";
            break;
        }
        shown += (*c >= 0x20 && *c < 0x7F) ? *c : '?';
    }
    return shown;
}

} // namespace

bool TimeScaleInRange(double scale) {
    return std::isfinite(scale) && scale >= kMinTimeScale && scale <= kMaxTimeScale;
}

TimeScaleSetting ParseTimeScale(const char* text) {
    TimeScaleSetting setting;
    if (text == nullptr || *text == '\0') {
        return setting;
    }
    // strtod would skip leading blanks and read "inf", "nan" and hexadecimal; none is meant.
    const char first = *text;
    const bool plain = (first >= '0' && first <= '9') || first == '.';
    errno = 0;
    char* end = nullptr;
    const double value = plain ? std::strtod(text, &end) : 0.0;
    bool hex = false;
    for (const char* c = text; plain && c != end; ++c) {
        hex = hex || *c == 'x' || *c == 'X';
    }
    if (!plain || hex || errno != 0 || end == text || *end != '\0' || !TimeScaleInRange(value)) {
        setting.problem = "KOBALT_TIME_SCALE=" + Shown(text) +
                          " is not a number from 0.00001 to 1000; time is not scaled";
        return setting;
    }
    setting.scale = value;
    return setting;
}

} // namespace kobalt::common
