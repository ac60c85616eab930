// Internal to the platform: the one clock that every wait, sleep and tick count follows.
//
// Device time runs at real time divided by the time scale (KOBALT_TIME_SCALE, default 1), so a
// scale of 0.01 lets a 2000 ms time-out pass in 20 ms of real time. Code keeps its literal
// device durations and converts them here.
#pragma once

#include "platform/Windows.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kobalt::platform {

using RealClock = std::chrono::steady_clock;

// Real seconds per device second. Read from KOBALT_TIME_SCALE during static initialisation by
// common/TimeScale.h's rule: unset means 1; a value outside 0.00001..1000 or not a number means 1
// and a message on stderr and the debug output.
double TimeScale();

// Changes the scale at run time (tests). A value outside the accepted range is ignored. Tick
// counts stay continuous across the change; waits already under way keep the deadline they
// computed.
void SetTimeScale(double scale);

// The real duration of `ms` device milliseconds; RealClock::duration::max() for INFINITE.
// Finite values are capped far below the clock's range, so adding them to now() is safe.
RealClock::duration ScaledRealDuration(DWORD ms);

// The real time at which a wait of `ms` device milliseconds, starting now, ends;
// RealClock::time_point::max() for INFINITE.
RealClock::time_point DeadlineAfter(DWORD ms);

// Waits on `cv` until `ready()` holds or the deadline passes; returns `ready()`.
template <class Predicate>
bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
               RealClock::time_point deadline, Predicate ready) {
    if (deadline == RealClock::time_point::max()) {
        cv.wait(lock, ready);
        return true;
    }
    return cv.wait_until(lock, deadline, ready);
}

} // namespace kobalt::platform
