// The per-thread message queues: posting and sending within and across threads, dispatch order,
// dropped messages of destroyed windows, and waiting for a window's thread to go idle.

#include "platform/ThreadQueue.h"
#include "WindowTestSupport.h"
#include "platform/ControlServices.h"
#include "platform/Desktop.h"
#include "platform/MessageNames.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace kobalt::test;

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

// A control changes its state under the desktop lock (a sorted insertion into a long list can
// take a while); a thread that posts to the control's owner meanwhile must not wait for it.
TEST(CrossThread, PostingNeverWaitsForTheDesktopLock) {
    Log log;
    OwnerThread owner(&log);
    std::future<BOOL> posted;
    {
        auto desktop = kobalt::platform::LockDesktop();
        posted = std::async(std::launch::async,
                            [&] { return PostMessageW(owner.Handle(), kRecord, 5, 0); });
        ASSERT_EQ(posted.wait_for(10s), std::future_status::ready)
            << "the post waited for the desktop lock";
    }
    EXPECT_TRUE(posted.get());
    owner.Stop();
    EXPECT_EQ(log.Values(), std::vector<WPARAM>{5});
}

// Posting looks its target up apart from the window records; it must still see a window's
// destruction at the moment it starts, and a handle whose slot was reused.
TEST(WindowHandles, PostsFailFromTheStartOfDestructionAndForAReusedSlot) {
    Log log;
    HWND hwnd = MakeWindow(&log);
    BOOL postedDuringDestroy = TRUE;
    struct DestroyProbe {
        static LRESULT Proc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
            if (msg == WM_DESTROY) {
                auto* out = reinterpret_cast<BOOL*>(GetWindowLongPtrW(w, GWLP_USERDATA));
                *out = PostMessageW(w, kRecord, 1, 0);
                return 0;
            }
            return DefWindowProcW(w, msg, wParam, lParam);
        }
    };
    HWND probe = CreateWindowExW(0, nullptr, u"probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, reinterpret_cast<LPVOID>(&DestroyProbe::Proc));
    SetWindowLongPtrW(probe, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&postedDuringDestroy));
    ASSERT_TRUE(DestroyWindow(probe));
    EXPECT_FALSE(postedDuringDestroy);

    ASSERT_TRUE(DestroyWindow(hwnd));
    std::vector<HWND> later; // some of them take the freed slots
    for (int i = 0; i < 4; ++i)
        later.push_back(MakeWindow(&log));
    EXPECT_FALSE(PostMessageW(hwnd, kRecord, 2, 0));
    EXPECT_FALSE(PostMessageW(probe, kRecord, 3, 0));
    for (HWND w : later) {
        EXPECT_TRUE(PostMessageW(w, kRecord, 4, 0));
        DestroyWindow(w);
    }
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(log.Values().empty());
}

// The owner takes posted messages in batches; a message sent while the rest of a batch waits
// must still be handled before the next posted one, and the batch keeps its order.
TEST(CrossThread, AMessageSentDuringABatchOfPostsComesBeforeTheRest) {
    Log log;
    std::thread sender;
    log.hook = [&](HWND hwnd, UINT msg, WPARAM wParam, LPARAM) -> LRESULT {
        if (msg == kStop) {
            PostQuitMessage(0);
            return 0;
        }
        log.Add(wParam);
        if (wParam == 0) {
            // Handling the first of the batch: another thread sends, and this one goes on only
            // once the send is queued for it.
            sender = std::thread([hwnd] { SendMessageW(hwnd, kRecord, 1000, 0); });
            const auto& queue = kobalt::platform::CurrentQueue();
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (queue->sentCount.load() == 0 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
        }
        return 0;
    };
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    OwnerThread owner(&log, gate);
    for (WPARAM i = 0; i < 5; ++i)
        ASSERT_TRUE(PostMessageW(owner.Handle(), kRecord, i, 0));
    SetEvent(gate); // all five are queued before the owner takes any
    owner.Stop();
    sender.join();
    CloseHandle(gate);
    EXPECT_EQ(log.Values(), (std::vector<WPARAM>{0, 1000, 1, 2, 3, 4}));
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
