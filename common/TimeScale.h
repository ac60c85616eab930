// KOBALT_TIME_SCALE: real seconds per device second, read alike by the console and the
// simulated SDK, so both run at the same pace or both at 1.
#pragma once

#include <string>

namespace kobalt::common {

// The accepted range. Below the minimum a tick count would outrun its arithmetic; above the
// maximum the longest delays would leave the clock's range.
inline constexpr double kMinTimeScale = 0.00001;
inline constexpr double kMaxTimeScale = 1000.0;

[[nodiscard]] bool TimeScaleInRange(double scale);

struct TimeScaleSetting {
    double scale = 1.0;
    std::string problem; // set when the text was refused; the scale is then 1
};

// A plain decimal number in [kMinTimeScale, kMaxTimeScale] ("0.01", "2", "1e-3"). Null or empty
// text means 1 without a problem; anything else outside the range means 1 with a problem.
[[nodiscard]] TimeScaleSetting ParseTimeScale(const char* text);

} // namespace kobalt::common
