// The power monitor: which power broadcasts restart the SDK, how it ends, and how it shares the
// queue "MonitorSysPower" with other monitors. Each test waits for the monitor thread it started
// to end, so every message it was sent has been handled.

#include "DialogTestSupport.h"

#include "app/PowerMonitor.h"
#include "platform/DeviceServices.h"

namespace {

using namespace kobalt::test;

struct FakeRestart {
    static inline std::atomic<int> initResult{0};
    static int Init() {
        CallLog::Add("Init");
        return initResult;
    }
    static int UnInit() {
        CallLog::Add("UnInit");
        return 0;
    }
};

class PowerMonitorTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        FakeRestart::initResult = 0;
        g_SdkApi.KOBALT_Init = &FakeRestart::Init;
        g_SdkApi.KOBALT_UnInit = &FakeRestart::UnInit;
        // Monitors of main windows closed by earlier tests are gone.
        ASSERT_TRUE(WaitFor([] { return PowerMonitorThreads() == 0; }));
    }

    // Starts a monitor and waits until it listens.
    static HANDLE StartListening() {
        HANDLE thread = StartPowerMonitorThread();
        EXPECT_NE(thread, nullptr);
        EXPECT_TRUE(WaitFor([] { return PowerMonitorListening(); }));
        return thread;
    }

    // Waits for the thread to end, closes its handle and returns its exit code.
    static DWORD ExitCode(HANDLE thread) {
        DWORD code = STILL_ACTIVE;
        EXPECT_TRUE(WaitFor([&] {
            return GetExitCodeThread(thread, &code) && code != STILL_ACTIVE;
        })) << "the monitor did not end";
        CloseHandle(thread);
        return code;
    }

    // Whether anyone holds the queue (opening it for a moment to see).
    static bool QueueExists() {
        MSGQUEUEOPTIONS options{sizeof(MSGQUEUEOPTIONS), 0, 5, 44, FALSE};
        HANDLE queue = CreateMsgQueue(kPowerMonitorQueue, &options);
        const bool existed = queue != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
        if (queue != nullptr)
            CloseMsgQueue(queue);
        return existed;
    }
};

TEST_F(PowerMonitorTest, OnlySuspendAloneAmongTheStateBitsRestartsTheSdkAndReportsTheOutcome) {
    struct Case {
        DWORD flags;
        bool restarts;
        int initResult;
    };
    const Case cases[] = {
        {POWER_STATE_SUSPEND, true, 0},
        {POWER_STATE_SUSPEND, true, 7},
        {POWER_STATE_SUSPEND | 0x0001, true, 0},
        {POWER_STATE_SUSPEND | 0xFFFF, true, 0},
        {POWER_STATE_SUSPEND | POWER_STATE_ON, false, 0},
        {POWER_STATE_SUSPEND | POWER_STATE_RESET, false, 0},
        {POWER_STATE_SUSPEND | 0x80000000u, false, 0},
        {POWER_STATE_ON, false, 0},
        {POWER_STATE_IDLE, false, 0},
        {0, false, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        FakeRestart::initResult = c.initResult;
        HANDLE monitor = StartListening();
        kobalt::device::PowerTransition(c.flags);
        // A plain suspend after it, so that there is always one box to wait for.
        kobalt::device::PowerTransition(POWER_STATE_SUSPEND);
        const std::u16string box = c.initResult == 0 ? u"Init OK|Hint" : u"Init Fail|Hint";
        for (int n = 0; n < (c.restarts ? 2 : 1); ++n)
            EXPECT_EQ(AnswerBox(), box) << std::hex << c.flags;
        // The quit is handled after both broadcasts; a box too many would hold the monitor.
        StopPowerMonitor();
        EXPECT_EQ(ExitCode(monitor), 1u) << std::hex << c.flags;
        std::vector<std::string> restart = {"UnInit", "Init"};
        std::vector<std::string> expected = restart;
        if (c.restarts)
            expected.insert(expected.end(), restart.begin(), restart.end());
        EXPECT_EQ(CallLog::Get(), expected) << std::hex << c.flags;
    }
}

TEST_F(PowerMonitorTest, QuitClosesTheQueueAndStopsTheNotifications) {
    HANDLE monitor = StartListening();
    EXPECT_TRUE(QueueExists());
    StopPowerMonitor();
    EXPECT_EQ(ExitCode(monitor), 1u);
    EXPECT_FALSE(PowerMonitorListening());
    EXPECT_FALSE(QueueExists());
    kobalt::device::PowerTransition(POWER_STATE_SUSPEND);
    EXPECT_TRUE(CallLog::Get().empty());
}

TEST_F(PowerMonitorTest, ASecondMonitorEndsWithZeroAndTheFirstServesUntilTheLastStop) {
    HANDLE first = StartListening();
    HANDLE second = StartPowerMonitorThread();
    EXPECT_EQ(ExitCode(second), 0u);
    // One stop of two: the first monitor still restarts the SDK.
    StopPowerMonitor();
    kobalt::device::PowerTransition(POWER_STATE_SUSPEND);
    EXPECT_EQ(AnswerBox(), u"Init OK|Hint");
    StopPowerMonitor();
    EXPECT_EQ(ExitCode(first), 1u);
    EXPECT_EQ(CallLog::Get(), (std::vector<std::string>{"UnInit", "Init"}));
}

TEST_F(PowerMonitorTest, AQueueReadByAnotherConsoleIsLeftAlone) {
    // Another console's monitor holds the queue.
    MSGQUEUEOPTIONS options{sizeof(MSGQUEUEOPTIONS), 0, 0, 44, TRUE};
    HANDLE other = CreateMsgQueue(kPowerMonitorQueue, &options);
    ASSERT_NE(other, nullptr);
    HANDLE monitor = StartPowerMonitorThread();
    EXPECT_EQ(ExitCode(monitor), 0u);
    // Closing this console's window sends the other console's monitor nothing.
    StopPowerMonitor();
    BYTE buffer[220];
    DWORD bytesRead = 0;
    DWORD flags = 0;
    EXPECT_FALSE(ReadMsgQueue(other, buffer, sizeof buffer, &bytesRead, 0, &flags));
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    CloseMsgQueue(other);
}

TEST_F(PowerMonitorTest, AStopRightAfterTheStartIsNeverLost) {
    // The stop may come before or after the monitor listens; it ends the monitor either way.
    for (int attempt = 0; attempt < 20; ++attempt) {
        HANDLE monitor = StartPowerMonitorThread();
        StopPowerMonitor();
        EXPECT_EQ(ExitCode(monitor), 1u) << "attempt " << attempt;
        EXPECT_EQ(PowerMonitorThreads(), 0) << "attempt " << attempt;
        EXPECT_FALSE(QueueExists()) << "attempt " << attempt;
    }
}

TEST_F(PowerMonitorTest, TheMainWindowMonitorsWhileItIsOpenWithoutTouchingItsStartedFlag) {
    CMainDlg main;
    Run(main, [&](HWND w) {
        ASSERT_TRUE(WaitFor([] { return PowerMonitorListening(); }));
        kobalt::device::PowerTransition(POWER_STATE_SUSPEND);
        EXPECT_EQ(AnswerBox(), u"Init OK|Hint");
        EXPECT_FALSE(main.m_bStarted);
        m_operator.Press(w, IDC_MAIN_QUIT); // START was never pressed: no UnInit
    });
    EXPECT_TRUE(WaitFor([] { return PowerMonitorThreads() == 0; }));
    EXPECT_FALSE(QueueExists());
    EXPECT_EQ(CallLog::Get(), (std::vector<std::string>{"UnInit", "Init"}));
}

} // namespace
