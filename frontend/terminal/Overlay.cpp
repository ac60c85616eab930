#include "frontend/terminal/Overlay.h"

#include <algorithm>

namespace kobalt::terminal {

namespace {

void PutText(Grid& grid, int col, int row, const std::string& text, int limit, Role role) {
    for (const char ch : text) {
        if (col >= limit) {
            break;
        }
        Glyph glyph;
        glyph.ch = static_cast<unsigned char>(ch) < 0x80 ? static_cast<char32_t>(ch) : U'?';
        grid.Put(col++, row, glyph, role, 0, limit);
    }
}

void PutChar(Grid& grid, int col, int row, char32_t ch, Role role) {
    Glyph glyph;
    glyph.ch = ch;
    grid.Put(col, row, glyph, role, 0);
}

} // namespace

void DrawPanel(Frame& frame, const std::string& title, const std::vector<std::string>& lines) {
    Grid& grid = frame.grid;
    const int room = grid.Rows() - 1; // the status line stays
    std::size_t widest = title.size() + 4;
    for (const std::string& line : lines) {
        widest = std::max(widest, line.size());
    }
    const int cols = std::min(static_cast<int>(widest) + 4, grid.Cols());
    const int rows = std::min(static_cast<int>(lines.size()) + 2, room);
    if (cols < 4 || rows < 2) {
        return;
    }
    const int left = (grid.Cols() - cols) / 2;
    const int top = (room - rows) / 2;
    const int right = left + cols - 1;
    const int bottom = top + rows - 1;
    for (int row = top; row <= bottom; ++row) {
        for (int col = left; col <= right; ++col) {
            PutChar(grid, col, row, U' ', Role::Window);
        }
        PutChar(grid, left, row, U'\u2502', Role::Frame);
        PutChar(grid, right, row, U'\u2502', Role::Frame);
    }
    for (int col = left; col <= right; ++col) {
        PutChar(grid, col, top, U'\u2500', Role::Frame);
        PutChar(grid, col, bottom, U'\u2500', Role::Frame);
    }
    PutChar(grid, left, top, U'\u250C', Role::Frame);
    PutChar(grid, right, top, U'\u2510', Role::Frame);
    PutChar(grid, left, bottom, U'\u2514', Role::Frame);
    PutChar(grid, right, bottom, U'\u2518', Role::Frame);
    if (!title.empty()) {
        PutText(grid, left + 2, top, " " + title + " ", right - 1, Role::Title);
    }
    for (int i = 0; i < rows - 2; ++i) {
        PutText(grid, left + 2, top + 1 + i, lines[static_cast<std::size_t>(i)], right - 1,
                Role::Window);
    }
    frame.cursorVisible = false;
}

} // namespace kobalt::terminal
