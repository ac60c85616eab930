// Power notifications delivered to registered message queues.
#include "QueueTestSupport.h"
#include "platform/Device.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

using kobalt::device::CurrentPowerState;
using kobalt::device::PowerState;
using kobalt::device::PowerTransition;
using kobalt::test::Access;
using kobalt::test::OpenQueue;
using kobalt::test::UniqueQueueName;

struct Broadcast {
    bool received = false;
    DWORD size = 0;
    POWER_BROADCAST record{};
};

Broadcast NextBroadcast(HANDLE queue) {
    Broadcast result;
    alignas(POWER_BROADCAST) BYTE buffer[220] = {};
    DWORD flags = 0;
    result.received = ReadMsgQueue(queue, buffer, sizeof buffer, &result.size, 0, &flags) != FALSE;
    std::memcpy(&result.record, buffer, sizeof result.record);
    return result;
}

class PowerTest : public ::testing::Test {
protected:
    void TearDown() override { PowerTransition(POWER_STATE_ON); }
};

TEST_F(PowerTest, TransitionsReachRegisteredQueuesAndSetTheState) {
    HANDLE queue = OpenQueue(UniqueQueueName("power"), Access::Read);
    HANDLE request = RequestPowerNotifications(queue, PBT_TRANSITION);
    ASSERT_NE(request, nullptr);
    const struct {
        DWORD flags;
        PowerState state;
    } steps[] = {
        {POWER_STATE_SUSPEND, PowerState::Suspended},
        {POWER_STATE_ON, PowerState::On},
        {POWER_STATE_SUSPEND | 0x1234, PowerState::Suspended},
        {POWER_STATE_IDLE, PowerState::Suspended},
        {POWER_STATE_ON | 0x0001, PowerState::On},
    };
    for (const auto& step : steps) {
        PowerTransition(step.flags);
        const Broadcast got = NextBroadcast(queue);
        ASSERT_TRUE(got.received) << std::hex << step.flags;
        EXPECT_EQ(got.size, offsetof(POWER_BROADCAST, SystemPowerState));
        EXPECT_EQ(got.record.Message, PBT_TRANSITION);
        EXPECT_EQ(got.record.Flags, step.flags);
        EXPECT_EQ(got.record.Length, 0u);
        EXPECT_EQ(CurrentPowerState(), step.state) << std::hex << step.flags;
    }
    EXPECT_TRUE(StopPowerNotifications(request));
    PowerTransition(POWER_STATE_SUSPEND);
    EXPECT_FALSE(NextBroadcast(queue).received);
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_FALSE(StopPowerNotifications(request));
    CloseMsgQueue(queue);
}

TEST_F(PowerTest, OnlyRequestedMessagesAreDelivered) {
    HANDLE queue = OpenQueue(UniqueQueueName("power-resume"), Access::Read);
    HANDLE request = RequestPowerNotifications(queue, PBT_RESUME);
    ASSERT_NE(request, nullptr);
    PowerTransition(POWER_STATE_SUSPEND);
    EXPECT_FALSE(NextBroadcast(queue).received);
    StopPowerNotifications(request);
    CloseMsgQueue(queue);
}

// The monitor closes its queue before it stops the notifications; the name goes with the stop.
TEST_F(PowerTest, TheRequestKeepsTheNameUntilItStops) {
    const auto name = UniqueQueueName("power-order");
    HANDLE queue = OpenQueue(name, Access::Read);
    HANDLE request = RequestPowerNotifications(queue, PBT_TRANSITION);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CloseMsgQueue(queue);
    PowerTransition(POWER_STATE_SUSPEND); // nobody reads: dropped without blocking
    EXPECT_TRUE(StopPowerNotifications(request));
    DWORD error = 0;
    HANDLE again = OpenQueue(name, Access::Write, &error);
    EXPECT_EQ(error, ERROR_SUCCESS);
    CloseMsgQueue(again);
}

TEST_F(PowerTest, RequestsNeedAMessageQueue) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (HANDLE notAQueue : {static_cast<HANDLE>(nullptr), event}) {
        SetLastError(0);
        EXPECT_EQ(RequestPowerNotifications(notAQueue, PBT_TRANSITION), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_FALSE(StopPowerNotifications(event));
    EXPECT_TRUE(CloseHandle(event));
}

} // namespace
