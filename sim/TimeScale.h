// KOBALT_TIME_SCALE: the factor applied to every delay of the simulated radio.
#pragma once

#include <string>

namespace kobalt::sim {

// Larger factors would overflow the clock's range for the longest delays.
inline constexpr double kMaxTimeScale = 1000.0;

// The factor in `text` (a decimal number above 0, at most kMaxTimeScale); 1 when `text` is null
// or empty. Any other value gives 1 and a `problem` to report.
double ParseTimeScale(const char* text, std::string& problem);

} // namespace kobalt::sim
