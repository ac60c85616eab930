// The Init/UnInit stress test: the log of each cycle, stopping and restarting, closing the dialog
// while the worker runs, and a long run. Device time is sped up, so a 2000 ms pause is short.

#include "DialogTestSupport.h"

#include "platform/Clock.h"
#include "tools/AutoTest.h"

#include <atomic>
#include <condition_variable>

namespace {

using namespace kobalt::test;

// Init and UnInit as the worker calls them: counted, answered from a table, checked for overlap,
// and Init optionally held at a gate.
struct FakeCycle {
    static inline std::atomic<int> inits{0};
    static inline std::atomic<int> uninits{0};
    static inline std::atomic<int> inFlight{0};
    static inline std::atomic<int> overlaps{0}; // calls made while another was under way
    static inline std::vector<int> initResults; // by call, from the first; 0 past the end
    static inline std::vector<int> uninitResults;
    static inline std::mutex gateLock;
    static inline std::condition_variable gateChanged;
    static inline bool gateClosed = false;
    static inline std::atomic<bool> atGate{false};

    static void Reset() {
        inits = 0;
        uninits = 0;
        inFlight = 0;
        overlaps = 0;
        initResults.clear();
        uninitResults.clear();
        SetGate(false);
        atGate = false;
    }
    static void SetGate(bool closed) {
        {
            std::lock_guard<std::mutex> lock(gateLock);
            gateClosed = closed;
        }
        gateChanged.notify_all();
    }
    static int Answer(const std::vector<int>& results, int call) {
        return call <= static_cast<int>(results.size()) ? results[call - 1] : 0;
    }
    static int Init() {
        if (++inFlight > 1)
            ++overlaps;
        const int call = ++inits;
        {
            std::unique_lock<std::mutex> lock(gateLock);
            atGate = gateClosed;
            gateChanged.wait_for(lock, std::chrono::seconds(10), [] { return !gateClosed; });
            atGate = false;
        }
        --inFlight;
        return Answer(initResults, call);
    }
    static int UnInit() {
        if (++inFlight > 1)
            ++overlaps;
        const int call = ++uninits;
        --inFlight;
        return Answer(uninitResults, call);
    }
};

// The four lines of cycle `n` when Init and UnInit answer `init` and `uninit`.
std::vector<std::u16string> Cycle(int n, int init = 0, int uninit = 0) {
    auto count = [n] {
        std::string s = std::to_string(n);
        return std::u16string(s.begin(), s.end());
    };
    return {u"Initing...",
            (init == 0 ? u"Init Suc(nCount = " : u"Init Fail(nCount = ") + count() + u")",
            u"Uninit...",
            (uninit == 0 ? u"Uninit Suc(nCount = " : u"Uninit Fail(nCount = ") + count() + u")"};
}

class AutoTestTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        FakeCycle::Reset();
        g_SdkApi.KOBALT_Init = &FakeCycle::Init;
        g_SdkApi.KOBALT_UnInit = &FakeCycle::UnInit;
    }
    void TearDown() override { FakeCycle::SetGate(false); }

    static std::vector<std::u16string> Lines(HWND w) { return ListLines(w, IDC_AUTOTEST_LIST); }
    static std::u16string Caption(HWND w) { return Text(w, IDC_AUTOTEST_ONOFF); }

    // Waits until the list holds at least `count` lines.
    bool WaitLines(HWND w, std::size_t count) {
        return m_operator.WaitUntil(
            [&](const kobalt::desktop::Snapshot&) { return Lines(w).size() >= count; });
    }
    // Presses the button and waits until the lines sent before the stop are in the list.
    void PressAndSettle(HWND w) {
        m_operator.Press(w, IDC_AUTOTEST_ONOFF);
        EXPECT_TRUE(kobalt::desktop::WaitOwnerIdle(w, Operator::kTimeout));
    }
    // Every line belongs to a whole cycle, numbered from `first` in order, all succeeding.
    static void ExpectWholeCycles(const std::vector<std::u16string>& lines, std::size_t from,
                                  int first) {
        ASSERT_EQ((lines.size() - from) % 4, 0u);
        for (std::size_t i = from; i < lines.size(); i += 4) {
            const int n = first + static_cast<int>((i - from) / 4);
            ASSERT_EQ(std::vector<std::u16string>(lines.begin() + i, lines.begin() + i + 4),
                      Cycle(n))
                << "cycle " << n;
        }
    }
};

TEST_F(AutoTestTest, CyclesAreLoggedInOrderAndARestartCountsFromOneAgain) {
    FakeCycle::initResults = {0, 1};
    FakeCycle::uninitResults = {0, 5};
    CAutoTest dlg;
    RunDialog(dlg, IDD_AUTOTEST, [&](HWND w) {
        EXPECT_EQ(Caption(w), u"OnOff");
        EXPECT_TRUE(Lines(w).empty());
        m_operator.Press(w, IDC_AUTOTEST_ONOFF);
        EXPECT_EQ(Caption(w), u"Cancle");
        ASSERT_TRUE(WaitLines(w, 8));

        // The stop lets the cycle under way finish, and its lines still arrive.
        PressAndSettle(w);
        EXPECT_EQ(Caption(w), u"OnOff");
        auto lines = Lines(w);
        ASSERT_GE(lines.size(), 8u);
        auto expected = Cycle(1);
        auto second = Cycle(2, 1, 5);
        expected.insert(expected.end(), second.begin(), second.end());
        EXPECT_EQ(std::vector<std::u16string>(lines.begin(), lines.begin() + 8), expected);
        ExpectWholeCycles(lines, 8, 3);
        EXPECT_EQ(FakeCycle::inits.load(), static_cast<int>(lines.size() / 4));
        EXPECT_EQ(FakeCycle::uninits.load(), FakeCycle::inits.load());

        // A new start counts from 1; the earlier lines stay above.
        const std::size_t kept = lines.size();
        m_operator.Press(w, IDC_AUTOTEST_ONOFF);
        ASSERT_TRUE(WaitLines(w, kept + 4));
        PressAndSettle(w);
        auto after = Lines(w);
        EXPECT_EQ(std::vector<std::u16string>(after.begin(), after.begin() + kept), lines);
        ExpectWholeCycles(after, kept, 1);
    });
    EXPECT_EQ(FakeCycle::overlaps.load(), 0);
    EXPECT_FALSE(g_bTestRunning.load());
}

TEST_F(AutoTestTest, ClosingMidCycleStopsTheWorkerAndANewStartWaitsForIt) {
    FakeCycle::SetGate(true);
    {
        CAutoTest first;
        RunDialog(first, IDD_AUTOTEST, [&](HWND w) {
            m_operator.Press(w, IDC_AUTOTEST_ONOFF);
            ASSERT_TRUE(WaitFor([] { return FakeCycle::atGate.load(); }));
            // Closed while the worker is inside KOBALT_Init; the close gives up waiting.
            m_operator.Close(w);
        });
    }
    EXPECT_FALSE(g_bTestRunning.load());
    EXPECT_TRUE(FakeCycle::atGate.load());

    CAutoTest second;
    RunDialog(second, IDD_AUTOTEST, [&](HWND w) {
        // The earlier worker still runs: this start waits for it, gives up, and starts nothing.
        PressAndSettle(w);
        EXPECT_EQ(Caption(w), u"OnOff");
        EXPECT_EQ(FakeCycle::inits.load(), 1);

        // Once it has finished its cycle, a start runs a worker of its own from cycle 1.
        FakeCycle::SetGate(false);
        m_operator.Press(w, IDC_AUTOTEST_ONOFF);
        EXPECT_TRUE(m_operator.WaitUntil(
            [&](const kobalt::desktop::Snapshot&) { return Caption(w) == u"Cancle"; }));
        ASSERT_TRUE(WaitLines(w, 4));
        PressAndSettle(w);
        auto lines = Lines(w);
        // Nothing of the earlier worker's cycle reached this dialog.
        ExpectWholeCycles(lines, 0, 1);
    });
    EXPECT_EQ(FakeCycle::overlaps.load(), 0);
    EXPECT_EQ(FakeCycle::uninits.load(), FakeCycle::inits.load());
}

TEST_F(AutoTestTest, TheMainWindowPublishesTheDialogWhileItRuns) {
    CMainDlg main;
    Run(main, [&](HWND w) {
        m_operator.Press(w, IDC_MAIN_TEST);
        auto test = m_operator.WaitActive(IDD_AUTOTEST);
        ASSERT_TRUE(test);
        ASSERT_NE(g_pAutoTestDlg, nullptr);
        EXPECT_EQ(g_pAutoTestDlg->GetSafeHwnd(), test->hwnd);
        m_operator.Press(test->hwnd, IDC_AUTOTEST_ONOFF);
        ASSERT_TRUE(WaitLines(test->hwnd, 4));
        m_operator.Close(test->hwnd);
    });
    EXPECT_EQ(g_pAutoTestDlg, nullptr);
    EXPECT_FALSE(g_bTestRunning.load());
    EXPECT_EQ(FakeCycle::uninits.load(), FakeCycle::inits.load());
}

TEST_F(AutoTestTest, AThousandCyclesRunOneWorkerAndLogEveryCycle) {
    const double scale = kobalt::platform::TimeScale();
    CAutoTest dlg;
    RunDialog(dlg, IDD_AUTOTEST, [&](HWND w) {
        kobalt::platform::SetTimeScale(0.00002); // a 2000 ms pause takes 40 us
        m_operator.Press(w, IDC_AUTOTEST_ONOFF);
        const bool reached =
            WaitFor([] { return FakeCycle::inits.load() >= 1000; }, std::chrono::minutes(2));
        // Back to the usual scale, so that the stop's wait outlasts the cycle under way.
        kobalt::platform::SetTimeScale(scale);
        ASSERT_TRUE(reached);
        PressAndSettle(w);
        auto lines = Lines(w);
        EXPECT_EQ(lines.size(), 4u * static_cast<std::size_t>(FakeCycle::inits.load()));
        ExpectWholeCycles(lines, 0, 1);
    });
    kobalt::platform::SetTimeScale(scale);
    EXPECT_EQ(FakeCycle::overlaps.load(), 0);
    EXPECT_EQ(FakeCycle::uninits.load(), FakeCycle::inits.load());
}

} // namespace
