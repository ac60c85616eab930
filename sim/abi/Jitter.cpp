#include "sim/abi/Jitter.h"

#include <array>
#include <charconv>
#include <chrono>
#include <string_view>
#include <thread>

namespace kobalt::sim {
namespace {

// splitmix64: small, well mixed, and the same sequence on every platform.
uint64_t Mix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

struct Sequence {
    uint32_t generation = 0; // 0: not started
    uint64_t state = 0;
};

template <class T> bool ParseNumber(std::string_view text, T& value) {
    if (text.empty()) {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

std::optional<JitterSetting> ParseJitter(const char* text, std::string& problem) {
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    const std::string_view all(text);
    const std::size_t colon = all.find(':');
    JitterSetting setting;
    if (colon == std::string_view::npos || !ParseNumber(all.substr(0, colon), setting.seed) ||
        !ParseNumber(all.substr(colon + 1), setting.maxMs) || setting.maxMs > kMaxJitterMs) {
        problem = "KOBALT_SIM_JITTER: \"" + std::string(all) +
                  "\" is not SEED:MAXMS (MAXMS at most " + std::to_string(kMaxJitterMs) +
                  "); no jitter";
        return std::nullopt;
    }
    return setting;
}

void Jitter::Configure(JitterSetting setting) {
    m_seed.store(setting.seed, std::memory_order_relaxed);
    m_maxMs.store(setting.maxMs, std::memory_order_relaxed);
    m_generation.fetch_add(1, std::memory_order_release);
}

uint32_t Jitter::Draw(JitterPoint point) {
    const uint32_t maxMs = m_maxMs.load(std::memory_order_relaxed);
    if (maxMs == 0) {
        return 0;
    }
    thread_local std::array<Sequence, kJitterPointCount> sequences;
    Sequence& sequence = sequences[static_cast<std::size_t>(point)];
    const uint32_t generation = m_generation.load(std::memory_order_acquire);
    if (sequence.generation != generation) {
        sequence.generation = generation;
        sequence.state = m_seed.load(std::memory_order_relaxed) * 4 + static_cast<uint64_t>(point);
    }
    return static_cast<uint32_t>(Mix(sequence.state) % (uint64_t{maxMs} + 1));
}

void Jitter::Pause(JitterPoint point) {
    const uint32_t ms = Draw(point);
    if (ms == 0) {
        return;
    }
    m_pauses.fetch_add(1, std::memory_order_relaxed);
    m_pausedMs.fetch_add(ms, std::memory_order_relaxed);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Jitter& SimJitter() {
    static Jitter jitter;
    return jitter;
}

} // namespace kobalt::sim
