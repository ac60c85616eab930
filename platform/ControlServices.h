// Internal to the platform: what a control's window procedure may use of the window server.
//
// One lock guards the window table and every window's state, control state included. Window
// procedures are never called with the lock held. Defined with the window records
// (WindowRecords.cpp) and the window functions (WindowServer.cpp).
#pragma once

#include "platform/ControlClasses.h"
#include "platform/Windows.h"

#include <mutex>
#include <string>
#include <vector>

namespace kobalt::platform {

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

// Marks the desktop as changed (front ends redraw). Safe with or without the lock.
void NotifyDesktopChanged();

// The text of a window (the caption of a button, the text of an edit). Requires the lock.
std::u16string* WindowTextLocked(HWND hwnd);

// Sends a WM_COMMAND notification (code, control id) from a control to its parent.
// Call without the lock, on the control's owner thread.
void NotifyParent(HWND control, WORD code);

} // namespace kobalt::platform
