// Power notifications delivered to registered message queues.
#include "QueueTestSupport.h"
#include "platform/DeviceServices.h"
#include "platform/NamedQueue.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

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

// Sends `bytes` as one datagram straight to the reading end of `queue`, as any process of the
// user could.
bool SendRaw(HANDLE queue, const std::vector<std::uint8_t>& bytes) {
    const auto info = kobalt::platform::DescribeMsgQueue(queue);
    if (!info) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", info->socketPath.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool sent = fd >= 0 && ::sendto(fd, bytes.data(), bytes.size(), 0,
                                          reinterpret_cast<const sockaddr*>(&address),
                                          sizeof address) == static_cast<ssize_t>(bytes.size());
    if (fd >= 0) {
        ::close(fd);
    }
    return sent;
}

std::vector<std::uint8_t> Framed(std::uint32_t size, std::uint32_t claimed) {
    std::vector<std::uint8_t> bytes(sizeof(kobalt::platform::MsgQueueFrame) + size, 0x5A);
    const kobalt::platform::MsgQueueFrame frame{kobalt::platform::kMsgQueueFrameMagic, claimed};
    std::memcpy(bytes.data(), &frame, sizeof frame);
    return bytes;
}

// Only what WriteMsgQueue could have written is read: datagrams sent straight to the socket that
// are too large for the queue or not framed as messages are dropped and counted, and the
// notification behind them still arrives.
TEST_F(PowerTest, ForeignDatagramsNeverReachTheReader) {
    HANDLE queue = OpenQueue(UniqueQueueName("power-raw"), Access::Read, nullptr, 0, 44);
    HANDLE request = RequestPowerNotifications(queue, PBT_TRANSITION);
    ASSERT_NE(request, nullptr);
    POWER_BROADCAST lookalike{PBT_TRANSITION, POWER_STATE_ON, 0, {0}};
    std::vector<std::uint8_t> unframed(12);
    std::memcpy(unframed.data(), &lookalike, unframed.size());
    const std::vector<std::vector<std::uint8_t>> foreign = {
        std::vector<std::uint8_t>(300, 0xEE), // larger than the queue's largest message
        unframed,                             // the size of a notification, but no frame
        Framed(100, 100),                     // framed, but larger than the queue allows
        Framed(8, 12),                        // a frame that claims more than it carries
        {},                                   // empty
    };
    for (const auto& datagram : foreign) {
        ASSERT_TRUE(SendRaw(queue, datagram));
    }
    PowerTransition(POWER_STATE_SUSPEND);
    const Broadcast got = NextBroadcast(queue);
    ASSERT_TRUE(got.received) << GetLastError();
    EXPECT_EQ(got.size, offsetof(POWER_BROADCAST, SystemPowerState));
    EXPECT_EQ(got.record.Flags, static_cast<DWORD>(POWER_STATE_SUSPEND));
    EXPECT_EQ(kobalt::platform::DescribeMsgQueue(queue)->discarded, foreign.size());
    EXPECT_FALSE(NextBroadcast(queue).received);
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_TRUE(StopPowerNotifications(request));
    CloseMsgQueue(queue);
}

// The shared state file can be rewritten by any process of the user. A reader handle opened
// after its largest size was raised must still judge datagrams by the room its reading end
// was set up with, never look past it.
TEST_F(PowerTest, ARaisedLargestSizeInTheStateFileIsNotTrusted) {
    const std::u16string name = UniqueQueueName("power-tampered");
    HANDLE first = OpenQueue(name, Access::Read, nullptr, 0, 44);
    ASSERT_NE(first, nullptr);
    std::string statePath = kobalt::platform::DescribeMsgQueue(first)->socketPath;
    statePath.replace(statePath.size() - 5, 5, ".q");
    const int fd = ::open(statePath.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::uint32_t raised = 1000;
    ASSERT_EQ(::pwrite(fd, &raised, sizeof raised, 8), static_cast<ssize_t>(sizeof raised));
    ::close(fd);
    HANDLE second = OpenQueue(name, Access::Read, nullptr, 0, 44);
    ASSERT_NE(second, nullptr);

    ASSERT_TRUE(SendRaw(second, Framed(500, 500)));
    std::vector<std::uint8_t> buffer(1000);
    DWORD read = 0;
    DWORD flags = 0;
    EXPECT_FALSE(ReadMsgQueue(second, buffer.data(), 1000, &read, 0, &flags));
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_EQ(kobalt::platform::DescribeMsgQueue(second)->discarded, 1u);
    CloseMsgQueue(second);
    CloseMsgQueue(first);
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
