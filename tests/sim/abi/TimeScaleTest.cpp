#include "sim/abi/TimeScale.h"

#include <gtest/gtest.h>

namespace kobalt::sim {
namespace {

TEST(TimeScale, AcceptsFactorsAboveZeroUpToTheLimitAndIgnoresTheRest) {
    struct Row {
        const char* text;
        double scale;
        bool reported;
    };
    const Row rows[] = {
        {nullptr, 1, false},
        {"", 1, false},
        {"0.01", 0.01, false},
        {"1000", 1000, false},
        {"2e-3", 0.002, false},
        {"0", 1, true},
        {"-1", 1, true},
        {"1001", 1, true},
        {"fast", 1, true},
        {"0.5x", 1, true},
        {"nan", 1, true},
        {"inf", 1, true},
        // The console reads the same rule: below the minimum (a subnormal among them) or far
        // above the maximum is refused on both sides alike.
        {"0.00001", 0.00001, false},
        {"0.000009", 1, true},
        {"1e-310", 1, true},
        {"5000", 1, true},
        {"1e300", 1, true},
        {" 0.5", 1, true},
        {"0x1p-3", 1, true},
    };
    for (const Row& row : rows) {
        std::string problem;
        EXPECT_DOUBLE_EQ(ParseTimeScale(row.text, problem), row.scale)
            << (row.text ? row.text : "null");
        EXPECT_EQ(!problem.empty(), row.reported) << (row.text ? row.text : "null");
    }
}

} // namespace
} // namespace kobalt::sim
