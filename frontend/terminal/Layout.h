// Where windows and controls go on a terminal.
//
// The desktop measures in pixels: a character cell is 8 pixels wide and 16 high, so a dialog
// unit is a quarter column and an eighth of a row. Each edge of a control is rounded to the
// nearest cell edge on its own, which keeps controls that do not overlap in the template apart
// on the screen; a control gets at least one row and one column. Every top-level window is a
// framed box (one cell of border around its client area) centred in the rows above the status
// line, as the window server centres dialogs.
//
// A control whose style asks for a border (WS_BORDER, a group box) draws it inside its own
// cells, as the device draws it inside the control's rectangle: a box when the control has
// three rows, a lid (top edge and sides) on two rows, the sides alone on one row. Narrower than
// three columns it has none.
#pragma once

#include "frontend/terminal/TextCells.h"
#include "platform/Desktop.h"

#include <string>
#include <string_view>

#include <cstdint>
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

enum class Border : std::uint8_t {
    None,
    Box,   // all four edges
    Lid,   // top edge and sides: the control has two rows
    Sides, // left and right edges: the control has one row
};

struct ControlPlace {
    std::size_t index = 0; // into WindowView::controls
    CellRect rect;         // on the screen, border included, not clipped
    CellRect content;      // inside the border (the whole rect when there is none)
    Border border = Border::None;
    // The row of a one-line text centred in the content; of two middle rows the lower, where a
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

// The border a control of `rect` gets from its style.
Border BorderOf(const desktop::ControlView& control, const CellRect& rect);
// The cells inside a border.
CellRect ContentOf(const CellRect& rect, Border border);

// The screen a window of `clientPixels` needs: its framed box and the status line.
ScreenSize NeededFor(const RECT& clientPixels);
// The smallest screen that shows every registered dialog template whole.
ScreenSize MinimumScreen();
// How the too-small notice names a window: its template's resource name ("IDD_HANDFREE"), or
// its caption in quotes when it was not made from a template.
std::u16string WindowName(const desktop::WindowView& window);

// The caption's close box text of a window, empty when it has none.
const char* CloseBoxText(const desktop::WindowView& window);

ScreenLayout LayOut(const desktop::Snapshot& snapshot, ScreenSize screen);

// The rows a list shows lines in: its content (ControlPlace::content) less a list view's
// header row.
int ListPageRows(const desktop::ControlView& control, const CellRect& content);

// Horizontal scrolling of lists, in columns. A list box's line is its text; a list view's row
// is its columns side by side, each cut to its width less a blank, the last one whole.
// A glyph of a list line at its column within the line.
struct PlacedGlyph {
    int col = 0;
    Glyph glyph;
};
struct ListColumn {
    int start = 0; // columns from the line's start
    int width = 0; // its text gets one less, leaving a blank before the next column
};
// A list view's report columns in cells; empty for a list box.
std::vector<ListColumn> ListColumns(const desktop::ControlView& control);
// The glyphs of one line (a list view row: its columns joined by tabs) where they go.
std::vector<PlacedGlyph> ListLineGlyphs(const std::vector<ListColumn>& columns,
                                        std::u16string_view line);
// The columns a list's lines take in its content (scroll indicator excluded).
int ListTextCols(const CellRect& content);
// The widest line of those the snapshot copied.
int ListLineCols(const desktop::ControlView& control);
// How far a list of `content` can be scrolled to the left: 0 when its lines fit.
int MaxListShift(const desktop::ControlView& control, const CellRect& content);

} // namespace kobalt::terminal
