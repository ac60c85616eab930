#include "ControlTestSupport.h"

#include "platform/ControlServices.h"

#include <gtest/gtest.h>

namespace kobalt::platform::testing {
namespace {

constexpr int kListViewId = 1002;

Op Column(int index, std::u16string header, int width) {
    return {"LVM_INSERTCOLUMNW(" + std::to_string(index) + ", \"" + Utf8(header) + "\")",
            [=](HWND hwnd) mutable {
                LVCOLUMNW column{
                    LVCF_TEXT | LVCF_WIDTH | LVCF_FMT, LVCFMT_LEFT, width, header.data(), 0, 0};
                return SendMessageW(hwnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                                    reinterpret_cast<LPARAM>(&column));
            }};
}

Op Item(int index, std::u16string text, UINT state = 0) {
    return {"LVM_INSERTITEMW(" + std::to_string(index) + ", \"" + Utf8(text) + "\")",
            [=](HWND hwnd) mutable {
                LVITEMW item{LVIF_TEXT | LVIF_STATE, index, 0, state, state, text.data(), 0, 0, 0};
                return SendMessageW(hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            }};
}

Op SetText(int index, int column, std::u16string text) {
    return {"LVM_SETITEMTEXTW(" + std::to_string(index) + ", " + std::to_string(column) + ", \"" +
                Utf8(text) + "\")",
            [=](HWND hwnd) mutable {
                LVITEMW item{};
                item.iSubItem = column;
                item.pszText = text.data();
                return SendMessageW(hwnd, LVM_SETITEMTEXTW, static_cast<WPARAM>(index),
                                    reinterpret_cast<LPARAM>(&item));
            }};
}

// LVM_GETITEMTEXTW into a buffer of `capacity` units; checks what was copied.
Op GetText(int index, int column, int capacity, std::u16string expected) {
    return {"LVM_GETITEMTEXTW(" + std::to_string(index) + ", " + std::to_string(column) +
                ", capacity " + std::to_string(capacity) + ")",
            [=](HWND hwnd) {
                std::u16string buffer(8, u'#');
                LVITEMW item{};
                item.iSubItem = column;
                item.pszText = buffer.data();
                item.cchTextMax = capacity;
                const LRESULT n = SendMessageW(hwnd, LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                                               reinterpret_cast<LPARAM>(&item));
                EXPECT_EQ(Utf8(buffer.c_str()), Utf8(expected));
                return n;
            }};
}

Op Select(int index, bool selected) {
    return {"LVM_SETITEMSTATE(" + std::to_string(index) + (selected ? ", select)" : ", clear)"),
            [=](HWND hwnd) {
                LVITEMW item{};
                item.stateMask = LVIS_SELECTED;
                item.state = selected ? LVIS_SELECTED : 0;
                return SendMessageW(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                                    reinterpret_cast<LPARAM>(&item));
            }};
}

Op NextSelected(int start) {
    return Send(LVM_GETNEXTITEM, static_cast<WPARAM>(start), LVNI_SELECTED);
}

// The phonebook pattern: newest entry on top, number in column 1.
TEST(ListView, RowsJoinTheirColumnsWithTabs) {
    TestParent parent;
    const HWND list = parent.Add(WC_LISTVIEW, LVS_REPORT, kListViewId);
    RunSteps(list, {
                       {Column(0, u"Name", 100), 0, "", -1},
                       {Column(5, u"Number", 80), 1, "", -1},
                       {Item(0, u"Alice"), 0, "Alice", -1},
                       {SetText(0, 1, u"111"), TRUE, "Alice\t111", -1},
                       {Item(0, u"Bob(Cell)"), 0, "Bob(Cell)|Alice\t111", -1},
                       {Item(7, u"Zed"), 2, "Bob(Cell)|Alice\t111|Zed", -1},
                       {SetText(2, 1, u"333"), TRUE, "Bob(Cell)|Alice\t111|Zed\t333", -1},
                       {SetText(2, 1, u""), TRUE, "Bob(Cell)|Alice\t111|Zed", -1},
                       {SetText(2, 2, u"no column"), FALSE, "Bob(Cell)|Alice\t111|Zed", -1},
                       {SetText(3, 1, u"no row"), FALSE, "Bob(Cell)|Alice\t111|Zed", -1},
                       {SetText(0, 0, u"Bob"), TRUE, "Bob|Alice\t111|Zed", -1},
                       {Item(-1, u"bad"), -1, "Bob|Alice\t111|Zed", -1},
                       {GetText(1, 1, 8, u"111"), 3, "Bob|Alice\t111|Zed", -1},
                       {GetText(1, 0, 3, u"Al"), 2, "Bob|Alice\t111|Zed", -1},
                       {GetText(0, 1, 8, u""), 0, "Bob|Alice\t111|Zed", -1},
                       {GetText(9, 0, 8, u""), 0, "Bob|Alice\t111|Zed", -1},
                       {Send(LVM_GETITEMCOUNT), 3, "Bob|Alice\t111|Zed", -1},
                       {Send(LVM_DELETEITEM, 1), TRUE, "Bob|Zed", -1},
                       {Send(LVM_DELETEITEM, 2), FALSE, "Bob|Zed", -1},
                       {Send(LVM_DELETEALLITEMS), TRUE, "", -1},
                   });
    const desktop::ControlView view = ViewOf(list);
    ASSERT_EQ(view.columns.size(), 2u);
    EXPECT_EQ(Utf8(view.columns[0].header) + "/" + std::to_string(view.columns[0].width) + " " +
                  Utf8(view.columns[1].header) + "/" + std::to_string(view.columns[1].width),
              "Name/100 Number/80");
}

// Columns belong to report view: a list view switched to another view shows item texts only.
TEST(ListView, ColumnsShowOnlyInReportView) {
    TestParent parent;
    const HWND list = parent.Add(WC_LISTVIEW, LVS_ICON, kListViewId);
    Column(0, u"Name", 100).run(list);
    Column(1, u"Number", 80).run(list);
    Item(0, u"Alice").run(list);
    SetText(0, 1, u"111").run(list);
    EXPECT_EQ(ViewOf(list).lines, std::vector<std::u16string>{u"Alice"});
    EXPECT_TRUE(ViewOf(list).columns.empty());
    SetWindowLongW(list, GWL_STYLE, static_cast<LONG>(WS_CHILD | WS_VISIBLE | LVS_REPORT));
    EXPECT_EQ(ViewOf(list).lines, std::vector<std::u16string>{u"Alice\t111"});
    EXPECT_EQ(ViewOf(list).columns.size(), 2u);
}

TEST(ListView, ColumnWidthsAndInsertedColumnsMoveRowTexts) {
    TestParent parent;
    RunSteps(parent.Add(WC_LISTVIEW, LVS_REPORT, kListViewId),
             {
                 {Column(0, u"Name", 100), 0, "", -1},
                 {Column(1, u"Number", 80), 1, "", -1},
                 {Item(0, u"Alice"), 0, "Alice", -1},
                 {SetText(0, 1, u"111"), TRUE, "Alice\t111", -1},
                 {Column(1, u"Kind", 40), 1, "Alice\t\t111", -1},
                 {Send(LVM_GETCOLUMNWIDTH, 2), 80, "Alice\t\t111", -1},
                 {Send(LVM_SETCOLUMNWIDTH, 2, 120), TRUE, "Alice\t\t111", -1},
                 {Send(LVM_GETCOLUMNWIDTH, 2), 120, "Alice\t\t111", -1},
                 {Send(LVM_SETCOLUMNWIDTH, 0, 0xFFFF), TRUE, "Alice\t\t111", -1}, // fit the text
                 {Send(LVM_GETCOLUMNWIDTH, 0), 5 * 8 + 12, "Alice\t\t111", -1},
                 {Send(LVM_SETCOLUMNWIDTH, 1, 0xFFFE), TRUE, "Alice\t\t111", -1}, // or header
                 {Send(LVM_GETCOLUMNWIDTH, 1), 4 * 8 + 12, "Alice\t\t111", -1},
                 {Send(LVM_SETCOLUMNWIDTH, 3, 10), FALSE, "Alice\t\t111", -1},
                 {Send(LVM_GETCOLUMNWIDTH, 3), 0, "Alice\t\t111", -1},
             });
}

TEST(ListView, SingleSelectionFollowsItsRow) {
    TestParent parent;
    RunSteps(parent.Add(WC_LISTVIEW, LVS_REPORT | LVS_SINGLESEL, kListViewId),
             {
                 {Item(0, u"a"), 0, "a", -1},
                 {Item(1, u"b"), 1, "a|b", -1},
                 {Item(2, u"c", LVIS_SELECTED), 2, "a|b|c", 2},
                 {Select(1, true), TRUE, "a|b|c", 1},
                 {NextSelected(-1), 1, "a|b|c", 1},
                 {NextSelected(1), -1, "a|b|c", 1},
                 {Send(LVM_GETITEMSTATE, 1, LVIS_SELECTED), LVIS_SELECTED, "a|b|c", 1},
                 {Send(LVM_GETITEMSTATE, 0, LVIS_SELECTED), 0, "a|b|c", 1},
                 {Item(0, u"top"), 0, "top|a|b|c", 2},
                 {Send(LVM_DELETEITEM, 0), TRUE, "a|b|c", 1},
                 {Select(0, false), TRUE, "a|b|c", 1},
                 {Select(3, true), FALSE, "a|b|c", 1},
                 {Send(KM_INPUT_SELECT, 2), 0, "a|b|c", 2},
                 {Send(KM_INPUT_SELECT, 5), -1, "a|b|c", 2},
                 {Send(LVM_DELETEITEM, 2), TRUE, "a|b", -1},
                 {Select(1, true), TRUE, "a|b", 1},
                 {Select(-1, false), TRUE, "a|b", -1},
                 {Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_ALL), 0, "a|b", -1},
                 {Send(LVM_GETNEXTITEM, 1, LVNI_ALL), -1, "a|b", -1},
             });
}

// 150,000 rows inserted at the top; a snapshot copies only the visible window of them.
TEST(ListView, LargeListSnapshotsOnlyTheVisibleRows) {
    TestParent parent;
    const HWND list = parent.Add(WC_LISTVIEW, LVS_REPORT, kListViewId, 6 * 16);
    Column(0, u"Name", 100).run(list);
    constexpr int kRows = 150'000;
    for (int i = 0; i < kRows; ++i) {
        std::u16string text = Utf16(std::to_string(i));
        LVITEMW item{LVIF_TEXT, 0, 0, 0, 0, text.data(), 0, 0, 0};
        ASSERT_EQ(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)), 0);
    }
    struct Case {
        Op scroll;
        std::size_t first, copied;
        std::string firstText;
    };
    const Case cases[] = {
        {Send(LVM_GETTOPINDEX), 0, 20, "149999"},
        {Send(KM_INPUT_SCROLL, 149'990), 149'990, 10, "9"},
        {Send(KM_INPUT_SCROLL, 0), 0, 20, "149999"},
        {Send(LVM_ENSUREVISIBLE, 100), 96, 20, "149903"}, // last of a 5-row page below a header
        {Send(LVM_ENSUREVISIBLE, 98), 96, 20, "149903"},
        {Send(LVM_ENSUREVISIBLE, 50), 50, 20, "149949"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scroll.name);
        c.scroll.run(list);
        const desktop::ControlView view = ViewOf(list, 20);
        EXPECT_EQ(view.lineCount, static_cast<std::size_t>(kRows));
        EXPECT_EQ(view.firstLine, c.first);
        EXPECT_EQ(static_cast<std::size_t>(view.topIndex), c.first);
        ASSERT_EQ(view.lines.size(), c.copied);
        EXPECT_EQ(Utf8(view.lines.front()), c.firstText);
    }
}

} // namespace
} // namespace kobalt::platform::testing
