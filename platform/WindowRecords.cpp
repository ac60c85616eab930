// The window table: handles, window records and the operations on them under the desktop lock,
// and the fonts and dialog templates kept behind the same lock.

#include "platform/WindowRecords.h"

#include "platform/DialogTemplate.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <utility>

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

// Where messages posted to each live window go, behind a lock of its own: a posting thread (an
// SDK's callback) looks its target up here and never waits for the desktop lock, which the
// owner thread holds while it changes a control (a sorted insertion into a long list, say).
// Indexed by slot; an entry holds the handle it was made for, so an old handle finds nothing.
// Written with the desktop lock held, so its entries follow the records.
struct Route {
    HWND handle = nullptr;
    std::shared_ptr<ThreadQueue> queue;
};

struct Routes {
    std::mutex mutex;
    std::vector<Route> bySlot;
};

Routes& routes() {
    static Routes* r = new Routes; // never destroyed, as the table
    return *r;
}

void SetRoute(std::size_t slot, Route route) {
    Route old;
    {
        auto& r = routes();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (r.bySlot.size() <= slot)
            r.bySlot.resize(slot + 1);
        old = std::exchange(r.bySlot[slot], std::move(route));
    }
    // `old` may hold the last reference to a queue: it goes after the lock is released.
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
    SetRoute(slot, Route{hwnd, window->ownerQueue});
    t.slots[slot].window = std::move(window);
    return hwnd;
}

void StopPostsLocked(HWND hwnd) {
    std::size_t slot = 0;
    std::uint32_t generation = 0;
    if (FindWindowLocked(hwnd) != nullptr && SplitHandle(hwnd, slot, generation))
        SetRoute(slot, Route{});
}

std::shared_ptr<ThreadQueue> PostQueueOf(HWND hwnd) {
    std::size_t slot = 0;
    std::uint32_t generation = 0;
    if (!SplitHandle(hwnd, slot, generation))
        return nullptr;
    auto& r = routes();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (slot >= r.bySlot.size() || r.bySlot[slot].handle != hwnd)
        return nullptr;
    return r.bySlot[slot].queue;
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
    SetRoute(slot, Route{});
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
