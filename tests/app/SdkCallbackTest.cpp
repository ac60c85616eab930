// The SDK's callbacks as the SDK contract has them: they may call back into the SDK while the
// SDK holds its own lock, they find the main window only by its published handle, and every
// event they hand over is shown and reported once by the handler that acts on it.

#include "MainWindowFixture.h"

#include "app/SdkCallbacks.h"
#include "handsfree/HandFree.h"
#include "platform/DeviceServices.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace {

using namespace kobalt::test;

// The SDK's own lock: recursive, and taken from another thread with a time-out (built on a
// plain mutex and a condition variable, which ThreadSanitizer follows).
class SdkLock {
public:
    // True when the calling thread now holds the lock; false after `timeout` without it.
    bool Acquire(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> guard(m_mutex);
        const auto self = std::this_thread::get_id();
        if (!m_cv.wait_for(guard, timeout, [&] { return m_depth == 0 || m_owner == self; }))
            return false;
        m_owner = self;
        ++m_depth;
        return true;
    }
    void Release() {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (--m_depth == 0) {
            m_owner = {};
            m_cv.notify_all();
        }
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::thread::id m_owner;
    int m_depth = 0;
};

// An SDK that holds its own lock while it runs a callback and takes it in every entry point.
// Entry points called on the callback's thread get the lock again; called from another thread
// they wait at most two seconds, count the refusal and fail, so a deadlock shows as a failure.
struct LockingSdk {
    static inline SdkLock lock;
    static inline std::atomic<int> refused{0};

    // Holds the lock for one entry point's call.
    class Held {
    public:
        Held() : m_held(lock.Acquire(std::chrono::seconds(2))) {
            if (!m_held)
                ++refused;
        }
        ~Held() {
            if (m_held)
                lock.Release();
        }
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;
        explicit operator bool() const { return m_held; }

    private:
        bool m_held;
    };

    static int GetRemoteName(KOBALT_BdAddr*, KOBALT_WCHAR* name) {
        Held held;
        if (!held)
            return -1;
        const std::u16string text = u"Locked";
        std::copy(text.begin(), text.end(), name);
        name[text.size()] = 0;
        return 0;
    }
    static int GetClientPort() {
        Held held;
        return held ? 9 : -1;
    }
    static void Install() {
        refused = 0;
        g_SdkApi.KOBALT_GetRemoteName = &GetRemoteName;
        g_SdkApi.KOBALT_GetClientPort = &GetClientPort;
    }
    // Makes a callback on a thread of the SDK's own, with the lock held around it.
    template <class Callback> static void Call(Callback callback) {
        std::thread sdk([&] {
            Held held;
            callback();
        });
        sdk.join();
    }
};

// The handled-event lines the console reports, collected from any thread.
struct ReportedEvents {
    static inline std::mutex mutex;
    static inline std::vector<std::string> lines;

    static void Observe(std::string_view line) {
        std::lock_guard<std::mutex> hold(mutex);
        lines.emplace_back(line);
    }
    static std::vector<std::string> Take() {
        std::lock_guard<std::mutex> hold(mutex);
        return std::exchange(lines, {});
    }
};

class SdkCallbackTest : public MainWindowTest {
protected:
    void TearDown() override { kobalt::desktop::SetHandledEventObserver(nullptr); }

    void PressStart(HWND w) {
        ASSERT_EQ(m_operator.Press(w, IDC_MAIN_START), InputResult::Ok);
        ASSERT_NE(FakeSdk::connectCallback.load(), nullptr);
    }

    static std::u16string CaptionOf(HWND w) {
        for (const auto& win : kobalt::desktop::TakeSnapshot().windows)
            if (win.hwnd == w)
                return win.caption;
        return {};
    }

    static void Idle(HWND w) {
        EXPECT_TRUE(kobalt::desktop::WaitOwnerIdle(w, std::chrono::milliseconds(5000)));
    }
};

TEST_F(SdkCallbackTest, NameAndPortAreReadInsideTheCallbackWhileTheSdkHoldsItsLock) {
    LockingSdk::Install();
    CMainDlg dlg;
    KOBALT_BdAddr phone{{1, 2, 3, 4, 5, 6}};
    Run(dlg, [&](HWND w) {
        PressStart(w);
        LockingSdk::Call([&] { EXPECT_EQ(ConnectEventCallback(1, &phone, 5), 1); });
        EXPECT_EQ(CaptionOf(w), u"Connect  with Locked And service is SPP(9)");
        EXPECT_EQ(Operator::Control(w, IDC_MAIN_SPP)->text, u"SPP(9)");
        LockingSdk::Call([&] { EXPECT_EQ(PairEventCallback(1, &phone), 1); });
        EXPECT_EQ(Lines(w),
                  (std::vector<std::u16string>{u"BlueTooth Start", u"Paired with Locked "}));
    });
    EXPECT_EQ(LockingSdk::refused, 0) << "the SDK was called from another thread while its "
                                         "callback held its lock";
}

TEST_F(SdkCallbackTest, CallbacksFindTheMainWindowByItsPublishedHandleOnly) {
    // Nothing sets theApp.m_pMainWnd here: the window publishes its own handle.
    ASSERT_EQ(theApp.m_pMainWnd, nullptr);
    KOBALT_BdAddr phone{{1, 2, 3, 4, 5, 6}};
    CMainDlg dlg;
    std::thread operatorThread([&] {
        auto window = m_operator.WaitActive(IDD_KOBALTDEMO_DIALOG);
        if (!window) {
            ADD_FAILURE() << "the main window did not open";
            return;
        }
        EXPECT_EQ(g_hMainWnd.load(), window->hwnd);
        PressStart(window->hwnd);
        EXPECT_EQ(ConnectEventCallback(1, &phone, 1), 1);
        EXPECT_EQ(CaptionOf(window->hwnd), u"Connect  with Pixel And service is HF");
        EXPECT_EQ(HfEventCallback(15, 0), TRUE);
        Idle(window->hwnd);
        EXPECT_EQ(Lines(window->hwnd),
                  (std::vector<std::u16string>{u"[Extend]NetWorkAvailable", u"BlueTooth Start"}));
        CloseEverything();
    });
    dlg.DoModal();
    operatorThread.join();
    EXPECT_EQ(g_hMainWnd.load(), nullptr) << "withdrawn with the window";
    EXPECT_EQ(ConnectEventCallback(1, &phone, 1), 1);
    EXPECT_EQ(HfEventCallback(15, 0), FALSE);
}

TEST_F(SdkCallbackTest, HandsFreeEventsWhileTheTelephoneHasNoWindowAreListedOnTheMainWindow) {
    CMainDlg dlg;
    // Set, as between constructing the telephone and making its window, or after it is gone.
    HandFree unopened(nullptr);
    dlg.m_pHandFreeDlg = &unopened;
    const BYTE level = 4;
    const std::size_t debugBefore = kobalt::device::DebugLineCount();
    Run(dlg, [&](HWND w) {
        PressStart(w);
        HfEventCallback(15, 0);
        HfEventCallback(17, reinterpret_cast<intptr_t>(&level));
        HfEventCallback(8, 0);
        Idle(w);
        EXPECT_EQ(Lines(w), (std::vector<std::u16string>{u"[Extend]NetWorkAvailable",
                                                         u"BlueTooth Start", u"Sngl(4)"}));
        for (const auto& window : kobalt::desktop::TakeSnapshot().windows)
            EXPECT_NE(window.templateId, IDD_HANDFREE) << "a second telephone was opened";
    });
    dlg.m_pHandFreeDlg = nullptr;
    const auto debug = kobalt::device::DebugLines();
    EXPECT_NE(std::find(debug.begin() + static_cast<std::ptrdiff_t>(debugBefore), debug.end(),
                        u"[KOBALT][HF]Call state 8 while the telephone opens or closes"),
              debug.end());
}

TEST_F(SdkCallbackTest, EachEventIsReportedOnceByTheHandlerThatActsOnIt) {
    kobalt::desktop::SetHandledEventObserver(&ReportedEvents::Observe);
    ReportedEvents::Take();
    CMainDlg dlg;
    KOBALT_BdAddr phone{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};
    KOBALT_DeviceRecord found{};
    found.addr = phone;
    std::memcpy(found.name, u"Pix\"el", 6 * sizeof(char16_t));
    const BYTE level = 3;
    const char* number = "+86\x01";
    Run(dlg, [&](HWND w) {
        PressStart(w);
        ConnectEventCallback(1, &phone, 1);
        ConnectEventCallback(0, nullptr, 9);
        PairEventCallback(1, &phone);
        m_operator.Press(w, IDC_MAIN_SEARCH);
        ASSERT_NE(FakeSdk::discovery.load(), nullptr);
        FakeSdk::discovery.load()(0, found);
        std::thread sdk([&] { FakeSdk::discovery.load()(1, KOBALT_DeviceRecord{}); });
        auto box = m_operator.WaitBox();
        ASSERT_TRUE(box);
        m_operator.Answer(box->hwnd);
        sdk.join();
        HfEventCallback(17, reinterpret_cast<intptr_t>(&level));
        HfEventCallback(7, 0); // opens the telephone; later events are the telephone's
        auto hf = m_operator.WaitActive(IDD_HANDFREE);
        ASSERT_TRUE(hf);
        HfEventCallback(10, reinterpret_cast<intptr_t>(number));
        HfEventCallback(26, reinterpret_cast<intptr_t>(number));
        Idle(w);
    });
    EXPECT_EQ(ReportedEvents::Take(),
              (std::vector<std::string>{
                  "ConnectEventCallback(1, 66:55:44:33:22:11, 1)",
                  "ConnectEventCallback(0, null, 9)",
                  "PairEventCallback(1, 66:55:44:33:22:11)",
                  "DiscoveryCallback(0, {66:55:44:33:22:11, \"Pix\\\"el\"})",
                  "DiscoveryCallback(1, {00:00:00:00:00:00, \"\"})",
                  "HfEventCallback(17, &3)",
                  "HfEventCallback(7, 0)",
                  "HfEventCallback(10, \"+86\\x01\")",
                  "HfEventCallback(26, ?)",
              }));
}

TEST_F(SdkCallbackTest, ADiscoveryEndWithoutARecordIsReportedWithAnEmptyOne) {
    kobalt::desktop::SetHandledEventObserver(&ReportedEvents::Observe);
    ReportedEvents::Take();
    CMainDlg dlg;
    Run(dlg, [&](HWND w) { SendMessageW(w, WM_APP_DISCOVERY_DONE, 0, 0); });
    EXPECT_EQ(ReportedEvents::Take(),
              std::vector<std::string>{"DiscoveryCallback(1, {00:00:00:00:00:00, \"\"})"});
}

} // namespace
