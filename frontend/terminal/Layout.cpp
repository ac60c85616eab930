#include "frontend/terminal/Layout.h"

#include "platform/DialogTemplate.h"

#include <algorithm>
#include <cstring>

namespace kobalt::terminal {

namespace {

// A button drawn as a frame around other controls.
constexpr DWORD kGroupBoxStyle = 0x0007u;

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

Border BorderOf(const desktop::ControlView& control, const CellRect& rect) {
    const bool groupBox = control.kind == desktop::ControlKind::PushButton &&
                          (control.style & BS_TYPEMASK) == kGroupBoxStyle;
    if (((control.style & WS_BORDER) == 0 && !groupBox) || rect.cols < 3) {
        return Border::None;
    }
    if (rect.rows >= 3) {
        return Border::Box;
    }
    return rect.rows == 2 ? Border::Lid : Border::Sides;
}

CellRect ContentOf(const CellRect& rect, Border border) {
    switch (border) {
    case Border::None:
        break;
    case Border::Box:
        return CellRect{rect.col + 1, rect.row + 1, rect.cols - 2, rect.rows - 2};
    case Border::Lid:
        return CellRect{rect.col + 1, rect.row + 1, rect.cols - 2, rect.rows - 1};
    case Border::Sides:
        return CellRect{rect.col + 1, rect.row, rect.cols - 2, rect.rows};
    }
    return rect;
}

ScreenSize NeededFor(const RECT& clientPixels) {
    const int cols =
        std::max(RoundToCells(clientPixels.right - clientPixels.left, kCellWidthPixels), 1);
    const int rows =
        std::max(RoundToCells(clientPixels.bottom - clientPixels.top, kCellHeightPixels), 1);
    return ScreenSize{cols + 2, rows + 2 + 1};
}

ScreenSize MinimumScreen() {
    ScreenSize minimum;
    for (const DialogTemplate* tmpl : DialogTemplates()) {
        const ScreenSize needed = NeededFor(DialogUnitsToPixels(RECT{0, 0, tmpl->cx, tmpl->cy}));
        minimum.cols = std::max(minimum.cols, needed.cols);
        minimum.rows = std::max(minimum.rows, needed.rows);
    }
    return minimum;
}

std::u16string WindowName(const desktop::WindowView& window) {
    const DialogTemplate* tmpl =
        window.templateId != 0 ? FindDialogTemplate(window.templateId) : nullptr;
    if (tmpl == nullptr || tmpl->name == nullptr) {
        return u"\"" + window.caption + u"\"";
    }
    std::u16string name;
    for (const char* c = tmpl->name; *c != 0; ++c) {
        name += static_cast<char16_t>(static_cast<unsigned char>(*c));
    }
    return name;
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
            const Border border = BorderOf(control, rect);
            const CellRect content = ContentOf(rect, border);
            place.controls.push_back(
                ControlPlace{c, rect, content, border, content.row + content.rows / 2});
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

int ListPageRows(const desktop::ControlView& control, const CellRect& content) {
    const bool header = control.kind == desktop::ControlKind::ListView && !control.columns.empty();
    return std::max(content.rows - (header ? 1 : 0), 1);
}

std::vector<ListColumn> ListColumns(const desktop::ControlView& control) {
    std::vector<ListColumn> columns;
    if (control.kind != desktop::ControlKind::ListView) {
        return columns;
    }
    int at = 0;
    for (const desktop::ListViewColumn& column : control.columns) {
        const int width =
            column.width <= 0 ? 0 : std::max(ControlCells(RECT{0, 0, column.width, 16}).cols, 0);
        columns.push_back(ListColumn{at, width});
        at += width;
    }
    return columns;
}

std::vector<PlacedGlyph> ListLineGlyphs(const std::vector<ListColumn>& columns,
                                        std::u16string_view line) {
    std::vector<PlacedGlyph> placed;
    auto place = [&placed](std::u16string_view text, int start, int room) {
        int at = start;
        for (const Glyph& glyph : ToGlyphs(text)) {
            if (room >= 0 && at + glyph.width > start + room) {
                break;
            }
            placed.push_back(PlacedGlyph{at, glyph});
            at += glyph.width;
        }
    };
    if (columns.empty()) {
        place(line, 0, -1);
        return placed;
    }
    std::size_t column = 0;
    for (;;) {
        const std::size_t tab = line.find(u'\t');
        const std::u16string_view part = line.substr(0, tab);
        const bool last = column + 1 == columns.size();
        place(part, columns[column].start, last ? -1 : std::max(columns[column].width - 1, 0));
        if (tab == std::u16string_view::npos || last) {
            break;
        }
        line.remove_prefix(tab + 1);
        ++column;
    }
    return placed;
}

int ListTextCols(const CellRect& content) {
    return content.cols - (content.cols >= 2 ? 1 : 0);
}

int ListLineCols(const desktop::ControlView& control) {
    const std::vector<ListColumn> columns = ListColumns(control);
    int widest = 0;
    for (const std::u16string& line : control.lines) {
        const std::vector<PlacedGlyph> placed = ListLineGlyphs(columns, line);
        if (!placed.empty()) {
            widest = std::max(widest, placed.back().col + placed.back().glyph.width);
        }
    }
    return widest;
}

int MaxListShift(const desktop::ControlView& control, const CellRect& content) {
    return std::max(ListLineCols(control) - ListTextCols(content), 0);
}

} // namespace kobalt::terminal
