// Runs with KOBALT_TIME_SCALE=0.01 in its environment (see CMakeLists.txt).
#include "platform/DeviceServices.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(TimeScaleEnvironmentTest, TheEnvironmentSpeedsUpTheClock) {
    ASSERT_DOUBLE_EQ(kobalt::device::TimeScale(), 0.01);
    const auto realBefore = std::chrono::steady_clock::now();
    const DWORD ticksBefore = GetTickCount();
    Sleep(2000);
    EXPECT_GE(GetTickCount() - ticksBefore, 1999u);
    EXPECT_LT(std::chrono::steady_clock::now() - realBefore, std::chrono::milliseconds(1500));
}

} // namespace
