// Internal to the platform: the window records and the operations on them that need the desktop
// lock (LockDesktop, ControlServices.h). Everything here is guarded as documented per field.
#pragma once

#include "platform/ControlClasses.h"
#include "platform/ControlServices.h"
#include "platform/DesktopViews.h"
#include "platform/Windows.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kobalt::platform {

struct ThreadQueue; // ThreadQueue.h; the records only hold their owner's

// One window. Guarded by the desktop lock.
struct Window {
    HWND handle = nullptr;                   // slot and generation
    DWORD ownerThread = 0;                   // the thread that created it
    std::shared_ptr<ThreadQueue> ownerQueue; // where its messages go
    HWND parent = nullptr;                   // dialog of a control; null for top-level
    int id = 0;                              // control id
    DWORD style = 0;
    DWORD exStyle = 0;
    std::u16string text; // caption or control text
    bool enabled = true;
    bool visible = false;
    bool destroying = false; // WM_DESTROY sent; no new messages
    RECT rect{};             // pixels; controls relative to the parent
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;               // GWLP_USERDATA
    const ControlClass* cls = nullptr;   // null for dialogs and plain windows
    std::unique_ptr<ControlState> state; // control state, when cls is set
    HFONT font = nullptr;                // WM_SETFONT
    HICON iconBig = nullptr;             // WM_SETICON
    HICON iconSmall = nullptr;
    desktop::WindowKind kind = desktop::WindowKind::Other;
    int templateId = 0;         // dialog template, 0 when none
    std::vector<HWND> children; // creation (tab) order
    HWND focus = nullptr;       // top-level: the focused control
    bool dialogEnded = false;   // EndDialog was called
    INT_PTR dialogResult = 0;   // its result
    std::u16string boxText;     // message boxes: the message
};

// With the desktop lock held:
Window* FindWindowLocked(HWND hwnd); // null when dead or unknown
HWND TopLevelOfLocked(HWND hwnd);    // the window itself or its top-level ancestor
std::vector<HWND> ZOrderLocked();    // top-level windows, topmost first
HWND ActiveWindowLocked();           // topmost visible enabled top-level window
void RaiseLocked(HWND hwnd);         // puts a top-level window on top

// Screen size in pixels.
int ScreenWidth();
int ScreenHeight();
void SetScreenSizePixels(int width, int height);

// The desktop's change counter (NotifyDesktopChanged bumps it; waiters use atomic wait).
std::uint64_t DesktopVersion();

// Adds a window record (and links it to its parent or the z-order); returns its handle.
HWND CreateWindowRecord(std::unique_ptr<Window> window);
// Posts to `hwnd` fail from now on (it is being destroyed). Requires the lock.
void StopPostsLocked(HWND hwnd);
// The queue that messages posted to `hwnd` go to: null when the window is unknown, freed or
// being destroyed. Takes a lock of its own, never the desktop lock.
std::shared_ptr<ThreadQueue> PostQueueOf(HWND hwnd);
// Frees a record and its children's. Requires the lock.
void FreeWindowRecordLocked(HWND hwnd);
// Forgets the windows of a thread that ended.
void FreeWindowsOfThread(DWORD threadId);
// The face and height a font was created with. Requires the lock.
bool FontInfoLocked(HFONT font, LOGFONTW& out);

} // namespace kobalt::platform
