// The device clock: tick count, Sleep and the scaled durations every wait uses.
#include "platform/Clock.h"

#include "common/TimeScale.h"
#include "platform/DeviceServices.h"
#include "platform/InitOrder.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

namespace kobalt::platform {
namespace {

// A refused value is reported on stderr (read before any front end owns the terminal) and on
// the debug output, and the clock runs at 1.
double ScaleFromEnvironment() {
    const kobalt::common::TimeScaleSetting setting =
        kobalt::common::ParseTimeScale(std::getenv("KOBALT_TIME_SCALE"));
    if (!setting.problem.empty()) {
        const std::string line = "[KOBALT] " + setting.problem + "\n";
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
        const std::u16string wide(setting.problem.begin(), setting.problem.end());
        NKDbgPrintfW(u"[KOBALT] %s", wide.c_str());
    }
    return setting.scale;
}

// Tick count = m_baseTicks + (real elapsed since m_baseReal) / scale. A scale change moves the
// base to the present so the count never jumps.
struct ClockState {
    std::mutex m_lock;
    double m_scale = ScaleFromEnvironment();  // guarded by m_lock; mirrored in m_scaleCopy
    std::atomic<double> m_scaleCopy{m_scale}; // lock-free read for duration conversions
    RealClock::time_point m_baseReal = RealClock::now();
    double m_baseTicks = 0.0; // device milliseconds at m_baseReal

    double TicksLocked(RealClock::time_point now) const {
        const std::chrono::duration<double, std::milli> real = now - m_baseReal;
        return m_baseTicks + real.count() / m_scale;
    }
};

// Never destroyed: detached threads may still sleep or wait while the process exits.
ClockState& State() {
    static ClockState* state = new ClockState;
    return *state;
}

// Starts the tick count with the process rather than with the first caller.
struct ClockStarter {
    ClockStarter() { State(); }
};
KOBALT_INIT_ORDER(101) ClockStarter g_clockStarter;

// About thirty years: far beyond any wait, far inside the clock's range.
constexpr RealClock::duration kLongestFiniteWait = std::chrono::hours(24 * 365 * 30);

} // namespace

double TimeScale() {
    return State().m_scaleCopy.load(std::memory_order_relaxed);
}

void SetTimeScale(double scale) {
    if (!kobalt::common::TimeScaleInRange(scale)) {
        return;
    }
    ClockState& state = State();
    std::lock_guard guard(state.m_lock);
    const RealClock::time_point now = RealClock::now();
    state.m_baseTicks = state.TicksLocked(now);
    state.m_baseReal = now;
    state.m_scale = scale;
    state.m_scaleCopy.store(scale, std::memory_order_relaxed);
}

RealClock::duration ScaledRealDuration(DWORD ms) {
    if (ms == INFINITE) {
        return RealClock::duration::max();
    }
    const std::chrono::duration<double, std::milli> real(static_cast<double>(ms) * TimeScale());
    if (real >= kLongestFiniteWait) {
        return kLongestFiniteWait;
    }
    return std::chrono::duration_cast<RealClock::duration>(real);
}

RealClock::time_point DeadlineAfter(DWORD ms) {
    if (ms == INFINITE) {
        return RealClock::time_point::max();
    }
    return RealClock::now() + ScaledRealDuration(ms);
}

} // namespace kobalt::platform

double kobalt::device::TimeScale() {
    return kobalt::platform::TimeScale();
}

void kobalt::device::SleepDeviceTime(std::chrono::milliseconds duration) {
    constexpr std::chrono::milliseconds::rep kLongest = INFINITE - 1; // INFINITE never returns
    Sleep(static_cast<DWORD>(
        std::clamp<std::chrono::milliseconds::rep>(duration.count(), 0, kLongest)));
}

DWORD GetTickCount() {
    auto& state = kobalt::platform::State();
    std::lock_guard guard(state.m_lock);
    const double ticks = state.TicksLocked(kobalt::platform::RealClock::now());
    // The device's counter wraps after 49.7 days; so does this one. The remainder keeps the
    // conversion in range however long the process runs.
    return static_cast<DWORD>(std::fmod(ticks, 4294967296.0));
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    if (milliseconds == INFINITE) {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(24));
        }
    }
    std::this_thread::sleep_for(kobalt::platform::ScaledRealDuration(milliseconds));
}
