// Helpers for the sub-dialog tests: a dialog run modally on the test thread with an operator on
// another, reading controls, and a call log that fakes write to.
#pragma once

#include "MainWindowFixture.h"

#include "framework/CDialog.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kobalt::test {

// Entry points called, in order, with their arguments as text. Written on any thread.
struct CallLog {
    static inline std::mutex mutex;
    static inline std::vector<std::string> calls;

    static void Clear() {
        std::lock_guard<std::mutex> lock(mutex);
        calls.clear();
    }
    static void Add(std::string call) {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(std::move(call));
    }
    static std::vector<std::string> Get() {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
};

class DialogTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        CallLog::Clear();
    }

    // Runs `dlg` modally on this thread while `operate` plays the operator on another; whatever
    // is left open is closed afterwards. Returns what DoModal returned.
    INT_PTR RunDialog(CDialog& dlg, int templateId, const std::function<void(HWND)>& operate) {
        std::thread operatorThread([&] {
            auto window = m_operator.WaitActive(templateId);
            if (window)
                operate(window->hwnd);
            else
                ADD_FAILURE() << "dialog " << templateId << " did not open";
            CloseEverything();
        });
        INT_PTR result = dlg.DoModal();
        operatorThread.join();
        return result;
    }

    // Answers the message box that must come up and returns "text|caption".
    std::u16string AnswerBox() {
        auto box = m_operator.WaitBox();
        if (!box)
            return u"(no box)";
        m_operator.Answer(box->hwnd);
        return box->text + u"|" + box->caption;
    }

    // The active window's template id, 0 when none.
    static int ActiveTemplate() {
        for (const auto& w : kobalt::desktop::TakeSnapshot().windows)
            if (w.active)
                return w.templateId;
        return 0;
    }

    static std::u16string Text(HWND window, int id) {
        auto c = Operator::Control(window, id);
        return c ? c->text : u"(no control)";
    }

    static std::vector<std::u16string> ListLines(HWND window, int id) {
        auto c = Operator::Control(window, id);
        return c ? c->lines : std::vector<std::u16string>{};
    }

    static void Select(HWND window, int id, int index) {
        EXPECT_EQ(kobalt::desktop::Select(GetDlgItem(window, id), index), InputResult::Ok);
        kobalt::desktop::WaitInputSettled(Operator::kTimeout);
    }

    static void Type(HWND window, int id, const std::u16string& text) {
        EXPECT_EQ(kobalt::desktop::TypeText(GetDlgItem(window, id), text), InputResult::Ok);
        kobalt::desktop::WaitInputSettled(Operator::kTimeout);
    }

    // Polls `condition` until it holds or `bound` (real time) passes; returns the last result.
    static bool WaitFor(const std::function<bool()>& condition,
                        std::chrono::milliseconds bound = std::chrono::milliseconds(10000)) {
        auto deadline = std::chrono::steady_clock::now() + bound;
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
};

inline KOBALT_BdAddr Address(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4,
                             uint8_t b5) {
    return KOBALT_BdAddr{{b0, b1, b2, b3, b4, b5}};
}

inline std::string Hex(const KOBALT_BdAddr* addr) {
    if (addr == nullptr)
        return "null";
    char text[18];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", addr->b[0], addr->b[1], addr->b[2],
                  addr->b[3], addr->b[4], addr->b[5]);
    return text;
}

} // namespace kobalt::test
