// Where windows and controls go on a terminal.
//
// The desktop measures in pixels: a character cell is 8 pixels wide and 16 high, so a dialog
// unit is a quarter column and an eighth of a row. Each edge of a control is rounded to the
// nearest cell edge on its own, which keeps controls that do not overlap in the template apart
// on the screen; a control gets at least one row and one column. Every top-level window is a
// framed box (one cell of border around its client area) centred in the rows above the status
// line, as the window server centres dialogs.
#pragma once

#include "platform/Desktop.h"

#include <vector>

namespace kobalt::terminal {

inline constexpr int kCellWidthPixels = 8;
inline constexpr int kCellHeightPixels = 16;

struct ScreenSize {
    int cols = 0;
    int rows = 0;
    bool operator==(const ScreenSize&) const = default;
};

struct CellRect {
    int col = 0;
    int row = 0;
    int cols = 0;
    int rows = 0;

    int Right() const { return col + cols; }  // exclusive
    int Bottom() const { return row + rows; } // exclusive
    bool Contains(int c, int r) const {
        return c >= col && c < Right() && r >= row && r < Bottom();
    }
    bool operator==(const CellRect&) const = default;
};

// A control's cells relative to its dialog's client area.
CellRect ControlCells(const RECT& pixels);

struct ControlPlace {
    std::size_t index = 0; // into WindowView::controls
    CellRect rect;         // on the screen, not clipped
    // The row of a one-line text centred in the control; of two middle rows the lower, where a
    // label beside an edit (a few dialog units lower) has its text too.
    int textRow = 0;
};

struct WindowPlace {
    CellRect box;      // border included
    CellRect client;   // inside the border
    CellRect closeBox; // the caption's close box ("[x]", "[OK]"); empty when there is none
    std::vector<ControlPlace> controls; // visible controls, in tab order
};

struct ScreenLayout {
    ScreenSize screen;
    int windowRows = 0;               // rows above the status line
    std::vector<WindowPlace> windows; // as Snapshot::windows: topmost first
    int active = -1;                  // index of the window that takes input, -1 when none
    // The active window (else the topmost) does not fit: the terminal shows a notice instead.
    bool tooSmall = false;
    ScreenSize needed; // the size it would need
};

// The caption's close box text of a window, empty when it has none.
const char* CloseBoxText(const desktop::WindowView& window);

ScreenLayout LayOut(const desktop::Snapshot& snapshot, ScreenSize screen);

// The rows a list shows lines in (a list view's header row excluded).
int ListPageRows(const desktop::ControlView& control, const CellRect& rect);

} // namespace kobalt::terminal
