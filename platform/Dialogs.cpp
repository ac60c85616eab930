// Dialogs from templates, the modal loop and message boxes.
//
// A modal loop disables the calling thread's other top-level windows, dispatches every message
// of the thread until its dialog's end flag is set (EndDialog sets it and posts a wake-up), and
// checks after every dispatch that its dialog still exists.

#include "platform/DialogTemplate.h"
#include "platform/ThreadQueue.h"
#include "platform/WindowRecords.h"

#include <algorithm>

namespace kobalt::platform {
namespace {

// Pixels of a dialog-unit rectangle (see MapDialogRect).
RECT DluToPixels(int x, int y, int cx, int cy) {
    RECT r{x, y, x + cx, y + cy};
    MapDialogRect(nullptr, &r);
    return r;
}

void CenterOnScreen(HWND hwnd) {
    RECT r;
    if (!GetWindowRect(hwnd, &r))
        return;
    LONG width = r.right - r.left, height = r.bottom - r.top;
    LONG x = std::max<LONG>(0, (ScreenWidth() - width) / 2);
    LONG y = std::max<LONG>(0, (ScreenHeight() - height) / 2);
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

HWND CreateTopLevel(desktop::WindowKind kind, int templateId, LPCWSTR caption, DWORD style,
                    DWORD exStyle, RECT rect, WNDPROC proc, LPARAM userData) {
    auto window = std::make_unique<Window>();
    window->ownerThread = GetCurrentThreadId();
    window->ownerQueue = CurrentQueue();
    window->kind = kind;
    window->templateId = templateId;
    window->text = caption ? caption : u"";
    window->style = style & ~WS_VISIBLE;
    window->exStyle = exStyle;
    window->rect = rect;
    window->proc = proc;
    window->userData = userData;
    return CreateWindowRecord(std::move(window));
}

// Message boxes: an OK (and Cancel) button; closing answers Cancel when there is one, else OK.
LRESULT CALLBACK_MessageBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND: {
        int id = static_cast<int>(wParam & 0xFFFF);
        if (id == IDOK || id == IDCANCEL)
            EndDialog(hwnd, id);
        return 0;
    }
    case WM_CLOSE:
        EndDialog(hwnd, GetDlgItem(hwnd, IDCANCEL) ? IDCANCEL : IDOK);
        return 0;
    default:
        return DefDlgProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace
} // namespace kobalt::platform

using namespace kobalt::platform;

HWND CreateDialogIndirectParamW(HINSTANCE instance, const DialogTemplate* tmpl, HWND parent,
                                WNDPROC proc, LPARAM userData) {
    if (!tmpl || !proc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    (void)parent; // dialogs are top-level windows; an owner only matters for z-order
    HWND dialog =
        CreateTopLevel(kobalt::desktop::WindowKind::Dialog, tmpl->id, tmpl->caption, tmpl->style,
                       tmpl->exStyle, DluToPixels(0, 0, tmpl->cx, tmpl->cy), proc, userData);
    CenterOnScreen(dialog);
    for (const auto& c : tmpl->controls) {
        RECT r = DluToPixels(c.x, c.y, c.cx, c.cy);
        HWND control = CreateWindowExW(0, c.kind, c.caption, c.style | WS_CHILD, r.left, r.top,
                                       r.right - r.left, r.bottom - r.top, dialog,
                                       reinterpret_cast<HMENU>(static_cast<std::intptr_t>(c.id)),
                                       instance, nullptr);
        if (!control) {
            DestroyWindow(dialog);
            return nullptr;
        }
    }
    // The first enabled tab stop takes the focus unless WM_INITDIALOG returns FALSE.
    HWND first = nullptr;
    for (HWND child : ChildrenOf(dialog)) {
        if ((GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) && IsWindowEnabled(child)) {
            first = child;
            break;
        }
    }
    LRESULT setFocus =
        SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), userData);
    if (setFocus && first && IsWindow(dialog))
        SetFocus(first);
    if (IsWindow(dialog) && (tmpl->style & WS_VISIBLE))
        ShowWindow(dialog, SW_SHOW);
    return IsWindow(dialog) ? dialog : nullptr;
}

LRESULT DefDlgProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CLOSE:
        // The close box is the Cancel command.
        SendMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        return 0;
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(dialog);
        if (!w)
            return FALSE;
        w->dialogEnded = true;
        w->dialogResult = result;
    }
    PostMessageW(dialog, WM_NULL, 0, 0); // wakes the modal loop
    return TRUE;
}

INT_PTR RunModalDialog(HWND dialog) {
    DWORD self = GetCurrentThreadId();
    std::vector<HWND> disabled;
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(dialog);
        if (!w || w->ownerThread != self)
            return -1;
        for (HWND h : ZOrderLocked()) {
            Window* other = FindWindowLocked(h);
            if (h != dialog && other && other->ownerThread == self && other->enabled &&
                !other->destroying) {
                other->enabled = false;
                disabled.push_back(h);
            }
        }
        w->visible = true;
        w->style |= WS_VISIBLE;
        RaiseLocked(dialog);
    }
    NotifyDesktopChanged();

    INT_PTR result = -1;
    EnterModalLoop();
    for (;;) {
        {
            auto lock = LockDesktop();
            Window* w = FindWindowLocked(dialog);
            if (!w)
                break; // destroyed some other way
            if (w->dialogEnded) {
                result = w->dialogResult;
                break;
            }
        }
        if (!PumpOneMessage())
            break; // WM_QUIT: leave it posted for the outer loop
    }
    LeaveModalLoop();

    {
        auto lock = LockDesktop();
        for (HWND h : disabled)
            if (Window* other = FindWindowLocked(h))
                other->enabled = true;
    }
    NotifyDesktopChanged();
    if (IsWindow(dialog))
        DestroyWindow(dialog);
    return result;
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    (void)owner; // the box disables the calling thread's windows, the owner among them
    std::u16string message = text ? text : u"";
    // Size: wide enough for the longest line, a line per row, plus the button row.
    int columns = 12, rows = 1, current = 0;
    for (WCHAR c : message) {
        if (c == u'\n') {
            ++rows;
            current = 0;
        } else {
            columns = std::max(columns, ++current + 4);
        }
    }
    columns = std::min(columns, std::max(16, ScreenWidth() / 8 - 2));
    RECT rect{0, 0, columns * 8, (rows + 4) * 16};
    HWND box =
        CreateTopLevel(kobalt::desktop::WindowKind::MessageBox, 0, caption ? caption : u"Error",
                       WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, rect, CALLBACK_MessageBoxProc, 0);
    {
        auto lock = LockDesktop();
        if (Window* w = FindWindowLocked(box))
            w->boxText = message;
    }
    CenterOnScreen(box);
    bool withCancel = (type & 0xF) == MB_OKCANCEL;
    int buttonWidth = 8 * 8, y = (rows + 2) * 16;
    int x = withCancel ? rect.right / 2 - buttonWidth - 8 : (rect.right - buttonWidth) / 2;
    HWND ok = CreateWindowExW(
        0, WC_BUTTON, u"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, x, y,
        buttonWidth, 16, box, reinterpret_cast<HMENU>(static_cast<std::intptr_t>(IDOK)), nullptr,
        nullptr);
    if (withCancel)
        CreateWindowExW(0, WC_BUTTON, u"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                        rect.right / 2 + 8, y, buttonWidth, 16, box,
                        reinterpret_cast<HMENU>(static_cast<std::intptr_t>(IDCANCEL)), nullptr,
                        nullptr);
    SetFocus(ok);
    INT_PTR result = RunModalDialog(box);
    return result == IDCANCEL ? IDCANCEL : IDOK;
}

RECT DialogUnitsToPixels(RECT dialogUnits) {
    MapDialogRect(nullptr, &dialogUnits);
    return dialogUnits;
}
