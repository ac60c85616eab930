#include "ControlTestSupport.h"

#include "platform/MessageNames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace kobalt::platform::testing {

namespace {

std::vector<std::string> g_notifications; // WM_COMMAND received by test parents

LRESULT ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) {
        // Asking the desktop about the sender, as handlers do, would hang if the control still
        // held the desktop lock while notifying.
        const bool alive = IsWindow(reinterpret_cast<HWND>(lParam)) != FALSE;
        g_notifications.push_back(std::to_string(wParam & 0xFFFF) + "/" +
                                  std::to_string((wParam >> 16) & 0xFFFF) +
                                  (alive ? "" : " from a dead window"));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::string Join(const std::vector<std::u16string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += (i ? "|" : "") + Utf8(lines[i]);
    }
    return out;
}

} // namespace

std::string Utf8(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
            out += buffer;
        }
    }
    return out;
}

std::u16string Utf16(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

TestParent::TestParent() {
    m_hwnd = CreateWindowExW(0, nullptr, u"test parent", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480,
                             nullptr, nullptr, nullptr, reinterpret_cast<LPVOID>(&ParentProc));
    g_notifications.clear();
}

TestParent::~TestParent() {
    DestroyWindow(m_hwnd);
}

HWND TestParent::Add(LPCWSTR className, DWORD style, int id, int height, LPCWSTR text) {
    return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 200, height,
                           m_hwnd, reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr,
                           nullptr);
}

std::vector<std::string> TestParent::TakeNotifications() {
    return std::move(g_notifications);
}

desktop::ControlView ViewOf(HWND control, std::size_t maxLines) {
    for (auto& window : desktop::TakeSnapshot({maxLines}).windows) {
        for (auto& view : window.controls) {
            if (view.hwnd == control) {
                return view;
            }
        }
    }
    ADD_FAILURE() << "control not in the snapshot";
    return {};
}

Op Send(UINT msg, WPARAM wParam, LPARAM lParam) {
    return {MessageName(msg) + "(" + std::to_string(static_cast<std::intptr_t>(wParam)) + ", " +
                std::to_string(lParam) + ")",
            [=](HWND hwnd) { return SendMessageW(hwnd, msg, wParam, lParam); }};
}

Op SendText(UINT msg, WPARAM wParam, std::u16string text) {
    auto owned = std::make_shared<std::u16string>(std::move(text));
    return {MessageName(msg) + "(" + std::to_string(static_cast<std::intptr_t>(wParam)) + ", \"" +
                Utf8(*owned) + "\")",
            [=](HWND hwnd) {
                return SendMessageW(hwnd, msg, wParam, reinterpret_cast<LPARAM>(owned->c_str()));
            }};
}

void RunSteps(HWND control, const std::vector<Step>& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        SCOPED_TRACE("step " + std::to_string(i) + ": " + step.op.name);
        EXPECT_EQ(step.op.run(control), step.result);
        const desktop::ControlView view = ViewOf(control);
        EXPECT_EQ(Join(view.lines), step.lines);
        EXPECT_EQ(view.selected, step.selected);
    }
}

} // namespace kobalt::platform::testing
