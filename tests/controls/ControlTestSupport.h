// Shared by the control tests: a parent window that records the notifications it receives, the
// snapshot view of one control, and step tables driven through SendMessageW.
#pragma once

#include "platform/Desktop.h"
#include "platform/Windows.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::platform::testing {

// Printable text: ASCII as it is, other code units as \uXXXX.
std::string Utf8(std::u16string_view text);
// ASCII text as UTF-16.
std::u16string Utf16(std::string_view ascii);

// A visible top-level window of the test thread, destroyed with its controls at the end.
class TestParent {
public:
    TestParent();
    ~TestParent();
    TestParent(const TestParent&) = delete;
    TestParent& operator=(const TestParent&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    // Creates a visible child control; `height` in pixels (16 per line).
    HWND Add(LPCWSTR className, DWORD style, int id, int height = 160, LPCWSTR text = u"");
    // The WM_COMMAND notifications received since the last call, as "id/code".
    std::vector<std::string> TakeNotifications();

private:
    HWND m_hwnd = nullptr; // the parent window
};

// The control as front ends see it in a snapshot copying at most `maxLines` lines per list.
desktop::ControlView ViewOf(HWND control, std::size_t maxLines = SIZE_MAX);

// A named action on a control; the name shows in failure output.
struct Op {
    std::string name;
    std::function<LRESULT(HWND)> run;
};
Op Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
Op SendText(UINT msg, WPARAM wParam, std::u16string text); // lParam: the text

// One row of a step table: the action, its result, then the control's lines (joined by '|')
// and selection in the next snapshot.
struct Step {
    Op op;
    LRESULT result;
    std::string lines;
    int selected;
};
void RunSteps(HWND control, const std::vector<Step>& steps);

} // namespace kobalt::platform::testing
