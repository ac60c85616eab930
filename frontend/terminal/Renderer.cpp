#include "frontend/terminal/Renderer.h"
#include "sdk/SdkLibraryChoice.h"

#include "frontend/terminal/Accelerators.h"

#include <algorithm>
#include <string_view>

namespace kobalt::terminal {

namespace {

using desktop::ControlKind;
using desktop::ControlView;
using desktop::WindowKind;
using desktop::WindowView;

constexpr char32_t kHorizontal = U'\u2500';
constexpr char32_t kVertical = U'\u2502';
constexpr char32_t kTopLeft = U'\u250C';
constexpr char32_t kTopRight = U'\u2510';
constexpr char32_t kBottomLeft = U'\u2514';
constexpr char32_t kBottomRight = U'\u2518';
// A control's border; the focused control's is double.
struct BorderLines {
    char32_t horizontal, vertical, topLeft, topRight, bottomLeft, bottomRight;
};
constexpr BorderLines kSingleLines{kHorizontal, kVertical,   kTopLeft,
                                   kTopRight,   kBottomLeft, kBottomRight};
constexpr BorderLines kDoubleLines{U'\u2550', U'\u2551', U'\u2554',
                                   U'\u2557', U'\u255A', U'\u255D'};
constexpr char32_t kTrack = U'\u2591';
constexpr char32_t kThumb = U'\u2588';

CellRect Intersect(const CellRect& a, const CellRect& b) {
    const int col = std::max(a.col, b.col);
    const int row = std::max(a.row, b.row);
    const int right = std::min(a.Right(), b.Right());
    const int bottom = std::min(a.Bottom(), b.Bottom());
    return CellRect{col, row, std::max(right - col, 0), std::max(bottom - row, 0)};
}

std::vector<Glyph> Ascii(std::string_view text) {
    std::vector<Glyph> glyphs;
    glyphs.reserve(text.size());
    for (char c : text) {
        glyphs.push_back(Glyph{static_cast<char32_t>(static_cast<unsigned char>(c)), {}, 1, 0});
    }
    return glyphs;
}

// Draws into the grid inside a clip rectangle only.
class Painter {
public:
    Painter(Grid& grid, const CellRect& clip) : m_grid(grid), m_clip(clip) {}

    const CellRect& Clip() const { return m_clip; }

    void Put(int col, int row, char32_t ch, Role role, std::uint8_t flags) {
        if (m_clip.Contains(col, row)) {
            m_grid.Put(col, row, Glyph{ch, {}, 1, 0}, role, flags, m_clip.Right());
        }
    }

    void Fill(const CellRect& rect, Role role, std::uint8_t flags) {
        const CellRect area = Intersect(rect, m_clip);
        for (int row = area.row; row < area.Bottom(); ++row) {
            for (int col = area.col; col < area.Right(); ++col) {
                m_grid.Put(col, row, Glyph{U' ', {}, 1, 0}, role, flags);
            }
        }
    }

    // Draws glyphs [from, end) at (col, row) within `maxCols` columns; returns the columns
    // taken. A wide glyph that does not fit ends the text.
    int Text(int col, int row, const std::vector<Glyph>& glyphs, std::size_t from, int maxCols,
             Role role, std::uint8_t flags) {
        const int limit = std::min(col + std::max(maxCols, 0), m_clip.Right());
        int at = col;
        for (std::size_t i = from; i < glyphs.size(); ++i) {
            const Glyph& glyph = glyphs[i];
            if (at + glyph.width > col + maxCols) {
                break;
            }
            if (row >= m_clip.row && row < m_clip.Bottom() && at >= m_clip.col && at < limit) {
                m_grid.Put(at, row, glyph, role, flags, limit);
            }
            at += glyph.width;
        }
        return at - col;
    }

private:
    Grid& m_grid;
    CellRect m_clip;
};

struct WindowContext {
    Frame& frame;
    const UiState& ui;
    bool active = false;
    std::uint8_t flags = 0; // kInactive for windows beneath the active one
};

void DrawButton(Painter& painter, const ControlView& control, const ControlPlace& place,
                std::uint8_t flags) {
    const CellRect& rect = place.rect;
    painter.Fill(rect, Role::Button, flags);
    const std::vector<Glyph> caption = ToGlyphs(control.text);
    const int captionCols = Columns(caption);
    const int row = place.textRow;
    if (rect.cols >= captionCols + 2) {
        const bool focused = (flags & kFocused) != 0;
        painter.Put(rect.col, row, focused ? U'>' : U'[', Role::Button, flags);
        painter.Put(rect.Right() - 1, row, focused ? U'<' : U']', Role::Button, flags);
        painter.Text(rect.col + 1 + (rect.cols - 2 - captionCols) / 2, row, caption, 0,
                     rect.cols - 2, Role::Button, flags);
    } else {
        painter.Text(rect.col + std::max((rect.cols - captionCols) / 2, 0), row, caption, 0,
                     rect.cols, Role::Button, flags);
    }
}

void DrawRadio(Painter& painter, const ControlView& control, const ControlPlace& place,
               std::uint8_t flags) {
    const CellRect& rect = place.rect;
    painter.Fill(rect, Role::Radio, flags);
    const std::vector<Glyph> caption = ToGlyphs(control.text);
    const int row = place.textRow;
    // The focused one trades its parentheses for the marks a focused button has.
    const bool focused = (flags & kFocused) != 0;
    const char* box = control.checked ? (focused ? ">*<" : "(*)") : (focused ? "> <" : "( )");
    const int used = painter.Text(rect.col, row, Ascii(box), 0, rect.cols, Role::Radio, flags);
    const int gap = rect.cols >= used + 1 + Columns(caption) ? 1 : 0;
    painter.Text(rect.col + used + gap, row, caption, 0, rect.cols - used - gap, Role::Radio,
                 flags);
}

// Static text wraps over the rows it has, at blanks where it can.
void DrawStatic(Painter& painter, const ControlView& control, const CellRect& rect,
                std::uint8_t flags) {
    painter.Fill(rect, Role::Window, flags);
    const std::vector<Glyph> text = ToGlyphs(control.text);
    std::size_t at = 0;
    for (int row = rect.row; row < rect.Bottom() && at < text.size(); ++row) {
        // The glyphs that fit on this row.
        std::size_t end = at;
        int cols = 0;
        while (end < text.size() && cols + text[end].width <= rect.cols) {
            cols += text[end++].width;
        }
        if (end == at) {
            break; // not even one glyph fits
        }
        if (end < text.size() && row + 1 < rect.Bottom()) {
            for (std::size_t blank = end; blank > at + 1; --blank) {
                if (text[blank - 1].ch == U' ') {
                    end = blank;
                    break;
                }
            }
        }
        std::vector<Glyph> line(text.begin() + static_cast<std::ptrdiff_t>(at),
                                text.begin() + static_cast<std::ptrdiff_t>(end));
        painter.Text(rect.col, row, line, 0, rect.cols, Role::Window, flags);
        at = end;
        while (at < text.size() && text[at].ch == U' ') {
            ++at;
        }
    }
}

void DrawEdit(Painter& painter, const ControlView& control, const ControlPlace& place,
              std::uint8_t flags, WindowContext& context) {
    const CellRect& rect = place.rect;
    painter.Fill(rect, Role::Field, flags);
    const std::vector<Glyph> text = ToGlyphs(control.text);
    const int caret = CaretGlyph(text, control.caret);
    const auto known = context.ui.editScroll.find(control.hwnd);
    const int first = EditScroll(known == context.ui.editScroll.end() ? 0 : known->second, text,
                                 caret, rect.cols);
    if (first > 0) {
        context.frame.editScroll[control.hwnd] = first;
    }
    const int row = place.textRow;
    const std::uint8_t textFlags =
        context.ui.selectedEdit == control.hwnd ? flags | kSelected : flags;
    const int used = painter.Text(rect.col, row, text, static_cast<std::size_t>(first), rect.cols,
                                  Role::Field, textFlags);
    for (int col = rect.col + used; col < rect.Right(); ++col) {
        painter.Put(col, row, U'_', Role::Field, flags);
    }
    if ((flags & kFocused) != 0) {
        int col = rect.col;
        for (int i = first; i < caret; ++i) {
            col += text[static_cast<std::size_t>(i)].width;
        }
        if (painter.Clip().Contains(col, row) && col < rect.Right()) {
            context.frame.cursorVisible = true;
            context.frame.cursorCol = col;
            context.frame.cursorRow = row;
        }
    }
}

// The line at list index `index`, or null when the snapshot did not copy it.
const std::u16string* LineAt(const ControlView& control, std::size_t index) {
    if (index < control.firstLine || index - control.firstLine >= control.lines.size()) {
        return nullptr;
    }
    return &control.lines[index - control.firstLine];
}

void DrawScrollbar(Painter& painter, int col, int row, int rows, std::size_t count, std::size_t top,
                   std::uint8_t flags) {
    for (int i = 0; i < rows; ++i) {
        painter.Put(col, row + i, kTrack, Role::Scrollbar, flags);
    }
    const auto page = static_cast<std::size_t>(rows);
    if (rows <= 0 || count <= page) {
        return;
    }
    const std::size_t thumb = std::max<std::size_t>(1, page * page / count);
    const std::size_t maxTop = count - page;
    const std::size_t travel = page - thumb;
    const std::size_t at = top >= maxTop ? travel : (top * travel + maxTop / 2) / maxTop;
    for (std::size_t i = 0; i < thumb; ++i) {
        painter.Put(col, row + static_cast<int>(at + i), kThumb, Role::Scrollbar, flags);
    }
}

// Splits a list-view row into its columns' texts.
std::vector<std::u16string_view> SplitColumns(const std::u16string& line) {
    std::vector<std::u16string_view> parts;
    std::u16string_view rest(line);
    for (std::size_t tab; (tab = rest.find(u'\t')) != std::u16string_view::npos;) {
        parts.push_back(rest.substr(0, tab));
        rest.remove_prefix(tab + 1);
    }
    parts.push_back(rest);
    return parts;
}

// Puts placed glyphs of a line shifted `shift` columns to the left into [col, col + cols):
// a glyph cut by either edge is left out.
void PutShifted(Painter& painter, int col, int row, int cols, int shift,
                const std::vector<PlacedGlyph>& placed, Role role, std::uint8_t flags) {
    for (const PlacedGlyph& item : placed) {
        const int at = item.col - shift;
        if (at < 0) {
            continue;
        }
        if (at + item.glyph.width > cols) {
            break;
        }
        painter.Text(col + at, row, {item.glyph}, 0, item.glyph.width, role, flags);
    }
}

void DrawList(Painter& painter, const ControlView& control, const ControlPlace& place,
              std::uint8_t flags, WindowContext& context) {
    const CellRect& rect = place.content;
    painter.Fill(rect, Role::List, flags);
    const bool scrollbar = rect.cols >= 2;
    const int contentCols = ListTextCols(rect);
    const int pageRows = ListPageRows(control, rect);
    const int firstRow = rect.Bottom() - pageRows;

    // Scrolled to the left as far as the operator asked, no further than the widest line.
    const auto known = context.ui.listShift.find(control.hwnd);
    const int maxShift = MaxListShift(control, rect);
    const int shift =
        std::clamp(known == context.ui.listShift.end() ? 0 : known->second, 0, maxShift);
    if (shift > 0) {
        context.frame.listShift[control.hwnd] = shift;
    }

    // List views in report view: columns side by side, each its width in cells, a blank
    // between them; the header scrolls with the rows.
    const std::vector<ListColumn> columns = ListColumns(control);
    if (!columns.empty()) {
        std::u16string headers;
        for (std::size_t c = 0; c < control.columns.size(); ++c) {
            headers += (c > 0 ? u"\t" : u"") + control.columns[c].header;
        }
        painter.Fill(CellRect{rect.col, rect.row, rect.cols, 1}, Role::Header, flags);
        PutShifted(painter, rect.col, rect.row, contentCols, shift,
                   ListLineGlyphs(columns, headers), Role::Header, flags);
    }

    const auto top = static_cast<std::size_t>(std::max(control.topIndex, 0));
    for (int i = 0; i < pageRows; ++i) {
        const std::size_t index = top + static_cast<std::size_t>(i);
        if (index >= control.lineCount) {
            break;
        }
        const std::u16string* line = LineAt(control, index);
        if (line == nullptr) {
            continue;
        }
        const int row = firstRow + i;
        std::uint8_t lineFlags = flags;
        if (control.selected >= 0 && index == static_cast<std::size_t>(control.selected)) {
            lineFlags |= kSelected;
            painter.Fill(CellRect{rect.col, row, contentCols, 1}, Role::List, lineFlags);
        }
        PutShifted(painter, rect.col, row, contentCols, shift, ListLineGlyphs(columns, *line),
                   Role::List, lineFlags);
    }
    if (scrollbar) {
        DrawScrollbar(painter, rect.Right() - 1, firstRow, pageRows, control.lineCount, top, flags);
    }
    // More to either side: arrows in the bottom edge of a boxed list.
    if (place.border == Border::Box && maxShift > 0) {
        const int edge = place.rect.Bottom() - 1;
        if (shift > 0) {
            painter.Put(rect.col, edge, U'<', Role::Border, flags);
        }
        if (shift < maxShift) {
            painter.Put(rect.col + contentCols - 1, edge, U'>', Role::Border, flags);
        }
    }
    // The cursor marks a focused list: on its selected line when that shows, else on its top.
    if ((flags & kFocused) != 0) {
        int row = firstRow;
        if (control.selected >= 0 && static_cast<std::size_t>(control.selected) >= top &&
            static_cast<std::size_t>(control.selected) < top + static_cast<std::size_t>(pageRows)) {
            row += control.selected - static_cast<int>(top);
        }
        if (painter.Clip().Contains(rect.col, row)) {
            context.frame.cursorVisible = true;
            context.frame.cursorCol = rect.col;
            context.frame.cursorRow = row;
        }
    }
}

// The border a control's style gives it, inside its cells; a group box's caption sits in its
// top edge.
void DrawBorder(Painter& painter, const ControlView& control, const ControlPlace& place,
                std::uint8_t flags) {
    const CellRect& rect = place.rect;
    const BorderLines& lines = (flags & kFocused) != 0 ? kDoubleLines : kSingleLines;
    const bool top = place.border == Border::Box || place.border == Border::Lid;
    const bool bottom = place.border == Border::Box;
    for (int row = rect.row + (top ? 1 : 0); row < rect.Bottom() - (bottom ? 1 : 0); ++row) {
        painter.Put(rect.col, row, lines.vertical, Role::Border, flags);
        painter.Put(rect.Right() - 1, row, lines.vertical, Role::Border, flags);
    }
    if (top) {
        for (int col = rect.col + 1; col < rect.Right() - 1; ++col) {
            painter.Put(col, rect.row, lines.horizontal, Role::Border, flags);
        }
        painter.Put(rect.col, rect.row, lines.topLeft, Role::Border, flags);
        painter.Put(rect.Right() - 1, rect.row, lines.topRight, Role::Border, flags);
    }
    if (bottom) {
        for (int col = rect.col + 1; col < rect.Right() - 1; ++col) {
            painter.Put(col, rect.Bottom() - 1, lines.horizontal, Role::Border, flags);
        }
        painter.Put(rect.col, rect.Bottom() - 1, lines.bottomLeft, Role::Border, flags);
        painter.Put(rect.Right() - 1, rect.Bottom() - 1, lines.bottomRight, Role::Border, flags);
    }
    if (control.kind == ControlKind::PushButton && top && !control.text.empty()) {
        painter.Text(rect.col + 1, rect.row, ToGlyphs(control.text), 0, rect.cols - 2, Role::Window,
                     flags);
    }
}

void DrawControl(Painter& painter, const ControlView& control, const ControlPlace& place,
                 WindowContext& context) {
    const CellRect& rect = place.rect;
    std::uint8_t flags = context.flags;
    if (!control.enabled) {
        flags |= kDisabled;
    }
    if (control.focused && context.active) {
        flags |= kFocused;
    }
    // A bordered control draws its own part inside the border.
    ControlPlace inner = place;
    if (place.border != Border::None) {
        painter.Fill(rect, Role::Window, flags);
        DrawBorder(painter, control, place, flags);
        inner.rect = place.content;
    }
    switch (control.kind) {
    case ControlKind::PushButton:
        if (place.border == Border::None) { // else a group box: its border is all of it
            DrawButton(painter, control, inner, flags);
        }
        break;
    case ControlKind::RadioButton:
        DrawRadio(painter, control, inner, flags);
        break;
    case ControlKind::Static:
        DrawStatic(painter, control, inner.rect, flags);
        break;
    case ControlKind::Edit:
        DrawEdit(painter, control, inner, flags, context);
        break;
    case ControlKind::ListBox:
    case ControlKind::ListView:
        DrawList(painter, control, place, flags, context);
        break;
    case ControlKind::Other:
        break;
    }
}

void DrawFrame(Painter& painter, const WindowView& window, const WindowPlace& place,
               std::uint8_t flags) {
    const CellRect& box = place.box;
    painter.Fill(box, Role::Window, flags);
    for (int col = box.col + 1; col < box.Right() - 1; ++col) {
        painter.Put(col, box.row, kHorizontal, Role::Frame, flags);
        painter.Put(col, box.Bottom() - 1, kHorizontal, Role::Frame, flags);
    }
    for (int row = box.row + 1; row < box.Bottom() - 1; ++row) {
        painter.Put(box.col, row, kVertical, Role::Frame, flags);
        painter.Put(box.Right() - 1, row, kVertical, Role::Frame, flags);
    }
    painter.Put(box.col, box.row, kTopLeft, Role::Frame, flags);
    painter.Put(box.Right() - 1, box.row, kTopRight, Role::Frame, flags);
    painter.Put(box.col, box.Bottom() - 1, kBottomLeft, Role::Frame, flags);
    painter.Put(box.Right() - 1, box.Bottom() - 1, kBottomRight, Role::Frame, flags);

    // " Caption " from the third column, up to the close box.
    const int end = place.closeBox.cols > 0 ? place.closeBox.col - 1 : box.Right() - 2;
    const int room = end - (box.col + 2);
    if (room >= 3) {
        std::vector<Glyph> title = Ascii(" ");
        const std::vector<Glyph> caption = ToGlyphs(window.caption);
        title.insert(title.end(), caption.begin(), caption.end());
        title.push_back(Glyph{U' ', {}, 1, 0});
        painter.Text(box.col + 2, box.row, title, 0, room, Role::Title, flags);
    }
    if (place.closeBox.cols > 0) {
        painter.Text(place.closeBox.col, box.row, Ascii(CloseBoxText(window)), 0,
                     place.closeBox.cols, Role::Title, flags);
    }
}

// A message box's text: its lines from the second row, two columns in.
void DrawMessage(Painter& painter, const WindowView& window, const CellRect& client,
                 std::uint8_t flags) {
    std::u16string_view rest(window.text);
    for (int row = client.row + 1; row < client.Bottom(); ++row) {
        const std::size_t newline = rest.find(u'\n');
        std::u16string_view line = rest.substr(0, newline);
        if (!line.empty() && line.back() == u'\r') {
            line.remove_suffix(1);
        }
        painter.Text(client.col + 2, row, ToGlyphs(line), 0, client.cols - 4, Role::Window, flags);
        if (newline == std::u16string_view::npos) {
            break;
        }
        rest.remove_prefix(newline + 1);
    }
}

void DrawWindow(Frame& frame, const UiState& ui, const ScreenLayout& layout,
                const WindowView& window, const WindowPlace& place, bool active) {
    WindowContext context{frame, ui, active, static_cast<std::uint8_t>(active ? 0 : kInactive)};
    const CellRect screen{0, 0, layout.screen.cols, layout.windowRows};
    Painter outer(frame.grid, Intersect(screen, place.box));
    DrawFrame(outer, window, place, context.flags);
    Painter inner(frame.grid, Intersect(screen, place.client));
    if (window.kind == WindowKind::MessageBox) {
        DrawMessage(inner, window, place.client, context.flags);
    }
    for (const ControlPlace& control : place.controls) {
        DrawControl(inner, window.controls[control.index], control, context);
    }
}

void DrawCentred(Painter& painter, int row, const std::vector<Glyph>& line, Role role) {
    const CellRect& clip = painter.Clip();
    painter.Text(clip.col + std::max((clip.cols - Columns(line)) / 2, 0), row, line, 0, clip.cols,
                 role, 0);
}

std::vector<Glyph> Joined(std::string_view before, std::u16string_view text,
                          std::string_view after) {
    std::vector<Glyph> line = Ascii(before);
    const std::vector<Glyph> middle = ToGlyphs(text);
    line.insert(line.end(), middle.begin(), middle.end());
    const std::vector<Glyph> tail = Ascii(after);
    line.insert(line.end(), tail.begin(), tail.end());
    return line;
}

void DrawTooSmall(Frame& frame, const desktop::Snapshot& snapshot, const ScreenLayout& layout) {
    Painter painter(frame.grid, CellRect{0, 0, layout.screen.cols, layout.windowRows});
    const auto judged = static_cast<std::size_t>(std::max(layout.active, 0));
    ScreenSize all = MinimumScreen();
    all.cols = std::max(all.cols, layout.needed.cols);
    all.rows = std::max(all.rows, layout.needed.rows);
    const std::vector<Glyph> lines[] = {
        Ascii("The terminal is too small."),
        Joined("", WindowName(snapshot.windows[judged]),
               " needs " + std::to_string(layout.needed.cols) + " x " +
                   std::to_string(layout.needed.rows) + ","),
        Ascii("the terminal is " + std::to_string(layout.screen.cols) + " x " +
              std::to_string(layout.screen.rows) + ";"),
        Ascii("every window fits in " + std::to_string(all.cols) + " x " +
              std::to_string(all.rows) + "."),
        Ascii("Enlarge it, or press F10 to quit."),
    };
    const int count = static_cast<int>(std::size(lines));
    const int first = std::max((layout.windowRows - count) / 2, 0);
    for (int i = 0; i < count; ++i) {
        DrawCentred(painter, first + i, lines[i], Role::Notice);
    }
}

void DrawDebug(Frame& frame, const DebugWindow& debug, const ScreenLayout& layout) {
    Painter painter(frame.grid, CellRect{0, 0, layout.screen.cols, layout.windowRows});
    painter.Fill(painter.Clip(), Role::DebugText, 0);
    painter.Fill(CellRect{0, 0, layout.screen.cols, 1}, Role::DebugTitle, 0);
    std::string title = " Event log: ";
    if (debug.total == 0) {
        title += "no lines yet";
    } else {
        const std::size_t last = debug.first + debug.lines.size();
        title += "lines " + std::to_string(debug.lines.empty() ? 0 : debug.first + 1) + "-" +
                 std::to_string(last) + " of " + std::to_string(debug.total);
    }
    title += "   F3/Esc back  Up/Down/PgUp/PgDn/Home/End scroll";
    painter.Text(0, 0, Ascii(title), 0, layout.screen.cols, Role::DebugTitle, 0);
    const int bottom = layout.windowRows - 1;
    std::vector<std::vector<Glyph>> shown;
    for (const std::u16string& line : debug.lines) {
        const int row = 1 + static_cast<int>(shown.size());
        if (row >= bottom) {
            break;
        }
        shown.push_back(ToGlyphs(line));
        painter.Text(0, row, shown.back(), 0, layout.screen.cols, Role::DebugText, 0);
    }
    // Matches in reverse video, so they show without colour too.
    for (const DebugMatch& match : debug.matches) {
        if (match.line >= shown.size()) {
            continue;
        }
        const int row = 1 + static_cast<int>(match.line);
        int col = 0;
        for (const Glyph& glyph : shown[match.line]) {
            if (glyph.source >= match.from && glyph.source < match.from + match.length) {
                for (int cell = col; cell < col + glyph.width && cell < layout.screen.cols;
                     ++cell) {
                    frame.grid.Style(cell, row, Role::DebugText, kSelected);
                }
            }
            col += glyph.width;
        }
    }
    if (bottom >= 1) {
        painter.Fill(CellRect{0, bottom, layout.screen.cols, 1}, Role::DebugTitle, 0);
        const std::vector<Glyph> text = ToGlyphs(debug.bottom);
        // A prompt too long for the line shows its end, where the typing goes on.
        std::size_t from = 0;
        for (int columns = Columns(text);
             debug.prompting && from < text.size() && columns >= layout.screen.cols; ++from) {
            columns -= text[from].width;
        }
        const int used =
            painter.Text(0, bottom, text, from, layout.screen.cols, Role::DebugTitle, 0);
        if (debug.prompting && used < layout.screen.cols) {
            frame.cursorVisible = true;
            frame.cursorCol = used;
            frame.cursorRow = bottom;
        }
    }
}

// The selected list line in the status line, from its second column up to `room` columns.
void DrawSelectedLine(Painter& painter, int row, int room, const std::u16string& line) {
    painter.Text(1, row, ToGlyphs(line), 0, room, Role::Status, 0);
}

void DrawStatus(Frame& frame, const StatusInfo& status, ScreenSize screen,
                const std::string& keyHelp, const std::u16string& selectedLine) {
    if (screen.rows <= 0) {
        return;
    }
    const int row = screen.rows - 1;
    Painter painter(frame.grid, CellRect{0, row, screen.cols, 1});
    painter.Fill(painter.Clip(), Role::Status, 0);
    const std::string& sdk = sdk::ChosenSdkLibrary().label; // shown when not the default
    const std::string right = (sdk == "sim" ? std::string() : "SDK " + sdk + "  ") + "Audio " +
                              (status.callAudioOn ? "on" : "off") + "  Power " +
                              (status.suspended ? "suspended" : "on") + " ";
    const int rightCols = std::min(static_cast<int>(right.size()), screen.cols);
    painter.Text(screen.cols - rightCols, row, Ascii(right), 0, rightCols, Role::Status, 0);
    const int room = screen.cols - rightCols - 3;
    if (!selectedLine.empty()) {
        DrawSelectedLine(painter, row, room, selectedLine);
        return;
    }
    // The key help loses whole entries from its end when the line is short.
    std::string_view help(keyHelp);
    if (room < static_cast<int>(help.size())) {
        const std::size_t cut = help.rfind("  ", static_cast<std::size_t>(std::max(room, 0)));
        help = help.substr(0, cut == std::string_view::npos ? 0 : cut);
    }
    painter.Text(1, row, Ascii(help), 0, room, Role::Status, 0);
}

} // namespace

std::u16string SelectedLineText(const desktop::Snapshot& snapshot, const ScreenLayout& layout) {
    if (layout.active < 0) {
        return {};
    }
    const WindowView& window = snapshot.windows[static_cast<std::size_t>(layout.active)];
    for (const ControlView& control : window.controls) {
        if (!control.focused || !control.visible ||
            (control.kind != ControlKind::ListBox && control.kind != ControlKind::ListView) ||
            control.selected < 0) {
            continue;
        }
        const std::u16string* line = LineAt(control, static_cast<std::size_t>(control.selected));
        if (line == nullptr) {
            return {};
        }
        if (control.kind == ControlKind::ListBox || control.columns.empty()) {
            return *line;
        }
        // "Header: text" for each column, two blanks apart.
        std::u16string joined;
        const std::vector<std::u16string_view> parts = SplitColumns(*line);
        for (std::size_t c = 0; c < parts.size(); ++c) {
            if (c > 0) {
                joined += u"  ";
            }
            if (c < control.columns.size() && !control.columns[c].header.empty()) {
                joined += control.columns[c].header;
                joined += u": ";
            }
            joined += parts[c];
        }
        return joined;
    }
    return {};
}

int DebugViewRows(int rows) {
    return std::max(rows - 3, 0);
}

int CaretGlyph(const std::vector<Glyph>& glyphs, int caret) {
    const auto it =
        std::lower_bound(glyphs.begin(), glyphs.end(), static_cast<std::size_t>(std::max(caret, 0)),
                         [](const Glyph& glyph, std::size_t unit) { return glyph.source < unit; });
    return static_cast<int>(it - glyphs.begin());
}

int EditScroll(int previous, const std::vector<Glyph>& glyphs, int caretGlyph, int width) {
    const int count = static_cast<int>(glyphs.size());
    caretGlyph = std::clamp(caretGlyph, 0, count);
    // prefix[i]: columns of glyphs [0, i).
    std::vector<int> prefix(glyphs.size() + 1, 0);
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        prefix[i + 1] = prefix[i] + glyphs[i].width;
    }
    auto columns = [&prefix](int from, int to) {
        return prefix[static_cast<std::size_t>(to)] - prefix[static_cast<std::size_t>(from)];
    };
    // The caret takes a cell of its own after the glyphs before it.
    int first = std::clamp(previous, 0, caretGlyph);
    while (first < caretGlyph && columns(first, caretGlyph) + 1 > width) {
        ++first;
    }
    while (first > 0 && columns(first - 1, count) + 1 <= width) {
        --first;
    }
    return first;
}

Frame Render(const RenderInput& input) {
    const ScreenLayout& layout = input.layout;
    Frame frame(layout.screen);
    if (input.ui.debugView) {
        DrawDebug(frame, input.debug, layout);
    } else if (layout.tooSmall) {
        DrawTooSmall(frame, input.snapshot, layout);
    } else {
        for (std::size_t i = layout.windows.size(); i-- > 0;) {
            DrawWindow(frame, input.ui, layout, input.snapshot.windows[i], layout.windows[i],
                       static_cast<int>(i) == layout.active);
        }
    }
    const bool windowOnTop = !input.ui.debugView && !layout.tooSmall && layout.active >= 0;
    const std::u16string selectedLine = input.ui.debugView || layout.tooSmall
                                            ? std::u16string()
                                            : SelectedLineText(input.snapshot, layout);
    DrawStatus(
        frame, input.status, layout.screen,
        input.ui.debugView
            ? std::string(kLogKeyHelp)
            : StatusKeyHelp(windowOnTop
                                ? &input.snapshot.windows[static_cast<std::size_t>(layout.active)]
                                : nullptr),
        selectedLine);
    return frame;
}

} // namespace kobalt::terminal
