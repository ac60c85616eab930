#include "frontend/terminal/Layout.h"

#include <algorithm>
#include <cstring>

namespace kobalt::terminal {

namespace {

// Nearest multiple of `unit`, halves rounded up; correct for negative values too.
int RoundToCells(int pixels, int unit) {
    const int shifted = pixels + unit / 2;
    return shifted >= 0 ? shifted / unit : -((-shifted + unit - 1) / unit);
}

// Floor division, so boxes larger than the screen are centred too.
int HalfOf(int value) {
    return value >= 0 ? value / 2 : -((-value + 1) / 2);
}

} // namespace

CellRect ControlCells(const RECT& pixels) {
    const int left = RoundToCells(pixels.left, kCellWidthPixels);
    const int top = RoundToCells(pixels.top, kCellHeightPixels);
    const int right = std::max(RoundToCells(pixels.right, kCellWidthPixels), left + 1);
    const int bottom = std::max(RoundToCells(pixels.bottom, kCellHeightPixels), top + 1);
    return CellRect{left, top, right - left, bottom - top};
}

const char* CloseBoxText(const desktop::WindowView& window) {
    if ((window.exStyle & WS_EX_CAPTIONOKBTN) != 0) {
        return "[OK]";
    }
    if ((window.style & WS_SYSMENU) != 0) {
        return "[x]";
    }
    return "";
}

ScreenLayout LayOut(const desktop::Snapshot& snapshot, ScreenSize screen) {
    ScreenLayout layout;
    layout.screen = screen;
    layout.windowRows = std::max(screen.rows - 1, 0);
    layout.windows.reserve(snapshot.windows.size());
    for (std::size_t i = 0; i < snapshot.windows.size(); ++i) {
        const desktop::WindowView& window = snapshot.windows[i];
        if (window.active && layout.active < 0) {
            layout.active = static_cast<int>(i);
        }
        WindowPlace place;
        const int clientCols =
            std::max(RoundToCells(window.rect.right - window.rect.left, kCellWidthPixels), 1);
        const int clientRows =
            std::max(RoundToCells(window.rect.bottom - window.rect.top, kCellHeightPixels), 1);
        place.box.cols = clientCols + 2;
        place.box.rows = clientRows + 2;
        place.box.col = HalfOf(screen.cols - place.box.cols);
        place.box.row = HalfOf(layout.windowRows - place.box.rows);
        place.client = CellRect{place.box.col + 1, place.box.row + 1, clientCols, clientRows};

        const int closeCols = static_cast<int>(std::strlen(CloseBoxText(window)));
        if (closeCols > 0 && place.box.cols >= closeCols + 4) {
            place.closeBox =
                CellRect{place.box.Right() - 2 - closeCols, place.box.row, closeCols, 1};
        }

        for (std::size_t c = 0; c < window.controls.size(); ++c) {
            const desktop::ControlView& control = window.controls[c];
            if (!control.visible) {
                continue;
            }
            CellRect rect = ControlCells(control.rect);
            rect.col += place.client.col;
            rect.row += place.client.row;
            place.controls.push_back(ControlPlace{c, rect, rect.row + rect.rows / 2});
        }
        layout.windows.push_back(std::move(place));
    }

    const int judged = layout.active >= 0 ? layout.active : (layout.windows.empty() ? -1 : 0);
    if (judged >= 0) {
        const CellRect& box = layout.windows[static_cast<std::size_t>(judged)].box;
        layout.needed = ScreenSize{box.cols, box.rows + 1};
        layout.tooSmall = box.cols > screen.cols || box.rows > layout.windowRows;
    }
    return layout;
}

int ListPageRows(const desktop::ControlView& control, const CellRect& rect) {
    const bool header = control.kind == desktop::ControlKind::ListView && !control.columns.empty();
    return std::max(rect.rows - (header ? 1 : 0), 1);
}

} // namespace kobalt::terminal
