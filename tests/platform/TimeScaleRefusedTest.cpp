// Runs with KOBALT_TIME_SCALE=1e-310 (see CMakeLists.txt): a subnormal factor, refused.
#include "platform/DeviceServices.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TimeScaleRefusedTest, ARefusedScaleRunsTheClockAtOneAndSaysSo) {
    EXPECT_DOUBLE_EQ(kobalt::device::TimeScale(), 1.0);
    bool reported = false;
    for (const std::u16string& line : kobalt::device::DebugLines()) {
        reported = reported || line.find(u"KOBALT_TIME_SCALE=1e-310") != std::u16string::npos;
    }
    EXPECT_TRUE(reported);
    // At 1, a short sleep advances the count by about as much, not by an absurd amount.
    const DWORD before = GetTickCount();
    Sleep(20);
    const DWORD elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 19u);
    EXPECT_LT(elapsed, 20000u);
}

} // namespace
