// The screen as a pure function of the desktop: windows, status line, debug view.
#pragma once

#include "frontend/terminal/Grid.h"
#include "frontend/terminal/Layout.h"
#include "platform/Desktop.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace kobalt::terminal {

// The device's indicators shown in the status line.
struct StatusInfo {
    bool callAudioOn = false;
    bool suspended = false;
};

// An occurrence to highlight: `length` UTF-16 units from `from` of DebugWindow::lines[line].
struct DebugMatch {
    std::size_t line = 0;
    std::size_t from = 0;
    std::size_t length = 0;
};

// The part of the event log the debug view can show: `lines` are lines `first`.. of `total`.
struct DebugWindow {
    std::vector<std::u16string> lines;
    std::size_t first = 0;
    std::size_t total = 0;
    std::vector<DebugMatch> matches; // drawn highlighted
    std::u16string bottom;           // the view's bottom line: help, a prompt or an outcome
    bool prompting = false;          // the cursor stands at the end of `bottom`
};

// What the operator has set up that the desktop does not keep.
struct UiState {
    bool debugView = false;
    std::size_t debugBack = 0;      // debug view: lines scrolled back from the newest
    std::map<HWND, int> editScroll; // first glyph shown of each edit that was drawn scrolled
    HWND selectedEdit = nullptr;    // the edit whose whole text is selected (focus came by Tab)
    std::map<HWND, int> listShift;  // columns each list is scrolled to the left
    // The button, or the window whose close box, the mouse button went down on: it acts when
    // the mouse button comes up over it again, as a pen lifted on it does.
    HWND armed = nullptr;
    bool armedCloseBox = false;
};

struct Frame {
    explicit Frame(ScreenSize size) : grid(size.cols, size.rows) {}

    Grid grid;
    // The terminal's cursor: at the caret of the focused edit of the active window, or on the
    // current line of its focused list.
    bool cursorVisible = false;
    int cursorCol = 0;
    int cursorRow = 0;
    std::map<HWND, int> editScroll; // the edits' scroll positions as drawn, for the next frame
    std::map<HWND, int> listShift;  // the lists' horizontal scroll as drawn, for the next frame
};

struct RenderInput {
    const desktop::Snapshot& snapshot;
    const ScreenLayout& layout; // LayOut(snapshot, size)
    const DebugWindow& debug;
    StatusInfo status;
    const UiState& ui;
};

Frame Render(const RenderInput& input);

// Rows of log lines the debug view shows on a screen of `rows` rows (less its title, its
// bottom line and the status line).
int DebugViewRows(int rows);

// The first glyph an edit `width` columns wide shows so that the caret (a glyph index, or the
// glyph count for the end) is visible, moving the least from `previous` and leaving no blank
// space at the right while text is scrolled out at the left.
int EditScroll(int previous, const std::vector<Glyph>& glyphs, int caretGlyph, int width);

// The glyph the caret (in UTF-16 code units) stands before.
int CaretGlyph(const std::vector<Glyph>& glyphs, int caret);

// The selected line of the active window's focused list, its columns joined and headed, or
// empty when no such list has a selected line the snapshot copied. The status line shows it
// in full in place of the key help.
std::u16string SelectedLineText(const desktop::Snapshot& snapshot, const ScreenLayout& layout);

// The key help at the left of the status line.
inline constexpr const char* kKeyHelp =
    "F2 Power  F3 Log  F10 Quit  (^P ^G ^Q)  Tab Move  Enter Press  Esc Close";
// The same while the event log is shown, whose keys differ.
inline constexpr const char* kLogKeyHelp =
    "Esc/F3 Back  / Search  n N Next  s Save  F2 Power  F10 Quit  (^P ^Q)";

} // namespace kobalt::terminal
