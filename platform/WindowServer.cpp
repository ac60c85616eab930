// The window functions: creating and destroying windows, their text, state, position and focus,
// and the default window procedure. The records themselves are kept in WindowRecords.cpp.

#include "platform/ControlClasses.h"
#include "platform/MessageDelivery.h"
#include "platform/ThreadQueue.h"
#include "platform/WindowRecords.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

using namespace kobalt::platform;

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR text, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU idOrMenu, HINSTANCE, LPVOID param) {
    auto window = std::make_unique<Window>();
    window->ownerThread = GetCurrentThreadId();
    window->ownerQueue = CurrentQueue();
    window->exStyle = exStyle;
    window->style = style;
    window->text = text ? text : u"";
    window->rect = RECT{x, y, x + width, y + height};
    window->visible = (style & WS_VISIBLE) != 0;
    window->enabled = (style & WS_DISABLED) == 0;
    if (className) {
        const ControlClass* cls = FindControlClass(className);
        if (!cls) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        window->cls = cls;
        window->proc = cls->proc;
        window->state = cls->create(style);
    } else {
        window->proc = reinterpret_cast<WNDPROC>(param);
    }
    if (parent) {
        auto lock = LockDesktop();
        Window* p = FindWindowLocked(parent);
        if (!p) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        window->parent = parent;
        window->id = static_cast<int>(reinterpret_cast<std::intptr_t>(idOrMenu));
    }
    HWND hwnd = CreateWindowRecord(std::move(window));
    SendMessageW(hwnd, WM_CREATE, 0, 0);
    NotifyDesktopChanged();
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    std::vector<HWND> children;
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        if (!w || w->destroying) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (w->ownerThread != GetCurrentThreadId()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE; // only the owner thread destroys its windows
        }
        w->destroying = true;
        StopPostsLocked(hwnd);
        w->visible = false;
        children = w->children;
    }
    NotifyDesktopChanged();
    // The window first, then its children, as the device does.
    CallWindowProcedure(hwnd, WM_DESTROY, 0, 0, Delivery::Sent);
    for (HWND child : children)
        CallWindowProcedure(child, WM_DESTROY, 0, 0, Delivery::Sent);
    {
        auto lock = LockDesktop();
        FreeWindowRecordLocked(hwnd);
    }
    NotifyDesktopChanged();
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    auto lock = LockDesktop();
    return FindWindowLocked(hwnd) != nullptr;
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
    auto lock = LockDesktop();
    Window* w = FindWindowLocked(hwnd);
    if (processId)
        *processId = w ? 1 : 0;
    return w ? w->ownerThread : 0;
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SETTEXT: {
        {
            auto lock = LockDesktop();
            Window* w = FindWindowLocked(hwnd);
            if (!w)
                return FALSE;
            auto text = reinterpret_cast<LPCWSTR>(lParam);
            w->text = text ? text : u"";
        }
        NotifyDesktopChanged();
        return TRUE;
    }
    case WM_GETTEXT: {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        auto buffer = reinterpret_cast<LPWSTR>(lParam);
        auto capacity = static_cast<std::size_t>(wParam);
        if (!w || !buffer || capacity == 0)
            return 0;
        std::size_t n = std::min(w->text.size(), capacity - 1);
        std::copy_n(w->text.data(), n, buffer);
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_SETFONT: {
        {
            auto lock = LockDesktop();
            if (Window* w = FindWindowLocked(hwnd))
                w->font = reinterpret_cast<HFONT>(wParam);
        }
        NotifyDesktopChanged();
        return 0;
    }
    case WM_GETFONT: {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        return w ? reinterpret_cast<LRESULT>(w->font) : 0;
    }
    case WM_SETICON: {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        if (!w)
            return 0;
        HICON& slot = wParam ? w->iconBig : w->iconSmall;
        HICON old = slot;
        slot = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_SETFOCUS: {
        {
            auto lock = LockDesktop();
            Window* w = FindWindowLocked(hwnd);
            if (w && w->parent)
                if (Window* p = FindWindowLocked(TopLevelOfLocked(hwnd)))
                    p->focus = hwnd;
        }
        NotifyDesktopChanged();
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    default:
        return 0;
    }
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    bool wasDisabled;
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        if (!w)
            return FALSE;
        wasDisabled = !w->enabled;
        w->enabled = enable != FALSE;
    }
    NotifyDesktopChanged();
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
    auto lock = LockDesktop();
    Window* w = FindWindowLocked(hwnd);
    return (w && w->enabled) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
    bool wasVisible;
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        if (!w)
            return FALSE;
        wasVisible = w->visible;
        w->visible = cmdShow != SW_HIDE;
        if (w->visible)
            w->style |= WS_VISIBLE;
        else
            w->style &= ~WS_VISIBLE;
    }
    NotifyDesktopChanged();
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    auto lock = LockDesktop();
    Window* w = FindWindowLocked(hwnd);
    return (w && w->visible) ? TRUE : FALSE;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int capacity) {
    if (!buffer || capacity <= 0)
        return 0;
    buffer[0] = 0;
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(capacity),
                                         reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND hwnd) {
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

HWND GetDlgItem(HWND dialog, int id) {
    auto lock = LockDesktop();
    Window* w = FindWindowLocked(dialog);
    if (!w)
        return nullptr;
    for (HWND child : w->children) {
        Window* c = FindWindowLocked(child);
        if (c && c->id == id)
            return child;
    }
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
    auto lock = LockDesktop();
    Window* w = FindWindowLocked(hwnd);
    return w ? w->id : 0;
}

HWND GetParent(HWND hwnd) {
    auto lock = LockDesktop();
    Window* w = FindWindowLocked(hwnd);
    return w ? w->parent : nullptr;
}

HWND SetFocus(HWND hwnd) {
    HWND previous = nullptr;
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        if (!w)
            return nullptr;
        Window* top = FindWindowLocked(TopLevelOfLocked(hwnd));
        if (top) {
            previous = top->focus;
            if (w->parent)
                top->focus = hwnd;
        }
    }
    NotifyDesktopChanged();
    return previous;
}

HWND GetFocus() {
    auto lock = LockDesktop();
    DWORD self = GetCurrentThreadId();
    for (HWND h : ZOrderLocked()) {
        Window* w = FindWindowLocked(h);
        if (w && w->ownerThread == self && w->visible)
            return w->focus ? w->focus : h;
    }
    return nullptr;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    auto lock = LockDesktop();
    Window* w = FindWindowLocked(hwnd);
    if (!w)
        return 0;
    switch (index) {
    case GWL_STYLE:
        return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_USERDATA:
        return w->userData;
    default:
        return 0;
    }
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    LONG_PTR old = 0;
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        if (!w)
            return 0;
        switch (index) {
        case GWL_STYLE:
            old = static_cast<LONG_PTR>(w->style);
            w->style = static_cast<DWORD>(value);
            w->visible = (w->style & WS_VISIBLE) != 0;
            break;
        case GWL_EXSTYLE:
            old = static_cast<LONG_PTR>(w->exStyle);
            w->exStyle = static_cast<DWORD>(value);
            break;
        case GWLP_USERDATA:
            old = w->userData;
            w->userData = value;
            break;
        default:
            return 0;
        }
    }
    NotifyDesktopChanged();
    return old;
}

LONG GetWindowLongW(HWND hwnd, int index) {
    return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    auto lock = LockDesktop();
    Window* w = FindWindowLocked(hwnd);
    if (!w || !rect)
        return FALSE;
    *rect = w->rect;
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER);
}

BOOL SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        if (!w)
            return FALSE;
        RECT r = w->rect;
        if (!(flags & SWP_NOMOVE)) {
            LONG width = r.right - r.left, height = r.bottom - r.top;
            r = RECT{x, y, x + width, y + height};
        }
        if (!(flags & SWP_NOSIZE)) {
            r.right = r.left + cx;
            r.bottom = r.top + cy;
        }
        w->rect = r;
    }
    NotifyDesktopChanged();
    return TRUE;
}

namespace {
struct DeferredMove {
    HWND hwnd;
    int x, y, cx, cy;
    UINT flags;
};
struct DeferredMoves {
    std::vector<DeferredMove> moves;
};
} // namespace

HDWP BeginDeferWindowPos(int count) {
    auto* info = new DeferredMoves;
    info->moves.reserve(static_cast<std::size_t>(std::max(count, 0)));
    return reinterpret_cast<HDWP>(info);
}

HDWP DeferWindowPos(HDWP info, HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
    if (!info)
        return nullptr;
    reinterpret_cast<DeferredMoves*>(info)->moves.push_back({hwnd, x, y, cx, cy, flags});
    return info;
}

BOOL EndDeferWindowPos(HDWP info) {
    if (!info)
        return FALSE;
    std::unique_ptr<DeferredMoves> moves(reinterpret_cast<DeferredMoves*>(info));
    for (const auto& m : moves->moves)
        SetWindowPos(m.hwnd, nullptr, m.x, m.y, m.cx, m.cy, m.flags);
    return TRUE;
}

BOOL MapDialogRect(HWND, RECT* rect) {
    if (!rect)
        return FALSE;
    // A dialog unit is a quarter of an 8-pixel column and an eighth of a 16-pixel row.
    rect->left *= 2;
    rect->right *= 2;
    rect->top *= 2;
    rect->bottom *= 2;
    return TRUE;
}

HICON LoadIconW(HINSTANCE, int resourceId) {
    // Icons are not drawn; the handle names the resource.
    return reinterpret_cast<HICON>(static_cast<std::uintptr_t>(resourceId) + 0x10000u);
}

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return ScreenWidth();
    case SM_CYSCREEN:
        return ScreenHeight();
    default:
        return 0;
    }
}

void kobalt::platform::NotifyParent(HWND control, WORD code) {
    HWND parent;
    int id;
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(control);
        if (!w || !w->parent)
            return;
        parent = w->parent;
        id = w->id;
    }
    auto wParam = static_cast<WPARAM>((static_cast<std::uint32_t>(code) << 16) |
                                      (static_cast<std::uint32_t>(id) & 0xFFFFu));
    SendMessageW(parent, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(control));
}
