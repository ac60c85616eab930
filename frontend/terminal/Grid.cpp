#include "frontend/terminal/Grid.h"

#include <algorithm>

namespace kobalt::terminal {

Grid::Grid(int cols, int rows)
    : m_cols(std::max(cols, 0)), m_rows(std::max(rows, 0)),
      m_cells(static_cast<std::size_t>(m_cols) * static_cast<std::size_t>(m_rows)) {}

void Grid::Split(int col, int row) {
    Cell& cell = m_cells[Index(col, row)];
    if (cell.width == 0 && col > 0) {
        Cell& lead = m_cells[Index(col - 1, row)];
        lead.ch = U' ';
        lead.marks = {};
        lead.width = 1;
    } else if (cell.width == 2 && col + 1 < m_cols) {
        Cell& tail = m_cells[Index(col + 1, row)];
        tail.ch = U' ';
        tail.marks = {};
        tail.width = 1;
    }
}

void Grid::Put(int col, int row, const Glyph& glyph, Role role, std::uint8_t flags, int limit) {
    if (!Contains(col, row)) {
        return;
    }
    const int end = limit < 0 ? m_cols : std::min(limit, m_cols);
    Glyph drawn = glyph;
    if (drawn.width == 2 && col + 1 >= end) {
        drawn = Glyph{U' ', {}, 1, glyph.source};
    }
    Split(col, row);
    if (drawn.width == 2) {
        Split(col + 1, row);
    }
    Cell& cell = m_cells[Index(col, row)];
    cell.ch = drawn.ch;
    cell.marks = drawn.marks;
    cell.width = static_cast<std::uint8_t>(drawn.width);
    cell.role = role;
    cell.flags = flags;
    if (drawn.width == 2) {
        Cell& tail = m_cells[Index(col + 1, row)];
        tail.ch = U' ';
        tail.marks = {};
        tail.width = 0;
        tail.role = role;
        tail.flags = flags;
    }
}

void Grid::Style(int col, int row, Role role, std::uint8_t flags) {
    if (Contains(col, row)) {
        Cell& cell = m_cells[Index(col, row)];
        cell.role = role;
        cell.flags = flags;
    }
}

std::string Grid::PlainText() const {
    std::string out;
    for (int row = 0; row < m_rows; ++row) {
        std::string line;
        for (int col = 0; col < m_cols; ++col) {
            const Cell& cell = At(col, row);
            if (cell.width == 0) {
                continue;
            }
            AppendUtf8(line, cell.ch);
            for (char32_t mark : cell.marks) {
                if (mark != 0) {
                    AppendUtf8(line, mark);
                }
            }
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out += line;
        out += '\n';
    }
    return out;
}

bool Grid::operator==(const Grid& other) const {
    if (m_cols != other.m_cols || m_rows != other.m_rows) {
        return false;
    }
    return std::equal(m_cells.begin(), m_cells.end(), other.m_cells.begin(),
                      [](const Cell& a, const Cell& b) {
                          return a.ch == b.ch && a.marks == b.marks && a.width == b.width &&
                                 a.role == b.role && a.flags == b.flags;
                      });
}

} // namespace kobalt::terminal
