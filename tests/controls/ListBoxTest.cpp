#include "ControlTestSupport.h"

#include "platform/ControlServices.h"

#include <gtest/gtest.h>

namespace kobalt::platform::testing {
namespace {

constexpr int kListBoxId = 1001;
constexpr WPARAM kNone = static_cast<WPARAM>(-1);

Op Add(std::u16string text) {
    return SendText(LB_ADDSTRING, 0, std::move(text));
}
Op Insert(int index, std::u16string text) {
    return SendText(LB_INSERTSTRING, static_cast<WPARAM>(index), std::move(text));
}
// LB_GETTEXT into a buffer sized by LB_GETTEXTLEN; checks the copied text.
Op GetText(int index, std::u16string expected) {
    return {"LB_GETTEXT(" + std::to_string(index) + ") == \"" + Utf8(expected) + "\"",
            [=](HWND hwnd) {
                std::u16string buffer(expected.size() + 1, u'#');
                const LRESULT n = SendMessageW(hwnd, LB_GETTEXT, static_cast<WPARAM>(index),
                                               reinterpret_cast<LPARAM>(buffer.data()));
                EXPECT_EQ(buffer, expected + u'\0');
                return n;
            }};
}

TEST(ListBox, SortedAddFoldsCaseAndGoesAfterEqualLines) {
    TestParent parent;
    RunSteps(parent.Add(WC_LISTBOX, LBS_SORT, kListBoxId),
             {
                 {Add(u"BlueTooth Start"), 0, "BlueTooth Start", -1},
                 {Add(u"[Extend]Signal 3"), 0, "[Extend]Signal 3|BlueTooth Start", -1},
                 {Add(u"apple"), 1, "[Extend]Signal 3|apple|BlueTooth Start", -1},
                 {Add(u"APPLE"), 2, "[Extend]Signal 3|apple|APPLE|BlueTooth Start", -1},
                 {Add(u"_x"), 1, "[Extend]Signal 3|_x|apple|APPLE|BlueTooth Start", -1},
                 {Add(u"\u00C4rger"), 5,
                  "[Extend]Signal 3|_x|apple|APPLE|BlueTooth Start|\\u00C4rger", -1},
                 {Add(u"\u00E4rger"), 6,
                  "[Extend]Signal 3|_x|apple|APPLE|BlueTooth Start|\\u00C4rger|\\u00E4rger", -1},
                 {Add(u""), 0,
                  "|[Extend]Signal 3|_x|apple|APPLE|BlueTooth Start|\\u00C4rger|\\u00E4rger", -1},
             });
}

// Lines that agree in their first sixteen characters (case aside) are ordered by the rest; a
// line that is a prefix of another sorts first.
TEST(ListBox, SortedAddOrdersLongLinesBeyondTheirCommonStart) {
    TestParent parent;
    RunSteps(
        parent.Add(WC_LISTBOX, LBS_SORT, kListBoxId),
        {
            {Add(u"Connect  with Pixel B"), 0, "Connect  with Pixel B", -1},
            {Add(u"CONNECT  WITH PIXEL A"), 0, "CONNECT  WITH PIXEL A|Connect  with Pixel B", -1},
            {Add(u"connect  with pixel b"), 2,
             "CONNECT  WITH PIXEL A|Connect  with Pixel B|connect  with pixel b", -1},
            {Add(u"Connect  with Pix"), 0,
             "Connect  with Pix|CONNECT  WITH PIXEL A|Connect  with Pixel B|"
             "connect  with pixel b",
             -1},
            {Add(u"Connect  with Pi"), 0,
             "Connect  with Pi|Connect  with Pix|CONNECT  WITH PIXEL A|Connect  with Pixel B|"
             "connect  with pixel b",
             -1},
        });
}

// The status list pattern: device entries at fixed places, status lines sorted among them.
TEST(ListBox, InsertStringNeverSortsAndAddStringSearchesTheListAsItIs) {
    TestParent parent;
    RunSteps(
        parent.Add(WC_LISTBOX, LBS_SORT | LBS_NOTIFY, kListBoxId),
        {
            {Add(u"Wait a moment ,Search...."), 0, "Wait a moment ,Search....", -1},
            {Insert(0, u"Zeta phone"), 0, "Zeta phone|Wait a moment ,Search....", -1},
            {Insert(1, u"Alpha phone"), 1, "Zeta phone|Alpha phone|Wait a moment ,Search....", -1},
            {Send(LB_DELETESTRING, 2), 2, "Zeta phone|Alpha phone", -1},
            {Insert(-1, u"Beta"), 2, "Zeta phone|Alpha phone|Beta", -1},
            {Insert(3, u"Omega"), 3, "Zeta phone|Alpha phone|Beta|Omega", -1},
            {Insert(5, u"past the end"), LB_ERR, "Zeta phone|Alpha phone|Beta|Omega", -1},
            {Insert(-2, u"negative"), LB_ERR, "Zeta phone|Alpha phone|Beta|Omega", -1},
            {Add(u"zzz"), 4, "Zeta phone|Alpha phone|Beta|Omega|zzz", -1},
        });
}

TEST(ListBox, SelectionStaysOnItsLineAndDataTravelsWithIt) {
    TestParent parent;
    RunSteps(parent.Add(WC_LISTBOX, 0, kListBoxId),
             {
                 {Add(u"b"), 0, "b", -1},
                 {Add(u"a"), 1, "b|a", -1},
                 {Send(LB_SETITEMDATA, 0, 0xB0B), LB_OKAY, "b|a", -1},
                 {Send(LB_SETCURSEL, 0), 0, "b|a", 0},
                 {Insert(0, u"top"), 0, "top|b|a", 1},
                 {Send(LB_GETITEMDATA, 1), 0xB0B, "top|b|a", 1},
                 {Send(LB_GETITEMDATA, 0), 0, "top|b|a", 1},
                 {Send(LB_DELETESTRING, 0), 2, "b|a", 0},
                 {GetText(0, u"b"), 1, "b|a", 0},
                 {Send(LB_DELETESTRING, 1), 1, "b", 0},
                 {Send(LB_DELETESTRING, 0), 0, "", -1},
                 {Add(u"c"), 0, "c", -1},
                 {Send(LB_GETITEMDATA, 0), 0, "c", -1},
             });
}

TEST(ListBox, BadIndicesFailAndLeaveTheListAlone) {
    TestParent parent;
    RunSteps(parent.Add(WC_LISTBOX, 0, kListBoxId),
             {
                 {Send(LB_GETCURSEL), LB_ERR, "", -1},
                 {Send(LB_SETTOPINDEX, 0), LB_OKAY, "", -1},
                 {Add(u"x"), 0, "x", -1},
                 {Add(u"y"), 1, "x|y", -1},
                 {Send(LB_SETCURSEL, 1), 1, "x|y", 1},
                 {Send(LB_GETCURSEL), 1, "x|y", 1},
                 {Send(LB_SETCURSEL, 2), LB_ERR, "x|y", -1},
                 {Send(LB_SETCURSEL, 0), 0, "x|y", 0},
                 {Send(LB_SETCURSEL, kNone), LB_ERR, "x|y", -1},
                 {Send(LB_DELETESTRING, 2), LB_ERR, "x|y", -1},
                 {Send(LB_DELETESTRING, kNone), LB_ERR, "x|y", -1},
                 {Send(LB_GETTEXTLEN, 2), LB_ERR, "x|y", -1},
                 {Send(LB_GETTEXT, 2, 0), LB_ERR, "x|y", -1},
                 {Send(LB_GETITEMDATA, 2), LB_ERR, "x|y", -1},
                 {Send(LB_SETITEMDATA, 2, 5), LB_ERR, "x|y", -1},
                 {Send(LB_SETTOPINDEX, 2), LB_ERR, "x|y", -1},
                 {Send(LB_SETTOPINDEX, 1), LB_OKAY, "x|y", -1},
                 {Send(LB_GETTOPINDEX), 1, "x|y", -1},
                 {Send(LB_RESETCONTENT), 0, "", -1},
                 {Send(LB_GETTOPINDEX), 0, "", -1},
                 {Send(LB_GETCOUNT), 0, "", -1},
             });
}

TEST(ListBox, OnlyTheOperatorsSelectionNotifiesAndOnlyWithLbsNotify) {
    struct Case {
        DWORD style;
        Op op;
        std::vector<std::string> notifications;
        int selected;
    };
    const Case cases[] = {
        {LBS_NOTIFY, Send(KM_INPUT_SELECT, 1), {"1001/1"}, 1},
        {LBS_NOTIFY, Send(KM_INPUT_SELECT, kNone), {"1001/1"}, -1},
        {LBS_NOTIFY, Send(KM_INPUT_SELECT, 3), {}, -1},
        {LBS_NOTIFY, Send(LB_SETCURSEL, 1), {}, 1},
        {0, Send(KM_INPUT_SELECT, 1), {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.op.name + " with style " + std::to_string(c.style));
        TestParent parent;
        const HWND list = parent.Add(WC_LISTBOX, c.style, kListBoxId);
        for (const char16_t* line : {u"a", u"b", u"c"}) {
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
        }
        c.op.run(list);
        EXPECT_EQ(parent.TakeNotifications(), c.notifications);
        EXPECT_EQ(ViewOf(list).selected, c.selected);
    }
}

// A snapshot copies at most the allowed lines from the top line, so big lists stay cheap.
TEST(ListBox, SnapshotCopiesOnlyTheWindowFromTheTopLine) {
    TestParent parent;
    const HWND list = parent.Add(WC_LISTBOX, 0, kListBoxId, 6 * 16);
    for (int i = 0; i < 150; ++i) {
        const std::u16string line = Utf16("line " + std::to_string(i));
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    struct Case {
        Op scroll;
        std::size_t maxLines;
        std::size_t first, copied;
        int top;
    };
    const Case cases[] = {
        {Send(LB_SETTOPINDEX, 100), 10, 100, 10, 100},
        {Send(LB_SETTOPINDEX, 100), SIZE_MAX, 0, 150, 100},
        {Send(KM_INPUT_SCROLL, 145), 10, 145, 5, 145},
        {Send(KM_INPUT_SCROLL, 900), 10, 149, 1, 149},
        {Send(LB_SETCURSEL, 3), 0, 3, 0, 3},
        {Send(LB_SETCURSEL, 20), 10, 15, 10, 15}, // scrolled so that line 20 ends the page
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scroll.name + ", max " + std::to_string(c.maxLines));
        c.scroll.run(list);
        const desktop::ControlView view = ViewOf(list, c.maxLines);
        EXPECT_EQ(view.lineCount, 150u);
        EXPECT_EQ(view.firstLine, c.first);
        EXPECT_EQ(view.lines.size(), c.copied);
        EXPECT_EQ(view.topIndex, c.top);
        if (!view.lines.empty()) {
            EXPECT_EQ(Utf8(view.lines.front()), "line " + std::to_string(c.first));
        }
    }
}

} // namespace
} // namespace kobalt::platform::testing
