// Internal to the platform: what the window server knows of a control class, and the messages
// front-end input reaches controls with.
#pragma once

#include "platform/DesktopViews.h"
#include "platform/Windows.h"

#include <memory>

namespace kobalt::platform {

// Private state of a control, owned by its window record.
struct ControlState {
    virtual ~ControlState() = default;
    // Fills the control's contents into a snapshot view. Called with the desktop lock held.
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

} // namespace kobalt::platform
