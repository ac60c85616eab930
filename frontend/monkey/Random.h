// The monkey's source of randomness: SplitMix64, so one seed plays the same inputs on every
// machine and standard library (std distributions are implementation-defined).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kobalt::monkey {

class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1; 0 when n is 0.
    std::size_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(Next() % n); }
    // True `percent` times in a hundred.
    bool Percent(unsigned percent) { return Below(100) < percent; }
    template <class T, std::size_t N> const T& Pick(const T (&items)[N]) { return items[Below(N)]; }

private:
    std::uint64_t m_state;
};

} // namespace kobalt::monkey
