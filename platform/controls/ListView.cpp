#include "platform/controls/ListView.h"

#include "platform/ControlServices.h"
#include "platform/controls/IndexedList.h"
#include "platform/controls/ListCursor.h"

#include <algorithm>
#include <string>
#include <vector>

namespace kobalt::platform {

namespace {

// LVM_SETCOLUMNWIDTH's automatic widths (common controls values).
constexpr int kAutoSize = -1;            // fits the widest text of the column
constexpr int kAutoSizeUseHeader = -2;   // fits the widest text or the header
constexpr int kCharPixels = 8;           // one character cell of the front ends
constexpr int kColumnPaddingPixels = 12; // room around the text of a column

// One column of the report view.
struct Column {
    std::u16string header; // LVCF_TEXT
    int width = 0;         // pixels (LVCF_WIDTH)
    int fmt = LVCFMT_LEFT; // LVCF_FMT
};

// One row: the item and its subitems.
struct Row {
    std::vector<std::u16string> texts; // by column; [0] is the item's text, absent ones empty
    LPARAM param = 0;                  // LVIF_PARAM
};

// Private state of a list view.
struct ListViewState final : ControlState {
    // A row is its texts up to the last non-empty one among the view's columns, joined by tabs:
    // a row with only its item text is that text. Outside report view, only the item text.
    void Describe(desktop::ControlView& view,
                  const desktop::SnapshotOptions& options) const override {
        const bool report = (view.style & LVS_TYPEMASK) == LVS_REPORT;
        const std::size_t shown = report ? std::max<std::size_t>(columns.size(), 1) : 1;
        view.columns.clear();
        if (report) {
            for (const Column& column : columns) {
                view.columns.push_back({column.header, column.width});
            }
        }
        cursor.Describe(view, options, rows.Size(), [&](std::size_t first, std::size_t count) {
            rows.ForEach(first, count, [&](const Row& row) {
                std::size_t used = std::min(row.texts.size(), shown);
                while (used > 1 && row.texts[used - 1].empty()) {
                    --used;
                }
                std::u16string line = row.texts.empty() ? std::u16string() : row.texts[0];
                for (std::size_t i = 1; i < used; ++i) {
                    line += u'\t';
                    line += row.texts[i];
                }
                view.lines.push_back(std::move(line));
            });
        });
    }

    int Count() const { return static_cast<int>(rows.Size()); }
    bool Valid(int index) const { return index >= 0 && index < Count(); }
    Row& At(int index) { return rows[static_cast<std::size_t>(index)]; }

    std::vector<Column> columns; // in display order
    IndexedList<Row> rows;       // in display order
    ListCursor cursor;           // selection and top row
};

std::u16string TextOf(LPCWSTR text) {
    return text ? std::u16string(text) : std::u16string();
}

// Copies `text` into the caller's buffer of `capacity` units, cut to fit with its terminator;
// returns the units copied without it.
int CopyOut(const std::u16string& text, LPWSTR buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) {
        return 0;
    }
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(capacity - 1));
    std::copy_n(text.begin(), n, buffer);
    buffer[n] = 0;
    return static_cast<int>(n);
}

int InsertColumn(ListViewState& s, int index, const LVCOLUMNW* in) {
    if (in == nullptr || index < 0) {
        return -1;
    }
    const int at = std::min(index, static_cast<int>(s.columns.size()));
    Column column;
    if (in->mask & LVCF_TEXT) {
        column.header = TextOf(in->pszText);
    }
    if (in->mask & LVCF_WIDTH) {
        column.width = in->cx;
    }
    if (in->mask & LVCF_FMT) {
        column.fmt = in->fmt;
    }
    s.columns.insert(s.columns.begin() + at, std::move(column));
    // Texts of existing rows move right with their columns; O(rows), and lists get their
    // columns before their rows.
    if (at < static_cast<int>(s.columns.size()) - 1) {
        s.rows.ForEach(0, s.rows.Size(), [&](Row& row) {
            if (static_cast<int>(row.texts.size()) > at) {
                row.texts.insert(row.texts.begin() + at, std::u16string());
            }
        });
    }
    NotifyDesktopChanged();
    return at;
}

BOOL SetColumnWidth(ListViewState& s, int column, int width) {
    if (column < 0 || column >= static_cast<int>(s.columns.size())) {
        return FALSE;
    }
    if (width == kAutoSize || width == kAutoSizeUseHeader) {
        std::size_t widest = width == kAutoSizeUseHeader ? s.columns[column].header.size() : 0;
        s.rows.ForEach(0, s.rows.Size(), [&](const Row& row) {
            if (static_cast<std::size_t>(column) < row.texts.size()) {
                widest = std::max(widest, row.texts[column].size());
            }
        });
        width = static_cast<int>(widest) * kCharPixels + kColumnPaddingPixels;
    }
    s.columns[column].width = std::max(width, 0);
    NotifyDesktopChanged();
    return TRUE;
}

int InsertItem(ListViewState& s, const LVITEMW* in) {
    if (in == nullptr || in->iItem < 0 || in->iSubItem != 0) {
        return -1;
    }
    const int at = std::min(in->iItem, s.Count());
    Row row;
    if (in->mask & LVIF_TEXT) {
        row.texts.push_back(TextOf(in->pszText));
    }
    if (in->mask & LVIF_PARAM) {
        row.param = in->lParam;
    }
    s.rows.Insert(static_cast<std::size_t>(at), std::move(row));
    s.cursor.Inserted(at);
    if ((in->mask & LVIF_STATE) && (in->stateMask & in->state & LVIS_SELECTED)) {
        s.cursor.Select(at, s.Count());
    }
    NotifyDesktopChanged();
    return at;
}

BOOL SetItemText(ListViewState& s, int item, const LVITEMW* in) {
    if (in == nullptr || !s.Valid(item) || in->iSubItem < 0) {
        return FALSE;
    }
    const auto sub = static_cast<std::size_t>(in->iSubItem);
    if (sub > 0 && sub >= s.columns.size()) {
        return FALSE;
    }
    Row& row = s.At(item);
    if (row.texts.size() <= sub) {
        row.texts.resize(sub + 1);
    }
    row.texts[sub] = TextOf(in->pszText);
    NotifyDesktopChanged();
    return TRUE;
}

int GetItemText(ListViewState& s, int item, LVITEMW* io) {
    if (io == nullptr) {
        return 0;
    }
    static const std::u16string kEmpty;
    const std::u16string* text = &kEmpty;
    if (s.Valid(item) && io->iSubItem >= 0) {
        const Row& row = s.At(item);
        const auto sub = static_cast<std::size_t>(io->iSubItem);
        if (sub < row.texts.size()) {
            text = &row.texts[sub];
        }
    }
    return CopyOut(*text, io->pszText, io->cchTextMax);
}

// Single selection: selecting a row moves the selection to it, deselecting clears it when it
// is there. Item -1 means every row, which can only deselect.
BOOL SetItemState(ListViewState& s, int item, const LVITEMW* in) {
    if (in == nullptr || (item != -1 && !s.Valid(item))) {
        return FALSE;
    }
    if (in->stateMask & LVIS_SELECTED) {
        const bool select = (in->state & LVIS_SELECTED) != 0;
        if (select && item != -1) {
            s.cursor.Select(item, s.Count());
        } else if (!select && (item == -1 || s.cursor.Selected() == item)) {
            s.cursor.Select(-1, s.Count());
        }
        NotifyDesktopChanged();
    }
    return TRUE;
}

int GetNextItem(const ListViewState& s, int start, UINT flags) {
    if (flags & LVNI_SELECTED) {
        return s.cursor.Selected() > start ? s.cursor.Selected() : -1;
    }
    const int next = std::max(start, -1) + 1;
    return next < s.Count() ? next : -1;
}

// Handles the messages that only touch the state, under the lock.
LRESULT HandleLocked(ListViewState& s, UINT msg, WPARAM wParam, LPARAM lParam) {
    const int index = static_cast<int>(wParam);
    switch (msg) {
    case LVM_INSERTCOLUMNW:
        return InsertColumn(s, index, reinterpret_cast<const LVCOLUMNW*>(lParam));
    case LVM_SETCOLUMNWIDTH:
        // The width travels in the low word, signed.
        return SetColumnWidth(s, index, static_cast<short>(lParam & 0xFFFF));
    case LVM_GETCOLUMNWIDTH:
        return index >= 0 && index < static_cast<int>(s.columns.size()) ? s.columns[index].width
                                                                        : 0;
    case LVM_INSERTITEMW:
        return InsertItem(s, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_SETITEMTEXTW:
        return SetItemText(s, index, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_GETITEMTEXTW:
        return GetItemText(s, index, reinterpret_cast<LVITEMW*>(lParam));
    case LVM_DELETEITEM:
        if (!s.Valid(index)) {
            return FALSE;
        }
        s.rows.Erase(static_cast<std::size_t>(index));
        s.cursor.Erased(index, s.Count());
        NotifyDesktopChanged();
        return TRUE;
    case LVM_DELETEALLITEMS:
        s.rows.Clear();
        s.cursor.Reset();
        NotifyDesktopChanged();
        return TRUE;
    case LVM_GETITEMCOUNT:
        return s.Count();
    case LVM_SETITEMSTATE:
        return SetItemState(s, index, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_GETITEMSTATE:
        return s.Valid(index) && s.cursor.Selected() == index
                   ? static_cast<LRESULT>(LVIS_SELECTED & static_cast<UINT>(lParam))
                   : 0;
    case LVM_GETNEXTITEM:
        return GetNextItem(s, index, static_cast<UINT>(lParam));
    case LVM_GETTOPINDEX:
        return s.cursor.Top();
    case KM_INPUT_SELECT:
        // The operator's click; list views notify through WM_NOTIFY, which the platform
        // does not carry, so the parent hears nothing.
        if (index != -1 && !s.Valid(index)) {
            return -1;
        }
        s.cursor.Select(index, s.Count());
        NotifyDesktopChanged();
        return 0;
    case KM_INPUT_SCROLL:
        s.cursor.ScrollTo(index, s.Count());
        NotifyDesktopChanged();
        return 0;
    default:
        return 0;
    }
}

LRESULT ListViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case LVM_INSERTCOLUMNW:
    case LVM_SETCOLUMNWIDTH:
    case LVM_GETCOLUMNWIDTH:
    case LVM_INSERTITEMW:
    case LVM_SETITEMTEXTW:
    case LVM_GETITEMTEXTW:
    case LVM_DELETEITEM:
    case LVM_DELETEALLITEMS:
    case LVM_GETITEMCOUNT:
    case LVM_SETITEMSTATE:
    case LVM_GETITEMSTATE:
    case LVM_GETNEXTITEM:
    case LVM_GETTOPINDEX:
    case KM_INPUT_SELECT:
    case KM_INPUT_SCROLL: {
        auto lock = LockDesktop();
        auto* s = ControlStateAs<ListViewState>(hwnd);
        if (s == nullptr) {
            return msg == LVM_INSERTITEMW || msg == LVM_INSERTCOLUMNW ? -1 : 0;
        }
        return HandleLocked(*s, msg, wParam, lParam);
    }
    case LVM_ENSUREVISIBLE: {
        // The page is the window's height less the header line of a report view.
        const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
        const int page = PageLines(hwnd, (style & LVS_TYPEMASK) == LVS_REPORT ? 1 : 0);
        const int index = static_cast<int>(wParam);
        auto lock = LockDesktop();
        auto* s = ControlStateAs<ListViewState>(hwnd);
        if (s == nullptr || !s->Valid(index)) {
            return FALSE;
        }
        s->cursor.EnsureVisible(index, page);
        NotifyDesktopChanged();
        return TRUE;
    }
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

desktop::ControlKind ListViewKind(DWORD) {
    return desktop::ControlKind::ListView;
}

std::unique_ptr<ControlState> CreateListView(DWORD) {
    return std::make_unique<ListViewState>();
}

} // namespace

const ControlClass& ListViewClass() {
    static const ControlClass listView{WC_LISTVIEW, ListViewProc, ListViewKind, CreateListView};
    return listView;
}

} // namespace kobalt::platform
