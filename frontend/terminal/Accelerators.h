// The operator's fast keys: single keys that press the console's own buttons, the key help of
// the window on top, and what the front end asks before quitting.
//
// The main window and the telephone (the hands-free dialog) have keys of their own. A key works
// as a plain letter, digit, `*` or `#` while the focus is not in an edit, where the same key
// is typed; with Alt it works from anywhere in its window. A key presses the button as a click
// would, so a disabled button takes none.
#pragma once

#include "frontend/terminal/InputMapper.h"
#include "platform/Desktop.h"

#include <string>
#include <string_view>
#include <vector>

namespace kobalt::terminal {

struct Accelerator {
    char32_t key;             // lower case for letters; upper case works the same
    int control;              // the button's id
    std::string_view keyName; // as the help shows it
    std::string_view label;   // the button's caption
};

// The keys of a window; empty for a window without keys of its own.
std::vector<Accelerator> AcceleratorsOf(const desktop::WindowView& window);

// The click on the window's button that `key` stands for, or nothing.
std::vector<Action> MapAccelerator(const KeyEvent& key, const desktop::WindowView& window);

// The window whose closing ends the console.
bool IsMainWindow(const desktop::WindowView& window);

// Quitting asks first while the Bluetooth stack runs or a call is up, as far as the screen
// shows it: the main window's START button is disabled (START disables it while the stack is
// up) or the telephone is open.
bool QuitNeedsConfirmation(const desktop::Snapshot& snapshot);

// The status line's key help for the window on top (the active window, or none).
std::string StatusKeyHelp(const desktop::WindowView* top);

// The lines of the F1 panel for the window on top.
std::vector<std::string> KeysPanelLines(const desktop::WindowView* top);

// The question the front end asks before quitting.
inline constexpr std::string_view kQuitPrompt = "Quit KOBALTDemo? y/n";

} // namespace kobalt::terminal
