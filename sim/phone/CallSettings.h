// How the far ends of the phone's calls behave, from the world file's `phone` records.
#pragma once

#include <chrono>

namespace kobalt::sim {

enum class FarEndAnswer {
    Auto,   // the called party answers after kFarEndAnswerDelay
    Manual, // the called party answers only on the control command `accept`
};

struct CallSettings {
    FarEndAnswer answer = FarEndAnswer::Auto;
    std::chrono::seconds ringTime{30}; // an incoming or waiting call unanswered this long is missed
};

// Longest ring time the world file accepts: an hour is already no realistic caller.
inline constexpr std::chrono::seconds kMaxRingTime{3600};

} // namespace kobalt::sim
