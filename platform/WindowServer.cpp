// The window table: handles, window records and the window functions that work on them.

#include "platform/WindowServer.h"

#include "platform/DialogTemplate.h"
#include "platform/WindowTable.h"

#include <algorithm>
#include <atomic>
#include <map>

namespace kobalt::platform {
namespace {

// Handles are (generation << 32) | (slot + 1): never null, and a destroyed window's handle
// never matches the window that reuses its slot.
struct Slot {
    std::uint32_t generation = 1;
    std::unique_ptr<Window> window; // null when free
};

struct Table {
    std::mutex mutex;
    std::vector<Slot> slots;
    std::vector<std::size_t> freeSlots;
    std::vector<HWND> zorder; // top-level windows, bottom first
    std::map<std::uintptr_t, LOGFONTW> fonts;
    std::uintptr_t nextFont = 1;
    std::map<int, const DialogTemplate*> templates;
};

Table& table() {
    // Never destroyed: windows may be touched by threads still running at exit.
    static Table* t = new Table;
    return *t;
}

std::atomic<std::uint64_t> g_version{1};
std::atomic<int> g_screenWidth{800};
std::atomic<int> g_screenHeight{480};

HWND MakeHandle(std::size_t slot, std::uint32_t generation) {
    auto value = (static_cast<std::uintptr_t>(generation) << 32) | (slot + 1);
    return reinterpret_cast<HWND>(value);
}

bool SplitHandle(HWND hwnd, std::size_t& slot, std::uint32_t& generation) {
    auto value = reinterpret_cast<std::uintptr_t>(hwnd);
    if ((value & 0xFFFFFFFFu) == 0)
        return false;
    slot = static_cast<std::size_t>(value & 0xFFFFFFFFu) - 1;
    generation = static_cast<std::uint32_t>(value >> 32);
    return true;
}

bool EqualsIgnoreCase(const WCHAR* a, const WCHAR* b) {
    for (; *a && *b; ++a, ++b) {
        auto fold = [](WCHAR c) { return (c >= u'A' && c <= u'Z') ? WCHAR(c + 32) : c; };
        if (fold(*a) != fold(*b))
            return false;
    }
    return *a == *b;
}

} // namespace

std::unique_lock<std::mutex> LockDesktop() {
    return std::unique_lock<std::mutex>(table().mutex);
}

void NotifyDesktopChanged() {
    g_version.fetch_add(1, std::memory_order_acq_rel);
    g_version.notify_all();
}

std::uint64_t DesktopVersion() {
    return g_version.load(std::memory_order_acquire);
}

Window* FindWindowLocked(HWND hwnd) {
    std::size_t slot;
    std::uint32_t generation;
    if (!SplitHandle(hwnd, slot, generation))
        return nullptr;
    auto& t = table();
    if (slot >= t.slots.size() || t.slots[slot].generation != generation)
        return nullptr;
    return t.slots[slot].window.get();
}

ControlState* ControlStateLocked(HWND hwnd) {
    Window* w = FindWindowLocked(hwnd);
    return w ? w->state.get() : nullptr;
}

std::u16string* WindowTextLocked(HWND hwnd) {
    Window* w = FindWindowLocked(hwnd);
    return w ? &w->text : nullptr;
}

HWND TopLevelOfLocked(HWND hwnd) {
    Window* w = FindWindowLocked(hwnd);
    while (w && w->parent) {
        hwnd = w->parent;
        w = FindWindowLocked(hwnd);
    }
    return w ? hwnd : nullptr;
}

std::vector<HWND> ZOrderLocked() {
    auto& z = table().zorder;
    return std::vector<HWND>(z.rbegin(), z.rend());
}

HWND ActiveWindowLocked() {
    for (HWND h : ZOrderLocked()) {
        Window* w = FindWindowLocked(h);
        if (w && w->visible && !w->destroying)
            return w->enabled ? h : nullptr;
    }
    return nullptr;
}

void RaiseLocked(HWND hwnd) {
    auto& z = table().zorder;
    z.erase(std::remove(z.begin(), z.end(), hwnd), z.end());
    z.push_back(hwnd);
}

std::vector<HWND> ChildrenOf(HWND parent) {
    auto lock = LockDesktop();
    Window* w = FindWindowLocked(parent);
    return w ? w->children : std::vector<HWND>{};
}

int ScreenWidth() {
    return g_screenWidth.load();
}
int ScreenHeight() {
    return g_screenHeight.load();
}

void SetScreenSizePixels(int width, int height) {
    g_screenWidth.store(width);
    g_screenHeight.store(height);
}

LRESULT CallWindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        if (!w)
            return 0;
        proc = w->proc;
    }
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Creates the record; the caller sends the creation messages.
HWND CreateWindowRecord(std::unique_ptr<Window> window) {
    auto& t = table();
    auto lock = LockDesktop();
    std::size_t slot;
    if (!t.freeSlots.empty()) {
        slot = t.freeSlots.back();
        t.freeSlots.pop_back();
    } else {
        slot = t.slots.size();
        t.slots.emplace_back();
    }
    HWND hwnd = MakeHandle(slot, t.slots[slot].generation);
    window->handle = hwnd;
    if (window->parent) {
        if (Window* p = FindWindowLocked(window->parent))
            p->children.push_back(hwnd);
    } else {
        t.zorder.push_back(hwnd);
    }
    t.slots[slot].window = std::move(window);
    return hwnd;
}

// Frees the record and its children's records. Requires the lock.
void FreeWindowRecordLocked(HWND hwnd) {
    auto& t = table();
    Window* w = FindWindowLocked(hwnd);
    if (!w)
        return;
    for (HWND child : std::vector<HWND>(w->children))
        FreeWindowRecordLocked(child);
    if (w->parent) {
        if (Window* p = FindWindowLocked(w->parent)) {
            auto& c = p->children;
            c.erase(std::remove(c.begin(), c.end(), hwnd), c.end());
            if (p->focus == hwnd)
                p->focus = nullptr;
        }
    }
    t.zorder.erase(std::remove(t.zorder.begin(), t.zorder.end(), hwnd), t.zorder.end());
    std::size_t slot = 0;
    std::uint32_t generation = 0;
    SplitHandle(hwnd, slot, generation); // cannot fail: FindWindowLocked succeeded
    t.slots[slot].window.reset();
    ++t.slots[slot].generation;
    t.freeSlots.push_back(slot);
}

// Forgets every window of a thread that ended without destroying them; their procedures are
// not called any more.
void FreeWindowsOfThread(DWORD threadId) {
    auto& t = table();
    auto lock = LockDesktop();
    std::vector<HWND> owned;
    for (auto& s : t.slots)
        if (s.window && s.window->ownerThread == threadId && !s.window->parent)
            owned.push_back(s.window->handle);
    for (HWND h : owned)
        FreeWindowRecordLocked(h);
    if (!owned.empty())
        NotifyDesktopChanged();
}

bool FontInfoLocked(HFONT font, LOGFONTW& out) {
    auto& fonts = table().fonts;
    auto it = fonts.find(reinterpret_cast<std::uintptr_t>(font));
    if (it == fonts.end())
        return false;
    out = it->second;
    return true;
}

} // namespace kobalt::platform

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
        w->visible = false;
        children = w->children;
    }
    NotifyDesktopChanged();
    // The window first, then its children, as the device does.
    CallWindowProcedure(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : children)
        CallWindowProcedure(child, WM_DESTROY, 0, 0);
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

HFONT CreateFontIndirectW(const LOGFONTW* font) {
    if (!font)
        return nullptr;
    auto& t = table();
    auto lock = LockDesktop();
    std::uintptr_t id = t.nextFont++;
    t.fonts[id] = *font;
    t.fonts[id].lfFaceName[LF_FACESIZE - 1] = 0;
    return reinterpret_cast<HFONT>(id);
}

BOOL DeleteObject(HFONT font) {
    auto lock = LockDesktop();
    return table().fonts.erase(reinterpret_cast<std::uintptr_t>(font)) ? TRUE : FALSE;
}

BOOL GetFontInfo(HFONT font, LOGFONTW* out) {
    auto lock = LockDesktop();
    LOGFONTW info;
    if (!out || !FontInfoLocked(font, info))
        return FALSE;
    *out = info;
    return TRUE;
}

void RegisterDialogTemplate(const DialogTemplate* tmpl) {
    if (!tmpl)
        return;
    auto lock = LockDesktop();
    table().templates[tmpl->id] = tmpl;
}

const DialogTemplate* FindDialogTemplate(int id) {
    auto lock = LockDesktop();
    auto& templates = table().templates;
    auto it = templates.find(id);
    return it == templates.end() ? nullptr : it->second;
}

std::vector<const DialogTemplate*> DialogTemplates() {
    auto lock = LockDesktop();
    std::vector<const DialogTemplate*> all;
    for (const auto& [id, tmpl] : table().templates) {
        all.push_back(tmpl);
    }
    return all;
}

bool kobalt::platform::ClassNameEquals(const WCHAR* a, const WCHAR* b) {
    return EqualsIgnoreCase(a, b);
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
