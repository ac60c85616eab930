// Plays random operator input against the console, reproducible from a seed, on a thread of
// its own and through the desktop only; drives the simulated phone through its control socket
// and the device's power. Watches that the console settles after every input and that every
// SDK callback is handled, in order (EventLedger); quits the console at the end.
#pragma once

#include "frontend/monkey/EventLedger.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace kobalt::monkey {

// Also the process's exit status.
enum class MonkeyStatus {
    Passed = 0,
    LostEvent = 1,       // the events handled differ from the callbacks the SDK made
    ConsoleStuck = 3,    // the console did not settle after an input, or did not end
    ConsoleEnded = 4,    // the console ended before the monkey quit it, or left windows
    TraceUnreadable = 5, // the SDK's trace could not be read, so no event can be accounted for
};

struct MonkeyOptions {
    std::uint64_t seed = 0;
    std::uint64_t steps = 0;          // 0: no limit (then `duration` limits)
    std::chrono::seconds duration{0}; // 0: no limit
    // Real time an input may take to be handled before the watchdog fires; scaled by the
    // build's sanitizer slowness.
    std::chrono::milliseconds settleBound{10000};
    std::function<void(std::string_view)> out; // the summary; standard output when empty
    std::function<void(std::string_view)> err; // failures; standard error when empty
    // Called on the monkey's thread when the console is stuck: the process must end from here.
    std::function<void(MonkeyStatus)> onConsoleStuck;
};

// How much slower this build runs than a plain one (sanitizers).
int SanitizerSlowness();

class MonkeyRunner {
public:
    // Call before the SDK library is loaded: points the simulated SDK's trace at a file the
    // ledger reads (a private one unless KOBALT_SIM_TRACE is set) and starts collecting the
    // events the console's handlers report.
    explicit MonkeyRunner(MonkeyOptions options);
    ~MonkeyRunner();
    MonkeyRunner(const MonkeyRunner&) = delete;
    MonkeyRunner& operator=(const MonkeyRunner&) = delete;

    void Start();
    void NotifyConsoleEnded();
    MonkeyStatus Wait();

private:
    struct Run;

    MonkeyOptions m_options;
    std::string m_tracePath;
    std::string m_traceFolder; // the private folder made for the trace; empty when given one
    std::uint64_t m_traceOffset = 0;
    std::atomic<bool> m_consoleEnded{false};
    MonkeyStatus m_status = MonkeyStatus::Passed; // written by the thread, read after joining
    std::thread m_thread;
};

} // namespace kobalt::monkey
