// A screen's worth of character cells: what the renderer produces and the terminal draws.
#pragma once

#include "frontend/terminal/TextCells.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kobalt::terminal {

// What a cell belongs to; the terminal picks colours from it.
enum class Role : std::uint8_t {
    Desktop,    // behind every window
    Window,     // a window's background, static texts, message-box text
    Frame,      // a window's border
    Border,     // a control's border (lists, edits, group boxes)
    Title,      // the caption in the border, the caption's close box
    Button,     // push buttons
    Radio,      // radio buttons
    Field,      // edits
    List,       // list box and list view lines
    Header,     // list view column headers
    Scrollbar,  // a list's scroll indicator
    Status,     // the status line
    DebugTitle, // the debug view's title line
    DebugText,  // the debug view's lines
    Notice,     // the terminal-too-small message
};

// Cell states, combined with a role.
enum CellFlag : std::uint8_t {
    kInactive = 1, // in a window beneath the active one (drawn dimmed)
    kDisabled = 2, // a disabled control
    kSelected = 4, // a list's selected line
    kFocused = 8,  // the control with the keyboard focus
};

struct Cell {
    char32_t ch = U' ';
    std::array<char32_t, 2> marks{}; // combining marks drawn on `ch`
    std::uint8_t width = 1;          // 1, 2 for a wide character, 0 for the cell a wide one covers
    Role role = Role::Desktop;
    std::uint8_t flags = 0; // CellFlag bits
};

class Grid {
public:
    Grid(int cols, int rows);

    int Cols() const { return m_cols; }
    int Rows() const { return m_rows; }
    const Cell& At(int col, int row) const { return m_cells[Index(col, row)]; }
    bool Contains(int col, int row) const {
        return col >= 0 && row >= 0 && col < m_cols && row < m_rows;
    }

    // Puts a glyph at (col, row), outside the grid does nothing. A wide glyph takes the next
    // cell too; one that would not fit before `limit` (exclusive) becomes a blank. A wide
    // character partly overwritten leaves a blank in its other half.
    void Put(int col, int row, const Glyph& glyph, Role role, std::uint8_t flags, int limit = -1);
    // Sets role and flags of a cell without touching its character.
    void Style(int col, int row, Role role, std::uint8_t flags);

    // One line per row, trailing blanks cut; wide characters once.
    std::string PlainText() const;
    // One line per row: `mark` where `test(cell)` holds, '.' elsewhere.
    template <class Test> std::string Mask(Test test, char mark = '#') const {
        std::string out;
        for (int row = 0; row < m_rows; ++row) {
            for (int col = 0; col < m_cols; ++col) {
                out += test(At(col, row)) ? mark : '.';
            }
            out += '\n';
        }
        return out;
    }

    bool operator==(const Grid& other) const;

private:
    std::size_t Index(int col, int row) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(m_cols) +
               static_cast<std::size_t>(col);
    }
    // Clears the other half of a wide character that the cell at (col, row) belongs to.
    void Split(int col, int row);

    int m_cols;
    int m_rows;
    std::vector<Cell> m_cells;
};

} // namespace kobalt::terminal
