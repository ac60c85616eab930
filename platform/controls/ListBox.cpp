#include "platform/controls/ListBox.h"

#include "platform/ControlServices.h"
#include "platform/controls/CaseFold.h"
#include "platform/controls/IndexedList.h"
#include "platform/controls/ListCursor.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kobalt::platform {

namespace {

// The first code units of a text, folded, packed so that comparing keys orders texts as
// CompareFolded does as far as the keys reach. It lets a sorted insertion decide most
// comparisons from the line's own node, without reaching for the text's storage.
struct SortKey {
    static constexpr std::size_t kUnits = 16;
    std::array<std::uint64_t, kUnits / 4> words{}; // four folded units each, first in the top

    static SortKey Of(std::u16string_view text) {
        SortKey key;
        const std::size_t n = std::min(text.size(), kUnits);
        for (std::size_t i = 0; i < n; ++i) {
            const auto unit = static_cast<std::uint64_t>(FoldCase(text[i]));
            key.words[i / 4] |= unit << (48 - 16 * (i % 4));
        }
        return key;
    }
    // Texts never hold U+0000, so a shorter text's zero padding sorts it first, as a prefix.
    int Compare(const SortKey& other) const {
        for (std::size_t i = 0; i < words.size(); ++i)
            if (words[i] != other.words[i])
                return words[i] < other.words[i] ? -1 : 1;
        return 0;
    }
};

// One line of a list box.
struct Line {
    std::u16string text; // as added
    LPARAM data = 0;     // item data (LB_SETITEMDATA); 0 for a new line
    SortKey key;         // the start of `text`, folded
};

// CompareFolded(a.text, b.text), deciding from the keys where they differ.
int CompareLines(const Line& a, const Line& b) {
    const int byKey = a.key.Compare(b.key);
    if (byKey != 0 || (a.text.size() <= SortKey::kUnits && b.text.size() <= SortKey::kUnits))
        return byKey;
    return CompareFolded(a.text, b.text);
}

// Private state of a list box.
struct ListBoxState final : ControlState {
    explicit ListBoxState(DWORD style)
        : sorted((style & LBS_SORT) != 0), notify((style & LBS_NOTIFY) != 0) {}

    void Describe(desktop::ControlView& view,
                  const desktop::SnapshotOptions& options) const override {
        cursor.Describe(view, options, lines.Size(), [&](std::size_t first, std::size_t count) {
            lines.ForEach(first, count, [&](const Line& line) { view.lines.push_back(line.text); });
        });
    }

    int Count() const { return static_cast<int>(lines.Size()); }
    bool Valid(int index) const { return index >= 0 && index < Count(); }

    // Inserts a line at `index` (0..Count()) and keeps the selection on its line.
    void InsertLine(int index, std::u16string text) {
        SortKey key = SortKey::Of(text);
        lines.Insert(static_cast<std::size_t>(index), Line{std::move(text), 0, key});
        Inserted(index);
    }

    // Keeps the selection on its line after a line was inserted at `index`.
    void Inserted(int index) {
        cursor.Inserted(index);
        NotifyDesktopChanged();
    }

    IndexedList<Line> lines; // in display order
    ListCursor cursor;       // selection and top line
    // The sort and notify styles are read once at creation, as on the device.
    const bool sorted; // LBS_SORT: LB_ADDSTRING places a line at its sorted position
    const bool notify; // LBS_NOTIFY: the operator's selections notify the parent
};

std::u16string TextArg(LPARAM lParam) {
    const auto* text = reinterpret_cast<LPCWSTR>(lParam);
    return text ? std::u16string(text) : std::u16string();
}

// The message's index argument; (WPARAM)-1 reads as -1.
int IndexArg(WPARAM wParam) {
    return static_cast<int>(wParam);
}

// Handles the list box messages that only touch its state, under the lock.
LRESULT HandleLocked(ListBoxState& s, UINT msg, WPARAM wParam, LPARAM lParam) {
    const int index = IndexArg(wParam);
    switch (msg) {
    case LB_ADDSTRING: {
        if (s.sorted) {
            // Upper bound by binary search over the lines as they are: a line goes after the
            // lines equal to it; among lines put in unsorted, it still lands after one that
            // sorts before or with it and before one that sorts after it.
            std::u16string text = TextArg(lParam);
            const SortKey key = SortKey::Of(text);
            const auto at = static_cast<int>(s.lines.InsertUpperBound(
                Line{std::move(text), 0, key},
                [](const Line& added, const Line& line) { return CompareLines(added, line) < 0; }));
            s.Inserted(at);
            return at;
        }
        const int at = s.Count();
        s.InsertLine(at, TextArg(lParam));
        return at;
    }
    case LB_INSERTSTRING: {
        // Never sorted, also in a sorted list box.
        const int at = index == -1 ? s.Count() : index;
        if (at < 0 || at > s.Count()) {
            return LB_ERR;
        }
        s.InsertLine(at, TextArg(lParam));
        return at;
    }
    case LB_DELETESTRING:
        if (!s.Valid(index)) {
            return LB_ERR;
        }
        s.lines.Erase(static_cast<std::size_t>(index));
        s.cursor.Erased(index, s.Count());
        NotifyDesktopChanged();
        return s.Count();
    case LB_RESETCONTENT:
        s.lines.Clear();
        s.cursor.Reset();
        NotifyDesktopChanged();
        return 0;
    case LB_GETCOUNT:
        return s.Count();
    case LB_GETTEXT: {
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!s.Valid(index) || buffer == nullptr) {
            return LB_ERR;
        }
        // The caller sizes the buffer with LB_GETTEXTLEN, as on the device.
        const std::u16string& text = s.lines[static_cast<std::size_t>(index)].text;
        std::copy(text.begin(), text.end(), buffer);
        buffer[text.size()] = 0;
        return static_cast<LRESULT>(text.size());
    }
    case LB_GETTEXTLEN:
        return s.Valid(index)
                   ? static_cast<LRESULT>(s.lines[static_cast<std::size_t>(index)].text.size())
                   : LB_ERR;
    case LB_GETCURSEL:
        return s.cursor.Selected(); // -1 is LB_ERR
    case LB_GETITEMDATA:
        return s.Valid(index) ? s.lines[static_cast<std::size_t>(index)].data : LB_ERR;
    case LB_SETITEMDATA:
        if (!s.Valid(index)) {
            return LB_ERR;
        }
        s.lines[static_cast<std::size_t>(index)].data = lParam;
        return LB_OKAY;
    case LB_GETTOPINDEX:
        return s.cursor.Top();
    case LB_SETTOPINDEX:
        if (index < 0 || index >= std::max(s.Count(), 1)) {
            return LB_ERR;
        }
        s.cursor.ScrollTo(index, s.Count());
        NotifyDesktopChanged();
        return LB_OKAY;
    case KM_INPUT_SCROLL:
        s.cursor.ScrollTo(index, s.Count());
        NotifyDesktopChanged();
        return 0;
    default:
        return LB_ERR;
    }
}

LRESULT ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_DELETESTRING:
    case LB_RESETCONTENT:
    case LB_GETCOUNT:
    case LB_GETTEXT:
    case LB_GETTEXTLEN:
    case LB_GETCURSEL:
    case LB_GETITEMDATA:
    case LB_SETITEMDATA:
    case LB_GETTOPINDEX:
    case LB_SETTOPINDEX:
    case KM_INPUT_SCROLL: {
        auto lock = LockDesktop();
        auto* s = ControlStateAs<ListBoxState>(hwnd);
        return s ? HandleLocked(*s, msg, wParam, lParam) : LB_ERR;
    }
    case LB_SETCURSEL: {
        // Also scrolls the new selection into view; -1 clears and reports LB_ERR, as on the
        // device.
        const int page = PageLines(hwnd, 0);
        auto lock = LockDesktop();
        auto* s = ControlStateAs<ListBoxState>(hwnd);
        if (s == nullptr) {
            return LB_ERR;
        }
        const bool selected = s->cursor.Select(IndexArg(wParam), s->Count());
        if (selected) {
            s->cursor.EnsureVisible(IndexArg(wParam), page);
        }
        NotifyDesktopChanged();
        return selected ? IndexArg(wParam) : LB_ERR;
    }
    case KM_INPUT_SELECT: {
        // The operator's click: notifies even when the line was selected already.
        const int index = IndexArg(wParam);
        bool notify = false;
        {
            auto lock = LockDesktop();
            auto* s = ControlStateAs<ListBoxState>(hwnd);
            if (s == nullptr || (index != -1 && !s->Valid(index))) {
                return LB_ERR;
            }
            s->cursor.Select(index, s->Count());
            notify = s->notify;
            NotifyDesktopChanged();
        }
        if (notify) {
            NotifyParent(hwnd, LBN_SELCHANGE);
        }
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

desktop::ControlKind ListBoxKind(DWORD) {
    return desktop::ControlKind::ListBox;
}

std::unique_ptr<ControlState> CreateListBox(DWORD style) {
    return std::make_unique<ListBoxState>(style);
}

} // namespace

const ControlClass& ListBoxClass() {
    static const ControlClass listBox{WC_LISTBOX, ListBoxProc, ListBoxKind, CreateListBox};
    return listBox;
}

} // namespace kobalt::platform
