// KOBALT_TIME_SCALE: the factor applied to every delay of the simulated radio. The rule is the
// console's own (common/TimeScale.h), so both sides run at the same pace.
#pragma once

#include "common/TimeScale.h"

#include <string>

namespace kobalt::sim {

inline constexpr double kMaxTimeScale = kobalt::common::kMaxTimeScale;

// The factor in `text`; 1 when `text` is null or empty. A refused value gives 1 and a `problem`
// to report.
inline double ParseTimeScale(const char* text, std::string& problem) {
    kobalt::common::TimeScaleSetting setting = kobalt::common::ParseTimeScale(text);
    problem = std::move(setting.problem);
    return setting.scale;
}

} // namespace kobalt::sim
