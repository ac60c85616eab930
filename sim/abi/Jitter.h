// KOBALT_SIM_JITTER=SEED:MAXMS: random pauses of 0..MAXMS ms in the library's threads, to shake
// out orderings a quiet machine never shows (a callback delivered after KOBALT_UnInit returned,
// a delayed step overtaking an entry point, a control command racing a callback).
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace kobalt::sim {

// Where a thread may pause. Each kind draws from its own sequence per thread, so the pauses of
// one thread do not depend on how often the others pause.
enum class JitterPoint : uint8_t {
    Callback,   // the event thread, after taking an event and before calling its callback
    Step,       // the radio thread, before each delayed step
    Control,    // the control thread, before each command
    EntryPoint, // the caller's thread, on entering an entry point and before it returns
};
inline constexpr int kJitterPointCount = 4;

// Pauses beyond this would stall the scripts' waits for good.
inline constexpr uint32_t kMaxJitterMs = 1000;

struct JitterSetting {
    uint64_t seed = 0;
    uint32_t maxMs = 0;
};

// "SEED:MAXMS" with SEED a decimal 64-bit number and MAXMS 0..kMaxJitterMs. Null or empty text
// gives no setting and no problem; anything else malformed gives none and a `problem`.
std::optional<JitterSetting> ParseJitter(const char* text, std::string& problem);

class Jitter {
public:
    // Takes effect for sequences a thread starts afterwards; maxMs 0 turns the pauses off.
    void Configure(JitterSetting setting);

    // Sleeps a random 0..maxMs ms, the next number of this thread's sequence for `point`.
    void Pause(JitterPoint point);

    // The pause Pause would take next on this thread, drawn without sleeping; 0 when off.
    uint32_t Draw(JitterPoint point);

    // Pauses of at least 1 ms taken so far, and their total in ms.
    uint64_t Pauses() const { return m_pauses.load(std::memory_order_relaxed); }
    uint64_t PausedMs() const { return m_pausedMs.load(std::memory_order_relaxed); }

private:
    std::atomic<uint64_t> m_seed{0};
    std::atomic<uint32_t> m_maxMs{0};
    std::atomic<uint32_t> m_generation{0}; // bumped by Configure, restarts the sequences
    std::atomic<uint64_t> m_pauses{0};
    std::atomic<uint64_t> m_pausedMs{0};
};

// The library's one instance, off until the library reads KOBALT_SIM_JITTER.
Jitter& SimJitter();

} // namespace kobalt::sim
