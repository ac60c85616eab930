// Selection and scroll position of a single-selection list, shared by list boxes and list
// views: both stay on their lines while lines come and go above them.
#pragma once

#include "platform/Desktop.h"
#include "platform/Windows.h"

#include <algorithm>
#include <cstddef>

namespace kobalt::platform {

class ListCursor {
public:
    int Selected() const { return m_selected; }
    int Top() const { return m_top; }

    // Selects line `index` of a list of `count` lines; -1 or an index out of range clears.
    // True when `index` named a line.
    bool Select(int index, int count);
    // Sets the top line of a list of `count` lines, clamped into the list.
    void ScrollTo(int index, int count);
    // Scrolls the least so that line `index` shows on a page of `pageLines` lines.
    void EnsureVisible(int index, int pageLines);

    // A line was inserted at `index`: lines at and after it moved down by one.
    void Inserted(int index);
    // The line at `index` was removed, leaving `count` lines: a selection on it is cleared.
    void Erased(int index, int count);
    // The list was emptied.
    void Reset();

    // Fills selection, top line and the window of lines a snapshot copies: every line when the
    // options allow it, else at most that many from the top line. `copy(first, count)` appends
    // the lines to `view.lines`.
    template <class Copy>
    void Describe(desktop::ControlView& view, const desktop::SnapshotOptions& options,
                  std::size_t count, Copy&& copy) const {
        std::size_t first = 0;
        std::size_t copied = count;
        if (options.maxLinesPerList < count) {
            first = std::min(static_cast<std::size_t>(m_top), count);
            copied = std::min(options.maxLinesPerList, count - first);
        }
        view.lines.clear();
        view.lines.reserve(copied);
        copy(first, copied);
        view.lineCount = count;
        view.firstLine = first;
        view.selected = m_selected;
        view.topIndex = m_top;
    }

private:
    int m_selected = -1; // the selected line, -1 when none
    int m_top = 0;       // the first line shown
};

// Lines of 16 pixels that fit in the window's height, less `headerLines`; at least 1. Takes the
// desktop lock itself: call without it.
int PageLines(HWND list, int headerLines);

} // namespace kobalt::platform
