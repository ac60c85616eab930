// Internal to the platform: the window table that every window service works on.
//
// One lock guards the table and every window's state, control state included. Window
// procedures are never called with the lock held.
#pragma once

#include "platform/Desktop.h"
#include "platform/Windows.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kobalt::platform {

// Private state of a control, owned by its window record.
struct ControlState {
    virtual ~ControlState() = default;
    // Fills the control's contents into a snapshot view. Called with the lock held.
    virtual void Describe(desktop::ControlView& view,
                          const desktop::SnapshotOptions& options) const = 0;
};

// What the window server needs to know of a control class.
struct ControlClass {
    const WCHAR* name;                                    // WC_BUTTON, WC_LISTBOX, ...
    WNDPROC proc;                                         // the class's window procedure
    desktop::ControlKind (*kindFor)(DWORD style);         // what front ends see
    std::unique_ptr<ControlState> (*create)(DWORD style); // state for a new window
};

// The built-in control class of that name (compared case-insensitively), or null.
// Defined in controls/Controls.cpp.
const ControlClass* FindControlClass(const WCHAR* name);

// Input from front ends, posted by the desktop to the target control (system range, unused by
// the device). Controls handle them like the operator's own action and notify their parent.
constexpr UINT KM_INPUT_SELECT = 0x0390; // wParam: index, or (WPARAM)-1 to clear
constexpr UINT KM_INPUT_TYPE = 0x0391;   // lParam: const std::u16string* valid during dispatch
constexpr UINT KM_INPUT_SCROLL = 0x0392; // wParam: new top index
// A click on a button is BM_CLICK; the close box is WM_CLOSE; focus is WM_SETFOCUS.

// The lock over the window table and all window state.
std::unique_lock<std::mutex> LockDesktop();

// The control state of a window, or null for a dead handle or a window of another kind.
// Requires the lock.
ControlState* ControlStateLocked(HWND hwnd);
template <class T> T* ControlStateAs(HWND hwnd) {
    return dynamic_cast<T*>(ControlStateLocked(hwnd));
}

// The child windows of a window in creation order (empty for a dead handle).
// Takes the lock itself: call without it.
std::vector<HWND> ChildrenOf(HWND parent);

// Class names compare case-insensitively (ASCII).
bool ClassNameEquals(const WCHAR* a, const WCHAR* b);

// Marks the desktop as changed (front ends redraw). Safe with or without the lock.
void NotifyDesktopChanged();

// The text of a window (the caption of a button, the text of an edit). Requires the lock.
std::u16string* WindowTextLocked(HWND hwnd);

// Sends a WM_COMMAND notification (code, control id) from a control to its parent.
// Call without the lock, on the control's owner thread.
void NotifyParent(HWND control, WORD code);

} // namespace kobalt::platform
