// Internal to the platform: the one place where messages reach window procedures, and the
// message trace that watches it (KOBALT_DEBUG=+msg).
#pragma once

#include "platform/Windows.h"

#include <string>

namespace kobalt::platform {

// How a message came to its window: sent (waited for) or posted (queued and dispatched).
enum class Delivery { Sent, Posted };

// Calls `proc` (DefWindowProcW when null) with a message for `hwnd` on the calling thread.
// Call without the desktop lock.
LRESULT DeliverMessage(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                       Delivery how);

// Looks up the window procedure of `hwnd` and delivers the message to it on the calling thread;
// 0 when the window is gone. Call without the desktop lock.
LRESULT CallWindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Delivery how);

// The trace's line for one delivery on thread `threadId`, e.g.
// "msg: sent WM_COMMAND hwnd=0x100000002 wParam=0x10005 lParam=0x100000003 thread=1".
std::u16string MessageTraceLine(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Delivery how,
                                DWORD threadId);

} // namespace kobalt::platform
