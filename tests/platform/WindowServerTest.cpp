// Windows, queues and modal loops across threads.

#include "platform/Desktop.h"
#include "platform/DialogTemplate.h"
#include "platform/MessageNames.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr UINT kRecord = WM_APP + 1; // handlers record wParam
constexpr UINT kStop = WM_APP + 2;   // ends a thread's message loop

// What a test window saw, in order. Shared with the window through GWLP_USERDATA.
struct Log {
    std::mutex mutex;
    std::vector<WPARAM> values;
    std::vector<DWORD> threads;
    std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> hook; // optional, for special handling

    void Add(WPARAM value) {
        std::lock_guard<std::mutex> lock(mutex);
        values.push_back(value);
        threads.push_back(GetCurrentThreadId());
    }
    std::vector<WPARAM> Values() {
        std::lock_guard<std::mutex> lock(mutex);
        return values;
    }
};

LRESULT LogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* log = reinterpret_cast<Log*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (log && log->hook && msg >= WM_APP)
        return log->hook(hwnd, msg, wParam, lParam);
    if (msg == kRecord && log) {
        log->Add(wParam);
        return static_cast<LRESULT>(wParam) * 2;
    }
    if (msg == kStop) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakeWindow(Log* log) {
    HWND hwnd = CreateWindowExW(0, nullptr, u"test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, reinterpret_cast<LPVOID>(&LogProc));
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(log));
    return hwnd;
}

// A thread that owns one window and pumps its messages until kStop.
class OwnerThread {
public:
    explicit OwnerThread(Log* log, HANDLE startGate = nullptr) {
        m_thread = std::thread([this, log, startGate] {
            HWND hwnd = MakeWindow(log);
            m_threadId = GetCurrentThreadId();
            m_hwnd.store(hwnd);
            if (startGate)
                WaitForSingleObject(startGate, INFINITE);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0))
                DispatchMessageW(&msg);
            if (IsWindow(hwnd))
                DestroyWindow(hwnd);
        });
        while (!m_hwnd.load())
            std::this_thread::yield();
    }
    ~OwnerThread() { Stop(); }
    void Stop() {
        if (m_thread.joinable()) {
            PostMessageW(m_hwnd.load(), kStop, 0, 0);
            m_thread.join();
        }
    }
    HWND Handle() const { return m_hwnd.load(); }
    DWORD ThreadId() const { return m_threadId; }

private:
    std::thread m_thread;
    std::atomic<HWND> m_hwnd{nullptr};
    DWORD m_threadId = 0;
};

// Pumps the calling thread's messages until `done` or a bound.
void PumpUntil(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + 5s;
    MSG msg;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        std::this_thread::sleep_for(1ms);
    }
}

TEST(WindowHandles, DestroyedHandleNeverMatchesANewWindowAndMessagesToItFail) {
    Log log;
    HWND first = MakeWindow(&log);
    ASSERT_TRUE(DestroyWindow(first));
    HWND second = MakeWindow(&log); // may reuse the slot
    EXPECT_NE(first, second);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(PostMessageW(first, kRecord, 1, 0));
    EXPECT_EQ(SendMessageW(first, kRecord, 1, 0), 0);
    EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(std::uintptr_t{0xDEAD00000001}), kRecord, 1, 0),
              0);
    EXPECT_TRUE(log.Values().empty());
    DestroyWindow(second);
}

TEST(WindowHandles, MessagesQueuedForADestroyedWindowAreDropped) {
    Log log;
    HWND hwnd = MakeWindow(&log);
    ASSERT_TRUE(PostMessageW(hwnd, kRecord, 7, 0));
    DestroyWindow(hwnd);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(log.Values().empty());
}

TEST(Messages, PostToNullWindowReachesTheCallingThread) {
    ASSERT_TRUE(PostMessageW(nullptr, kRecord, 42, 0));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, kRecord);
    EXPECT_EQ(msg.wParam, 42u);
}

TEST(Messages, RegisteredMessagesAreSharedAcrossThreadsAndCaseInsensitive) {
    UINT here = RegisterWindowMessageW(u"WM_QRVOUTMSG_DIALERSTATE");
    UINT there = 0;
    std::thread([&] { there = RegisterWindowMessageW(u"wm_qrvoutmsg_dialerstate"); }).join();
    EXPECT_EQ(here, there);
    EXPECT_GE(here, 0xC000u);
    EXPECT_LE(here, 0xFFFFu);
    EXPECT_NE(RegisterWindowMessageW(u"another name"), here);
    EXPECT_EQ(RegisterWindowMessageW(u""), 0u);
    EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
    EXPECT_EQ(kobalt::platform::MessageName(LB_ADDSTRING), "LB_ADDSTRING");
}

TEST(CrossThread, PostsArriveInOrderOnTheOwnerThread) {
    Log log;
    OwnerThread owner(&log);
    for (WPARAM i = 0; i < 1000; ++i)
        ASSERT_TRUE(PostMessageW(owner.Handle(), kRecord, i, 0));
    owner.Stop();
    auto values = log.Values();
    ASSERT_EQ(values.size(), 1000u);
    for (WPARAM i = 0; i < 1000; ++i)
        EXPECT_EQ(values[i], i);
    for (DWORD t : log.threads)
        EXPECT_EQ(t, owner.ThreadId());
}

TEST(CrossThread, SendRunsOnTheOwnerThreadAndReturnsItsResult) {
    Log log;
    OwnerThread owner(&log);
    EXPECT_EQ(SendMessageW(owner.Handle(), kRecord, 21, 0), 42);
    ASSERT_EQ(log.threads.size(), 1u);
    EXPECT_EQ(log.threads[0], owner.ThreadId());
    EXPECT_NE(log.threads[0], GetCurrentThreadId());
}

TEST(CrossThread, SenderHandlesMessagesSentToItWhileItWaits) {
    // This thread's window is sent a message by the other thread's handler while this thread
    // waits for that same handler: without handling it meanwhile both would wait forever.
    Log mine;
    HWND myWindow = MakeWindow(&mine);
    Log theirs;
    theirs.hook = [&](HWND, UINT msg, WPARAM wParam, LPARAM) -> LRESULT {
        if (msg == kStop) {
            PostQuitMessage(0);
            return 0;
        }
        return SendMessageW(myWindow, kRecord, wParam + 1, 0) + 1;
    };
    OwnerThread owner(&theirs);
    EXPECT_EQ(SendMessageW(owner.Handle(), kRecord, 10, 0), 23); // (10 + 1) * 2 + 1
    EXPECT_EQ(mine.Values(), std::vector<WPARAM>{11});
    EXPECT_EQ(mine.threads[0], GetCurrentThreadId());
    owner.Stop();
    DestroyWindow(myWindow);
}

TEST(CrossThread, SendToAWindowDestroyedBeforeDispatchReturnsZero) {
    Log log;
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE destroyNow = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    log.hook = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == kStop) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, 0, 0);
    };
    std::atomic<HWND> window{nullptr};
    std::thread owner([&] {
        HWND hwnd = MakeWindow(&log);
        window = hwnd;
        WaitForSingleObject(destroyNow, INFINITE);
        DestroyWindow(hwnd); // the queued send now names a dead window
        SetEvent(gate);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); // handles the sent record
    });
    while (!window.load())
        std::this_thread::yield();
    std::thread sender([&] { EXPECT_EQ(SendMessageW(window.load(), kRecord, 5, 0), 0); });
    std::this_thread::sleep_for(20ms); // let the send be queued; either order must give 0
    SetEvent(destroyNow);
    sender.join();
    owner.join();
    EXPECT_TRUE(log.Values().empty());
    CloseHandle(gate);
    CloseHandle(destroyNow);
}

TEST(CrossThread, SendToAThreadThatEndsReturnsZero) {
    Log log;
    HANDLE sendQueued = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> window{nullptr};
    std::thread owner([&] {
        window = MakeWindow(&log);
        WaitForSingleObject(sendQueued, INFINITE); // ends without pumping
    });
    while (!window.load())
        std::this_thread::yield();
    std::thread sender([&] { EXPECT_EQ(SendMessageW(window.load(), kRecord, 5, 0), 0); });
    std::this_thread::sleep_for(20ms);
    SetEvent(sendQueued);
    owner.join();
    sender.join();
    EXPECT_FALSE(IsWindow(window.load()));
    CloseHandle(sendQueued);
}

// Dialog templates for the modal tests: one button each.
constexpr DialogControlTemplate kButton[] = {
    {1, WC_BUTTON, u"OK", 10, 10, 40, 14, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
};
const DialogTemplate kOuter{
    9001, u"Outer", 0, 0, 100, 60, u"MS Shell Dlg", 8, WS_POPUP | WS_CAPTION, 0, kButton};
const DialogTemplate kInner{9002, u"Inner", 0, 0, 80, 40, u"MS Shell Dlg", 8, WS_POPUP | WS_CAPTION,
                            0,    kButton};

LRESULT DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* log = reinterpret_cast<Log*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (log && log->hook && msg >= WM_APP)
        return log->hook(hwnd, msg, wParam, lParam);
    if (msg == WM_COMMAND && (wParam & 0xFFFF) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return 0;
    }
    if (msg == WM_COMMAND && (wParam & 0xFFFF) == 1) {
        EndDialog(hwnd, 1);
        return 0;
    }
    return DefDlgProcW(hwnd, msg, wParam, lParam);
}

kobalt::desktop::WindowView WaitForTop(const std::u16string& caption) {
    auto deadline = std::chrono::steady_clock::now() + 5s;
    for (;;) {
        auto s = kobalt::desktop::TakeSnapshot();
        if (!s.windows.empty() && s.windows.front().caption == caption)
            return s.windows.front();
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "no top window with that caption";
            return {};
        }
        kobalt::desktop::WaitForChange(s.version, 100ms);
    }
}

TEST(ModalLoops, NestedLoopKeepsDispatchingToTheOuterDialogAndDisablesIt) {
    Log outerLog, innerLog;
    std::atomic<bool> outerEnabledDuringInner{true};
    HWND outer = CreateDialogIndirectParamW(nullptr, &kOuter, nullptr, &DialogProc,
                                            reinterpret_cast<LPARAM>(&outerLog));
    ASSERT_NE(outer, nullptr);
    outerLog.hook = [&](HWND hwnd, UINT msg, WPARAM wParam, LPARAM) -> LRESULT {
        if (msg == kRecord && wParam == 0) { // opens the inner dialog from the outer's handler
            HWND inner = CreateDialogIndirectParamW(nullptr, &kInner, nullptr, &DialogProc,
                                                    reinterpret_cast<LPARAM>(&innerLog));
            outerLog.Add(RunModalDialog(inner) == 1 ? 100 : 999);
            return 0;
        }
        if (msg == kRecord) {
            outerEnabledDuringInner = IsWindowEnabled(hwnd) == FALSE;
            outerLog.Add(wParam);
        }
        return 0;
    };
    PostMessageW(outer, kRecord, 0, 0);

    std::thread operatorThread([&] {
        auto inner = WaitForTop(u"Inner");
        EXPECT_TRUE(inner.active);
        auto s = kobalt::desktop::TakeSnapshot();
        ASSERT_EQ(s.windows.size(), 2u);
        EXPECT_FALSE(s.windows[1].enabled); // the outer dialog, beneath
        // Input to the window beneath is refused.
        EXPECT_EQ(kobalt::desktop::Click(s.windows[1].controls[0].hwnd),
                  kobalt::desktop::InputResult::NotActive);
        // A message for the outer dialog is handled by the inner loop.
        PostMessageW(s.windows[1].hwnd, kRecord, 7, 0);
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (outerLog.Values().empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        EXPECT_EQ(kobalt::desktop::Click(inner.controls[0].hwnd), kobalt::desktop::InputResult::Ok);
        auto outerView = WaitForTop(u"Outer");
        EXPECT_TRUE(outerView.enabled);
        EXPECT_EQ(kobalt::desktop::Close(outerView.hwnd), kobalt::desktop::InputResult::Ok);
    });
    EXPECT_EQ(RunModalDialog(outer), IDCANCEL);
    operatorThread.join();
    EXPECT_EQ(outerLog.Values(), (std::vector<WPARAM>{7, 100}));
    EXPECT_TRUE(outerEnabledDuringInner);
    EXPECT_FALSE(IsWindow(outer));
}

TEST(MessageBoxes, BoxFromAnotherThreadBlocksOnlyThatThread) {
    Log log;
    HWND dialog = CreateDialogIndirectParamW(nullptr, &kOuter, nullptr, &DialogProc,
                                             reinterpret_cast<LPARAM>(&log));
    log.hook = [&](HWND, UINT msg, WPARAM wParam, LPARAM) -> LRESULT {
        if (msg == kRecord)
            log.Add(wParam);
        return 0;
    };
    std::atomic<int> answer{0};
    std::thread operatorThread([&] {
        WaitForTop(u"Outer"); // the dialog's loop runs before the box comes
        std::thread worker([&] { answer = MessageBoxW(nullptr, u"Init OK", u"Hint", MB_OK); });
        auto box = WaitForTop(u"Hint");
        EXPECT_EQ(box.kind, kobalt::desktop::WindowKind::MessageBox);
        EXPECT_EQ(box.text, u"Init OK");
        // The dialog's thread runs on while the box is up.
        PostMessageW(dialog, kRecord, 3, 0);
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (log.Values().empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        EXPECT_EQ(answer.load(), 0);
        EXPECT_EQ(kobalt::desktop::AnswerBox(box.hwnd, IDOK), kobalt::desktop::InputResult::Ok);
        worker.join();
        auto outer = WaitForTop(u"Outer");
        kobalt::desktop::Close(outer.hwnd);
    });
    RunModalDialog(dialog);
    operatorThread.join();
    EXPECT_EQ(answer.load(), IDOK);
    EXPECT_EQ(log.Values(), std::vector<WPARAM>{3});
}

TEST(OwnerIdle, AWindowDestroyedWhileWaitingEndsTheWaitThoughItsThreadNeverPumps) {
    std::promise<HWND> made;
    std::promise<void> destroy;
    std::promise<void> release;
    std::thread owner([&] {
        HWND hwnd = MakeWindow(nullptr);
        made.set_value(hwnd);
        destroy.get_future().wait();
        DestroyWindow(hwnd);
        release.get_future().wait(); // blocked outside any message loop, like an SDK thread
    });
    const HWND hwnd = made.get_future().get();
    auto waited = std::async(std::launch::async,
                             [hwnd] { return kobalt::desktop::WaitOwnerIdle(hwnd, 60s); });
    destroy.set_value();
    EXPECT_TRUE(waited.get());
    release.set_value();
    owner.join();
}

TEST(ModalLoops, PumpUntilHelperSeesPostedWork) {
    // PeekMessage-based pumping (used by threads that poll) dispatches posted messages too.
    Log log;
    HWND hwnd = MakeWindow(&log);
    PostMessageW(hwnd, kRecord, 9, 0);
    PumpUntil([&] { return !log.Values().empty(); });
    EXPECT_EQ(log.Values(), std::vector<WPARAM>{9});
    DestroyWindow(hwnd);
}

} // namespace
