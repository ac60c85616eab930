// Windows, dialogs, modal loops and message boxes across threads.

#include "WindowTestSupport.h"
#include "platform/Desktop.h"
#include "platform/DialogTemplate.h"
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
using namespace kobalt::test;

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

} // namespace
