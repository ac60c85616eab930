// Threads, events, waits and the scaled clock.
#include "Patience.h"
#include "common/TimeScale.h"
#include "platform/Clock.h"
#include "platform/DeviceServices.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <vector>

namespace {

using std::chrono::milliseconds;
using RealClock = kobalt::platform::RealClock;

using kobalt::test::kPatience;

// Runs device time a hundred times faster than real time for the test's duration.
class ScaledTimeTest : public ::testing::Test {
protected:
    void SetUp() override { kobalt::platform::SetTimeScale(0.01); }
    void TearDown() override { kobalt::platform::SetTimeScale(1.0); }
};

struct Gate {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE finishing = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD idSeen = 0;
    ~Gate() {
        CloseHandle(release);
        CloseHandle(started);
        CloseHandle(finishing);
    }
};

// Reports its id, waits for the release, then says it is finishing. It copies the handles first
// and touches the gate no more once it has said it started or finishing.
DWORD GateThread(LPVOID param) {
    auto* gate = static_cast<Gate*>(param);
    gate->idSeen = GetCurrentThreadId();
    const HANDLE release = gate->release;
    const HANDLE finishing = gate->finishing;
    SetEvent(gate->started);
    WaitForSingleObject(release, INFINITE);
    SetEvent(finishing);
    return 7;
}

TEST(ThreadTest, ExitCodeIsStillActiveUntilTheThreadReturns) {
    Gate gate;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, GateThread, &gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(gate.started, kPatience), WAIT_OBJECT_0);
    EXPECT_EQ(gate.idSeen, id);
    EXPECT_NE(id, GetCurrentThreadId());
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);

    SetEvent(gate.release);
    ASSERT_EQ(WaitForSingleObject(thread, kPatience), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(ThreadTest, ThreadRunsOnAfterItsHandleIsClosed) {
    Gate gate;
    HANDLE thread = CreateThread(nullptr, 0, GateThread, &gate, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(gate.release);
    EXPECT_EQ(WaitForSingleObject(gate.finishing, kPatience), WAIT_OBJECT_0);
}

TEST(ThreadTest, ThreadIdsAreNonzeroStableAndDistinct) {
    constexpr int kThreads = 8;
    std::vector<DWORD> ids(kThreads);
    std::vector<HANDLE> threads;
    for (DWORD& slot : ids) {
        threads.push_back(CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD {
                const DWORD first = GetCurrentThreadId();
                *static_cast<DWORD*>(p) = first == GetCurrentThreadId() ? first : 0;
                return 0;
            },
            &slot, 0, nullptr));
    }
    for (HANDLE thread : threads) {
        ASSERT_EQ(WaitForSingleObject(thread, kPatience), WAIT_OBJECT_0);
        CloseHandle(thread);
    }
    std::set<DWORD> distinct(ids.begin(), ids.end());
    distinct.insert(GetCurrentThreadId());
    EXPECT_EQ(distinct.size(), ids.size() + 1);
    EXPECT_EQ(distinct.count(0), 0u);
}

TEST(EventTest, ManualAndAutoResetAndInitialState) {
    const struct {
        const char* what;
        BOOL manual;
        BOOL initial;
        std::vector<DWORD> expectedWaits; // three zero-time-out waits in a row
    } cases[] = {
        {"manual, set", TRUE, TRUE, {WAIT_OBJECT_0, WAIT_OBJECT_0, WAIT_OBJECT_0}},
        {"auto, set", FALSE, TRUE, {WAIT_OBJECT_0, WAIT_TIMEOUT, WAIT_TIMEOUT}},
        {"manual, clear", TRUE, FALSE, {WAIT_TIMEOUT, WAIT_TIMEOUT, WAIT_TIMEOUT}},
    };
    for (const auto& c : cases) {
        HANDLE event = CreateEventW(nullptr, c.manual, c.initial, nullptr);
        ASSERT_NE(event, nullptr);
        std::vector<DWORD> waits;
        for (int i = 0; i < 3; ++i) {
            waits.push_back(WaitForSingleObject(event, 0));
        }
        EXPECT_EQ(waits, c.expectedWaits) << c.what;
        EXPECT_TRUE(EventModify(event, EVENT_SET));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << c.what;
        EXPECT_TRUE(SetEvent(event));
        EXPECT_TRUE(ResetEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << c.what;
        EXPECT_TRUE(CloseHandle(event));
    }
}

// An auto-reset event lets exactly one of several waiters through per SetEvent.
TEST(EventTest, AutoResetReleasesOneWaiterPerSignal) {
    struct Shared {
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        std::atomic<int> passed{0};
    } shared;
    auto waiter = [](LPVOID p) -> DWORD {
        auto* s = static_cast<Shared*>(p);
        if (WaitForSingleObject(s->event, INFINITE) == WAIT_OBJECT_0) {
            s->passed.fetch_add(1);
        }
        return 0;
    };
    HANDLE first = CreateThread(nullptr, 0, waiter, &shared, 0, nullptr);
    HANDLE second = CreateThread(nullptr, 0, waiter, &shared, 0, nullptr);
    SetEvent(shared.event);
    // Whichever waiter got the signal finishes; the other is still blocked.
    HANDLE finished = nullptr;
    const auto giveUp = RealClock::now() + milliseconds(kPatience);
    while (finished == nullptr && RealClock::now() < giveUp) {
        for (HANDLE t : {first, second}) {
            if (finished == nullptr && WaitForSingleObject(t, 5) == WAIT_OBJECT_0) {
                finished = t;
            }
        }
    }
    ASSERT_NE(finished, nullptr);
    HANDLE other = finished == first ? second : first;
    EXPECT_EQ(shared.passed.load(), 1);
    EXPECT_EQ(WaitForSingleObject(other, 20), WAIT_TIMEOUT);
    SetEvent(shared.event);
    EXPECT_EQ(WaitForSingleObject(other, kPatience), WAIT_OBJECT_0);
    EXPECT_EQ(shared.passed.load(), 2);
    for (HANDLE h : {first, second, shared.event}) {
        CloseHandle(h);
    }
}

TEST(EventTest, StaleAndForeignHandlesAreRefused) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    HANDLE fresh = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(fresh, event) << "handle values are never reused";
    EXPECT_FALSE(EventModify(fresh, 99));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    CloseHandle(fresh);
}

// Closing an event while another thread waits on it is safe: the wait runs to its time-out (or
// fails at once, if the close came first).
TEST_F(ScaledTimeTest, ClosingAnEventUnderAWaiterIsSafe) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    struct Args {
        HANDLE event;
        HANDLE waiting = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    } args{event};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* a = static_cast<Args*>(p);
            SetEvent(a->waiting);
            return WaitForSingleObject(a->event, 3000);
        },
        &args, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(args.waiting, kPatience * 100), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(event));
    ASSERT_EQ(WaitForSingleObject(thread, kPatience * 100), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_TRUE(code == WAIT_TIMEOUT || code == WAIT_FAILED) << code;
    CloseHandle(thread);
    CloseHandle(args.waiting);
}

TEST_F(ScaledTimeTest, SleepsAndTimeOutsFollowTheScale) {
    EXPECT_DOUBLE_EQ(kobalt::device::TimeScale(), 0.01);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const DWORD ticksBefore = GetTickCount();
    auto realBefore = RealClock::now();
    Sleep(2000);
    auto real = RealClock::now() - realBefore;
    EXPECT_GE(GetTickCount() - ticksBefore, 1999u);
    EXPECT_GE(real, milliseconds(20));
    EXPECT_LT(real, milliseconds(1500));

    realBefore = RealClock::now();
    EXPECT_EQ(WaitForSingleObject(event, 3000), WAIT_TIMEOUT);
    real = RealClock::now() - realBefore;
    EXPECT_GE(real, milliseconds(30));
    EXPECT_LT(real, milliseconds(2000));
    CloseHandle(event);
}

// The front ends' sleep (a script's `sleep`) is device time too; what lies outside the device's
// range is clamped, so a negative duration returns at once.
TEST_F(ScaledTimeTest, DeviceSleepFollowsTheScale) {
    const DWORD ticksBefore = GetTickCount();
    auto realBefore = RealClock::now();
    kobalt::device::SleepDeviceTime(milliseconds(2000));
    auto real = RealClock::now() - realBefore;
    EXPECT_GE(GetTickCount() - ticksBefore, 1999u);
    EXPECT_GE(real, milliseconds(20));
    EXPECT_LT(real, milliseconds(1500));

    realBefore = RealClock::now();
    kobalt::device::SleepDeviceTime(milliseconds(-5000));
    EXPECT_LT(RealClock::now() - realBefore, milliseconds(500));
}

TEST(ClockTest, ScaledDurationsAndContinuousTicks) {
    using kobalt::platform::ScaledRealDuration;
    using kobalt::platform::SetTimeScale;
    SetTimeScale(1.0);
    EXPECT_EQ(ScaledRealDuration(INFINITE), RealClock::duration::max());
    EXPECT_EQ(ScaledRealDuration(1500), milliseconds(1500));

    const DWORD before = GetTickCount();
    SetTimeScale(kobalt::common::kMaxTimeScale);
    // The longest finite wait, at the slowest scale, still yields a reachable deadline.
    EXPECT_LT(RealClock::now(), RealClock::now() + ScaledRealDuration(INFINITE - 1));
    const DWORD during = GetTickCount();
    SetTimeScale(0.0); // refused
    EXPECT_DOUBLE_EQ(kobalt::device::TimeScale(), kobalt::common::kMaxTimeScale);
    SetTimeScale(1.0);
    EXPECT_GE(during, before);
    EXPECT_GE(GetTickCount(), during);
}

} // namespace
