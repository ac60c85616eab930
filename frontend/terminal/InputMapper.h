// The operator's keys and mouse as actions on the desktop, a pure mapping.
//
// Input goes to the active window only, and disabled controls take none. Device keys work
// everywhere: F1 shows the keys of the window on top, F2 (or Ctrl-P) switches the device's
// power, F3 (or Ctrl-G) the debug view, F10 (or Ctrl-Q) quits; Ctrl-C quits too, and a second
// Ctrl-C ends the program at once. Esc closes a dialog or message box, never the main window.
// The main window and the telephone have keys of their own (Accelerators.h).
#pragma once

#include "frontend/terminal/Layout.h"
#include "frontend/terminal/Renderer.h"
#include "platform/Desktop.h"

#include <climits>
#include <string>
#include <vector>

namespace kobalt::terminal {

enum class Key {
    Char, // `ch`: a character, or a control character (Ctrl-letter) the terminal passed on
    Tab,
    BackTab,
    Enter,
    Escape,
    Backspace,
    Delete,
    Left,
    Right,
    Up,
    Down,
    Home,
    End,
    PageUp,
    PageDown,
    F1,
    F2,
    F3,
    F10,
    Other,
};

struct KeyEvent {
    Key key = Key::Other;
    char32_t ch = 0;
    bool alt = false; // `ch` came with Alt (Escape and the character at once)
};

struct MouseEvent {
    // Press and Release: the first button. WheelLeft and WheelRight: the wheel turned with
    // Shift held.
    enum class Kind { Press, Release, WheelUp, WheelDown, WheelLeft, WheelRight };
    Kind kind = Kind::Press;
    int col = 0;
    int row = 0;
};

struct Action {
    enum class Kind {
        Focus,       // target takes the focus
        Click,       // target button is pressed
        Select,      // target list selects entry `value`
        Scroll,      // target list scrolls to top index `value`
        Type,        // target edit's text becomes `text` (caret at its end)
        Caret,       // target edit's caret goes to `value`
        Close,       // target window's close box
        Answer,      // target message box is answered with button `value`
        Power,       // the device's power: suspend when on, resume when suspended
        DebugView,   // the debug view on or off
        DebugScroll, // the debug view scrolls `value` lines back (negative: forward)
        Quit,        // close the console from the top; asks first while it is busy
        Keys,        // the keys of the window on top, shown until the next key
        SelectAll,   // target edit's whole text is selected: the next character replaces it
        Interrupt,   // Ctrl-C: quit, or end at once when already quitting
        ShiftList,   // target list is drawn scrolled `value` columns to the left
        Arm,         // target button (`value` 1: target window's close box) acts on release
    };
    Kind kind = Kind::Focus;
    HWND target = nullptr;
    int value = 0;
    std::u16string text;
};

// DebugScroll values that go to the oldest and to the newest line.
inline constexpr int kDebugOldest = INT_MAX;
inline constexpr int kDebugNewest = INT_MIN;

struct InputContext {
    const desktop::Snapshot& snapshot;
    const ScreenLayout& layout; // LayOut(snapshot, the terminal's size)
    const UiState& ui;
};

std::vector<Action> MapKey(const KeyEvent& key, const InputContext& context);
std::vector<Action> MapMouse(const MouseEvent& mouse, const InputContext& context);

// What a cell is on, as the mouse sees it: the part of the active window there that takes
// input. Only the topmost window under the cell counts, and only when it is the active one.
struct MouseHit {
    enum class Part {
        None,       // nothing that takes input
        CloseBox,   // the window's close box
        Control,    // a control that takes input, on none of the parts below
        ListRow,    // a list's line `line`
        ScrollUp,   // the upper half of a list's scroll indicator
        ScrollDown, // its lower half
    };
    Part part = Part::None;
    const desktop::WindowView* window = nullptr;   // all but None
    const desktop::ControlView* control = nullptr; // Control and the list's parts
    const CellRect* content = nullptr;             // the control's cells inside its border
    int line = 0;                                  // ListRow: an index into the list's lines
};

MouseHit HitTest(int col, int row, const InputContext& context);

// Lines back from the newest the debug view may be scrolled: it never scrolls past the oldest.
std::size_t ClampDebugBack(long long back, std::size_t total, int rows);

} // namespace kobalt::terminal
