#include "sim/abi/Jitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

namespace kobalt::sim {
namespace {

TEST(JitterTest, ParsesSeedAndMaximumOrReportsWhy) {
    struct Case {
        const char* text;
        bool valid;
        uint64_t seed;
        uint32_t maxMs;
    };
    const Case cases[] = {
        {"7:20", true, 7, 20},
        {"0:0", true, 0, 0},
        {"18446744073709551615:1000", true, UINT64_MAX, 1000},
        {"1:1001", false, 0, 0},
        {"18446744073709551616:5", false, 0, 0},
        {"7", false, 0, 0},
        {":5", false, 0, 0},
        {"7:", false, 0, 0},
        {"-1:5", false, 0, 0},
        {"7:-5", false, 0, 0},
        {"7:5:", false, 0, 0},
        {" 7:5", false, 0, 0},
        {"7:5x", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string problem;
        const auto setting = ParseJitter(c.text, problem);
        ASSERT_EQ(setting.has_value(), c.valid);
        EXPECT_EQ(problem.empty(), c.valid);
        if (c.valid) {
            EXPECT_EQ(setting->seed, c.seed);
            EXPECT_EQ(setting->maxMs, c.maxMs);
        } else {
            EXPECT_NE(problem.find("KOBALT_SIM_JITTER"), std::string::npos);
        }
    }
    for (const char* none : {static_cast<const char*>(nullptr), ""}) {
        std::string problem;
        EXPECT_FALSE(ParseJitter(none, problem).has_value());
        EXPECT_TRUE(problem.empty());
    }
}

std::vector<uint32_t> Draws(Jitter& jitter, JitterPoint point, int count) {
    std::vector<uint32_t> draws;
    for (int i = 0; i < count; ++i) {
        draws.push_back(jitter.Draw(point));
    }
    return draws;
}

// Each thread draws the same sequence for a point and seed, whatever other threads do; other
// seeds and other points draw other sequences; every draw lies within 0..MAXMS.
TEST(JitterTest, SequencesAreFixedPerSeedPointAndThread) {
    constexpr uint64_t kSeed = 20261208;
    std::printf("seed %llu\n", static_cast<unsigned long long>(kSeed));
    Jitter jitter;
    jitter.Configure({kSeed, 50});
    const std::vector<uint32_t> mine = Draws(jitter, JitterPoint::Callback, 200);
    std::vector<uint32_t> other;
    std::thread([&] {
        Draws(jitter, JitterPoint::Step, 17);
        other = Draws(jitter, JitterPoint::Callback, 200);
    }).join();
    EXPECT_EQ(mine, other);
    for (const uint32_t ms : mine) {
        EXPECT_LE(ms, 50u);
    }
    EXPECT_GT(*std::max_element(mine.begin(), mine.end()), 40u);

    std::vector<uint32_t> step;
    std::thread([&] { step = Draws(jitter, JitterPoint::Step, 200); }).join();
    EXPECT_NE(mine, step);

    // A new setting restarts the sequences of threads that already drew.
    jitter.Configure({kSeed + 1, 50});
    EXPECT_NE(Draws(jitter, JitterPoint::Callback, 200), mine);
    jitter.Configure({kSeed, 50});
    EXPECT_EQ(Draws(jitter, JitterPoint::Callback, 200), mine);
}

TEST(JitterTest, PausesSleepTheDrawnTimeAndNothingWhenOff) {
    Jitter jitter;
    jitter.Pause(JitterPoint::EntryPoint);
    EXPECT_EQ(jitter.Draw(JitterPoint::EntryPoint), 0u);
    EXPECT_EQ(jitter.Pauses(), 0u);

    jitter.Configure({3, 5});
    const std::vector<uint32_t> expected = Draws(jitter, JitterPoint::Control, 20);
    jitter.Configure({3, 5});
    uint64_t total = 0;
    uint64_t nonZero = 0;
    for (const uint32_t ms : expected) {
        total += ms;
        nonZero += ms != 0 ? 1 : 0;
    }
    ASSERT_GT(total, 0u);
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        jitter.Pause(JitterPoint::Control);
    }
    const auto slept = std::chrono::steady_clock::now() - start;
    // A sleep never ends early, so the drawn total is a lower bound of the time taken.
    EXPECT_GE(slept, std::chrono::milliseconds(total));
    EXPECT_EQ(jitter.Pauses(), nonZero);
    EXPECT_EQ(jitter.PausedMs(), total);

    jitter.Configure({3, 0});
    jitter.Pause(JitterPoint::Control);
    EXPECT_EQ(jitter.Pauses(), nonZero);
}

} // namespace
} // namespace kobalt::sim
