// The screen as plain text at small fixed sizes: one screen per dialog template (kept in
// screens/), and the cases that stress the layout: message boxes over dimmed windows, scrolled
// lists, a terminal too small, text from a hostile phone.
#include "TerminalTestSupport.h"

#include "frontend/terminal/Palette.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace kobalt::terminal {
namespace {

using desktop::ControlKind;
using desktop::ControlView;
using desktop::Snapshot;
using desktop::WindowKind;
using desktop::WindowView;
using testing::ExpectScreen;
using testing::Lines;
using testing::RoomFor;
using testing::Screen;
using testing::TemplateDialog;

Snapshot Take() {
    return desktop::TakeSnapshot();
}

// The screen without its status line, for the cases about what is above it.
std::string Body(const std::string& screen) {
    const std::size_t last = screen.rfind('\n', screen.size() - 2);
    return last == std::string::npos ? std::string() : screen.substr(0, last + 1);
}

TEST(TemplateScreens, MainWindowAfterStart) {
    TemplateDialog main(IDD_KOBALTDEMO_DIALOG);
    // As the main window stands after its initialisation and a successful START.
    main.Disable({IDC_MAIN_START, IDC_MAIN_DIAL, IDC_MAIN_A2DP, IDC_MAIN_DISCONNECT,
                  IDC_MAIN_PHONEBOOK, IDC_MAIN_DUN});
    main.Check(IDC_MAIN_MODE_DEFAULT);
    main.AddLines(IDC_MAIN_STATUSLIST, {u"BlueTooth Start", u"Init OK"});
    main.Focus(IDC_MAIN_SEARCH);
    ExpectScreen("102_main", Screen(Take(), RoomFor(IDD_KOBALTDEMO_DIALOG)));
}

TEST(TemplateScreens, Setting) {
    TemplateDialog setting(IDD_SETTING);
    setting.SetText(IDC_SETTING_PIN, u"0000");
    setting.SetText(IDC_SETTING_NAME, u"KOBALT-Car");
    setting.SetText(IDC_SETTING_MODULE, u"HF-2.1");
    setting.SetText(IDC_SETTING_ADDR, u"00:11:22:33:44:55");
    ExpectScreen("129_setting", Screen(Take(), RoomFor(IDD_SETTING)));
}

TEST(TemplateScreens, HandFreeDuringACall) {
    TemplateDialog handFree(IDD_HANDFREE);
    handFree.SetText(IDC_HF_NUMBER, u"10086");
    handFree.AddLines(IDC_HF_STATE, {u"On Talking..."});
    ExpectScreen("130_handfree", Screen(Take(), RoomFor(IDD_HANDFREE)));
}

TEST(TemplateScreens, Dtmf) {
    TemplateDialog dtmf(IDD_DTMF);
    dtmf.SetText(IDC_DTMF_DISPLAY, u"12*#");
    ExpectScreen("131_dtmf", Screen(Take(), RoomFor(IDD_DTMF)));
}

TEST(TemplateScreens, PhoneBookWithContacts) {
    TemplateDialog phoneBook(IDD_PHONEBOOK);
    phoneBook.AddColumns(IDC_PHONEBOOK_LIST, {{u"NAME", 80}, {u"Number", 118}});
    phoneBook.AddRows(IDC_PHONEBOOK_LIST,
                      {u"Alice(Work)\t+44 20 7946 0958", u"Alice(Home)\t+44 20 7946 0000",
                       u"Bartholomew Longname(Cell)\t0049 170 1234567890"});
    ExpectScreen("132_phonebook", Screen(Take(), RoomFor(IDD_PHONEBOOK)));
}

TEST(TemplateScreens, A2dp) {
    TemplateDialog a2dp(IDD_A2DP);
    ExpectScreen("133_a2dp", Screen(Take(), RoomFor(IDD_A2DP)));
}

TEST(TemplateScreens, DunWithCountries) {
    TemplateDialog dun(IDD_DUN);
    dun.AddLines(IDC_DUN_LIST, {u"China", u"Germany", u"United Kingdom"});
    dun.Select(IDC_DUN_LIST, 1);
    ExpectScreen("134_dun", Screen(Take(), RoomFor(IDD_DUN)));
}

TEST(TemplateScreens, CalllogWhileSyncing) {
    TemplateDialog calllog(IDD_CALLLOG);
    SetWindowTextW(calllog.Hwnd(), u"Syncing...");
    calllog.AddColumns(IDC_CALLLOG_LIST, {{u"NAME", 80}, {u"Number", 118}});
    calllog.AddRows(IDC_CALLLOG_LIST, {u"Carol\t10086", u"\t+86 10 1234 5678"});
    ExpectScreen("135_calllog", Screen(Take(), RoomFor(IDD_CALLLOG)));
}

TEST(TemplateScreens, StressTestRunning) {
    TemplateDialog autoTest(IDD_AUTOTEST);
    autoTest.AddLines(IDC_AUTOTEST_LIST, {u"Init OK", u"UnInit OK", u"Init OK"});
    ExpectScreen("136_autotest", Screen(Take(), RoomFor(IDD_AUTOTEST)));
}

// The box MessageBoxW makes for a one-line text, as the window server lays it out.
WindowView MessageBoxView(std::u16string caption, std::u16string text) {
    WindowView box;
    box.kind = WindowKind::MessageBox;
    box.caption = std::move(caption);
    box.text = std::move(text);
    box.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const int columns = static_cast<int>(box.text.size()) + 4;
    box.rect = RECT{0, 0, columns * 8, 5 * 16};
    box.active = true;
    ControlView ok;
    ok.id = IDOK;
    ok.kind = ControlKind::PushButton;
    ok.text = u"OK";
    ok.style = WS_TABSTOP;
    ok.rect = RECT{(columns * 8 - 64) / 2, 48, (columns * 8 - 64) / 2 + 64, 64};
    ok.focused = true;
    box.controls.push_back(ok);
    return box;
}

TEST(MessageBoxScreen, OverTheDimmedMainWindow) {
    TemplateDialog main(IDD_KOBALTDEMO_DIALOG);
    Snapshot snapshot = Take();
    snapshot.windows[0].active = false;
    snapshot.windows[0].enabled = false;
    snapshot.windows.insert(snapshot.windows.begin(),
                            MessageBoxView(u"ERROR", u"Load KOBALT.dll Fail"));
    const ScreenSize size = RoomFor(IDD_KOBALTDEMO_DIALOG);
    ExpectScreen("messagebox_over_main", Screen(snapshot, size));

    // Everything of the main window that shows is dimmed; nothing of the box is.
    const Frame frame = testing::RenderScreen(snapshot, size);
    const ScreenLayout layout = LayOut(snapshot, size);
    const CellRect& box = layout.windows[0].box;
    const CellRect& beneath = layout.windows[1].box;
    for (int row = 0; row < size.rows - 1; ++row) {
        for (int col = 0; col < size.cols; ++col) {
            const bool dimmed = (frame.grid.At(col, row).flags & kInactive) != 0;
            const bool expected = beneath.Contains(col, row) && !box.Contains(col, row);
            ASSERT_EQ(dimmed, expected) << "cell " << col << "," << row;
        }
    }
}

// A window of its own size holding one control, for the cases that need no template.
WindowView WindowWith(int cols, int rows, std::vector<ControlView> controls) {
    WindowView window;
    window.kind = WindowKind::Dialog;
    window.caption = u"T";
    window.rect = RECT{0, 0, cols * 8, rows * 16};
    window.active = true;
    window.controls = std::move(controls);
    return window;
}

ControlView ListBox(int cols, int rows, std::size_t count) {
    ControlView list;
    list.kind = ControlKind::ListBox;
    list.style = WS_TABSTOP;
    list.rect = RECT{0, 0, cols * 8, rows * 16};
    list.lineCount = count;
    for (std::size_t i = 0; i < count; ++i) {
        list.lines.push_back(u"line " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)));
    }
    return list;
}

TEST(ListScreen, ScrolledWithSelectionAndIndicator) {
    ControlView list = ListBox(10, 4, 12);
    list.topIndex = 8; // the last page
    list.selected = 9;
    Snapshot snapshot;
    snapshot.windows.push_back(WindowWith(10, 4, {list}));
    // Four rows of twelve lines: the thumb is a third of the track, at its end.
    EXPECT_EQ(Body(Screen(snapshot, ScreenSize{12, 7})), Lines(R"(
┌─ T ──────┐
│line I   ░│
│line J   ░│
│line K   ░│
│line L   █│
└──────────┘
)"));
    const Frame frame = testing::RenderScreen(snapshot, ScreenSize{12, 7});
    EXPECT_EQ(frame.grid.Mask([](const Cell& cell) { return (cell.flags & kSelected) != 0; }),
              Lines(R"(
............
............
.#########..
............
............
............
............
)"));
}

TEST(ListScreen, SnapshotWindowFromTheTopIndex) {
    // With a bounded snapshot, `lines` starts at the top index; the indicator uses the count.
    ControlView list = ListBox(10, 3, 0);
    list.lineCount = 150000;
    list.topIndex = 149997;
    list.firstLine = 149997;
    list.lines = {u"row 149997", u"row 149998", u"row 149999"};
    Snapshot snapshot;
    snapshot.windows.push_back(WindowWith(12, 3, {list}));
    EXPECT_EQ(Body(Screen(snapshot, ScreenSize{14, 6})), Lines(R"(
┌─ T ────────┐
│row 14999░  │
│row 14999░  │
│row 14999█  │
└────────────┘
)"));
}

TEST(TooSmall, SaysWhatTheActiveWindowNeeds) {
    TemplateDialog main(IDD_KOBALTDEMO_DIALOG);
    const ScreenSize room = RoomFor(IDD_KOBALTDEMO_DIALOG);
    const ScreenLayout fits = LayOut(Take(), ScreenSize{room.cols - 2, room.rows - 2});
    EXPECT_FALSE(fits.tooSmall);
    EXPECT_EQ(fits.needed, (ScreenSize{room.cols - 2, room.rows - 2}));
    EXPECT_TRUE(LayOut(Take(), ScreenSize{room.cols - 3, room.rows - 2}).tooSmall);
    EXPECT_TRUE(LayOut(Take(), ScreenSize{room.cols - 2, room.rows - 3}).tooSmall);

    // The window by its template's name, which stays when the console changes the caption.
    SetWindowTextW(main.Hwnd(), u"Syncing...");
    EXPECT_EQ(Screen(Take(), ScreenSize{40, 8}), Lines(R"(

       The terminal is too small.
  IDD_KOBALTDEMO_DIALOG needs 93 x 25,
        the terminal is 40 x 8;
     every window fits in 95 x 25.
   Enlarge it, or press F10 to quit.

 F2 Power  F3 Log   Audio off  Power on
)"));
    // Even a tiny terminal gets no broken drawing, only less of the message.
    EXPECT_EQ(Screen(Take(), ScreenSize{8, 2}), Lines(R"(
The term
Audio of
)"));
}

TEST(HostileText, CannotDriveTheTerminal) {
    ControlView list = ListBox(22, 4, 0);
    list.lines = {u"\x1b[2J\x1b]0;pwned\x07Phone",
                  u"Evil\rCar\nKit\x9b"
                  u"31m",
                  u"\u202Egnp.exe\u200D", u"Tab\tName"};
    list.lineCount = list.lines.size();
    Snapshot snapshot;
    snapshot.windows.push_back(WindowWith(22, 4, {list}));
    snapshot.windows[0].caption = u"\x1b[31mRed";
    EXPECT_EQ(Body(Screen(snapshot, ScreenSize{24, 7})), Lines(R"(
┌─ �[31mRed ───────────┐
│�[2J�]0;pwned�Phone  ░│
│Evil�Car�Kit�31m     ░│
│gnp.exe              ░│
│Tab Name             ░│
└──────────────────────┘
)"));
    const Frame frame = testing::RenderScreen(snapshot, ScreenSize{24, 7});
    for (int row = 0; row < frame.grid.Rows(); ++row) {
        for (int col = 0; col < frame.grid.Cols(); ++col) {
            const char32_t ch = frame.grid.At(col, row).ch;
            ASSERT_TRUE(ch >= 0x20 && (ch < 0x7F || ch > 0x9F))
                << "control at " << col << "," << row;
        }
    }
}

TEST(HostileText, WideCharactersKeepTheLayout) {
    // Names in CJK take two columns each; one that does not fit whole is left out, so the
    // border stays in its column.
    ControlView list = ListBox(9, 3, 0);
    list.lines = {u"王小明手机", u"ab王小明", u"\U0001F4F1Phone"};
    list.lineCount = list.lines.size();
    ControlView edit;
    edit.kind = ControlKind::Edit;
    edit.text = u"a宋体";
    edit.rect = RECT{0, 48, 4 * 8, 64};
    Snapshot snapshot;
    snapshot.windows.push_back(WindowWith(9, 4, {list, edit}));
    snapshot.windows[0].caption = u"宋体";
    EXPECT_EQ(Body(Screen(snapshot, ScreenSize{11, 7})), Lines(R"(
┌─ 宋体 ──┐
│王小明手░│
│ab王小明░│
│📱Phone ░│
│a宋_     │
└─────────┘
)"));
}

TEST(Cursor, MarksTheFocusedEditOrListOfTheActiveWindowOnly) {
    ControlView edit;
    edit.hwnd = reinterpret_cast<HWND>(0x10);
    edit.kind = ControlKind::Edit;
    edit.text = u"0123456789";
    edit.caret = 10;
    edit.focused = true;
    edit.rect = RECT{0, 0, 6 * 8, 16};
    Snapshot snapshot;
    snapshot.windows.push_back(WindowWith(8, 3, {edit}));
    const ScreenSize size{10, 6};

    // The caret at the end of a long text: the text's tail shows, the cursor after it.
    Frame frame = testing::RenderScreen(snapshot, size);
    EXPECT_EQ(Body(frame.grid.PlainText()), Lines(R"(
┌─ T ────┐
│56789_  │
│        │
│        │
└────────┘
)"));
    EXPECT_TRUE(frame.cursorVisible);
    EXPECT_EQ(frame.cursorCol, 6);
    EXPECT_EQ(frame.cursorRow, 1);
    ASSERT_EQ(frame.editScroll.count(edit.hwnd), 1u);

    // Back to the start: the view follows; carried scroll keeps it steady in between.
    testing::ScreenInput input;
    input.ui.editScroll = frame.editScroll;
    snapshot.windows[0].controls[0].caret = 7;
    EXPECT_EQ(testing::RenderScreen(snapshot, size, input).cursorCol, 3);
    snapshot.windows[0].controls[0].caret = 0;
    frame = testing::RenderScreen(snapshot, size, input);
    EXPECT_EQ(frame.cursorCol, 1);
    EXPECT_EQ(frame.editScroll.count(edit.hwnd), 0u);

    ControlView list = ListBox(6, 2, 5);
    list.rect = RECT{0, 16, 6 * 8, 48};
    list.focused = true;
    list.topIndex = 2;
    list.selected = 3;
    snapshot.windows[0].controls = {list};
    frame = testing::RenderScreen(snapshot, size);
    EXPECT_TRUE(frame.cursorVisible);
    EXPECT_EQ(frame.cursorRow, 3) << "on the selected line, the second shown";
    snapshot.windows[0].controls[0].selected = 0; // scrolled out: the top line
    EXPECT_EQ(testing::RenderScreen(snapshot, size).cursorRow, 2);

    snapshot.windows[0].active = false;
    EXPECT_FALSE(testing::RenderScreen(snapshot, size).cursorVisible);
}

// Cells whose style in monochrome (NO_COLOR) satisfies `test`, as a mask.
template <class Test> std::string MonochromeMask(const Frame& frame, Test test) {
    return frame.grid.Mask([&test](const Cell& cell) {
        return test(StyleOf(cell.role, cell.flags, ColourMode::Monochrome));
    });
}

ControlView Bordered(ControlView control) {
    control.style |= WS_BORDER;
    return control;
}

ControlView Edit(std::u16string text, int row, int rows) {
    ControlView edit;
    edit.kind = ControlKind::Edit;
    edit.style = WS_TABSTOP | WS_BORDER;
    edit.text = std::move(text);
    edit.rect = RECT{0, row * 16, 12 * 8, (row + rows) * 16};
    return edit;
}

TEST(Borders, ListsAndEditsAreFramedAsTheirStylesSay) {
    // A box on three rows and more, a lid on two, the sides on one; none without WS_BORDER.
    ControlView list = Bordered(ListBox(12, 4, 2));
    ControlView plain = ListBox(12, 1, 1);
    plain.rect = RECT{0, 7 * 16, 12 * 8, 8 * 16};
    Snapshot snapshot;
    snapshot.windows.push_back(
        WindowWith(14, 8, {list, Edit(u"ab", 4, 2), Edit(u"cd", 6, 1), plain}));
    EXPECT_EQ(Body(Screen(snapshot, ScreenSize{16, 11})), Lines(R"(
┌─ T ──────────┐
│┌──────────┐  │
││line A   ░│  │
││line B   ░│  │
│└──────────┘  │
│┌──────────┐  │
││ab________│  │
││cd________│  │
│line A     ░  │
└──────────────┘
)"));
}

TEST(Borders, AGroupBoxIsAFrameWithItsCaption) {
    ControlView group;
    group.kind = ControlKind::PushButton;
    group.style = 0x0007; // BS_GROUPBOX
    group.text = u"Mode";
    group.rect = RECT{0, 0, 10 * 8, 3 * 16};
    Snapshot snapshot;
    snapshot.windows.push_back(WindowWith(10, 3, {group}));
    EXPECT_EQ(Body(Screen(snapshot, ScreenSize{12, 6})), Lines(R"(
┌─ T ──────┐
│┌Mode────┐│
││        ││
│└────────┘│
└──────────┘
)"));
}

TEST(Focus, ShowsOnEveryControlWithoutColour) {
    ControlView list = Bordered(ListBox(12, 3, 2));
    list.focused = true; // nothing selected yet
    ControlView radio;
    radio.kind = ControlKind::RadioButton;
    radio.style = WS_TABSTOP;
    radio.text = u"140";
    radio.rect = RECT{0, 3 * 16, 6 * 8, 4 * 16};
    ControlView checked = radio;
    checked.text = u"173";
    checked.checked = true;
    checked.rect = RECT{6 * 8, 3 * 16, 12 * 8, 4 * 16};
    Snapshot snapshot;
    snapshot.windows.push_back(WindowWith(12, 4, {list, radio, checked}));
    EXPECT_EQ(Body(Screen(snapshot, ScreenSize{14, 7})), Lines(R"(
┌─ T ────────┐
│╔══════════╗│
│║line A   █║│
│╚══════════╝│
│( )140(*)173│
└────────────┘
)"));
    snapshot.windows[0].controls[0].focused = false;
    snapshot.windows[0].controls[1].focused = true;
    snapshot.windows[0].controls[1].checked = true;
    snapshot.windows[0].controls[2].checked = false;
    EXPECT_EQ(Body(Screen(snapshot, ScreenSize{14, 7})), Lines(R"(
┌─ T ────────┐
│┌──────────┐│
││line A   █││
│└──────────┘│
│>*<140( )173│
└────────────┘
)"));
}

TEST(Focus, AButtonItsCaptionFillsIsTheOneOutOfReverseVideo) {
    // As "[Siri ]EndSiri" on the main window: the second caption leaves no room for marks.
    ControlView siri;
    siri.kind = ControlKind::PushButton;
    siri.style = WS_TABSTOP;
    siri.text = u"Siri";
    siri.rect = RECT{0, 0, 7 * 8, 16};
    ControlView endSiri = siri;
    endSiri.text = u"EndSiri";
    endSiri.rect = RECT{7 * 8, 0, 14 * 8, 16};
    endSiri.focused = true;
    Snapshot snapshot;
    snapshot.windows.push_back(WindowWith(14, 1, {siri, endSiri}));
    const Frame frame = testing::RenderScreen(snapshot, ScreenSize{16, 4});
    EXPECT_EQ(Body(frame.grid.PlainText()), Lines(R"(
┌─ T ──────────┐
│[Siri ]EndSiri│
└──────────────┘
)"));
    EXPECT_EQ(Body(MonochromeMask(frame, [](const Style& style) { return style.reverse; })),
              Lines(R"(
................
.#######........
................
)"));
    EXPECT_EQ(Body(MonochromeMask(frame, [](const Style& style) { return style.underline; })),
              Lines(R"(
................
........#######.
................
)"));
}

TEST(Focus, OnAControlThatBecameDisabledStaysGreyed) {
    ControlView start;
    start.kind = ControlKind::PushButton;
    start.style = WS_TABSTOP;
    start.text = u"START";
    start.rect = RECT{0, 0, 9 * 8, 16};
    start.focused = true;
    start.enabled = false;
    ControlView edit = Edit(u"0000", 1, 2);
    edit.enabled = false;
    Snapshot snapshot;
    snapshot.windows.push_back(WindowWith(12, 3, {start, edit}));
    const Frame frame = testing::RenderScreen(snapshot, ScreenSize{14, 6});
    EXPECT_EQ(Body(frame.grid.PlainText()), Lines(R"(
┌─ T ────────┐
│> START <   │
│┌──────────┐│
││0000______││
└────────────┘
)"));
    const Cell& mark = frame.grid.At(1, 1);
    ASSERT_EQ(mark.flags, kDisabled | kFocused);
    const Style colour = StyleOf(mark.role, mark.flags, ColourMode::Colour);
    EXPECT_TRUE(colour.dim);
    EXPECT_NE(colour.fg, colour.bg) << "the greyed caption stays readable";
    const Style mono = StyleOf(mark.role, mark.flags, ColourMode::Monochrome);
    EXPECT_TRUE(mono.dim);
    EXPECT_NE(mono, StyleOf(Role::Button, kDisabled, ColourMode::Monochrome))
        << "a disabled focused button differs from a disabled one";
}

TEST(HorizontalScroll, ShiftedLinesAndArrowsInTheBottomEdge) {
    ControlView list = Bordered(ListBox(12, 4, 0));
    list.hwnd = reinterpret_cast<HWND>(0x20);
    list.lines = {u"0123456789ABCDEFGHIJ", u"short"};
    list.lineCount = 2;
    Snapshot snapshot;
    snapshot.windows.push_back(WindowWith(12, 4, {list}));
    const ScreenSize size{14, 7};
    Frame frame = testing::RenderScreen(snapshot, size);
    EXPECT_EQ(Body(frame.grid.PlainText()), Lines(R"(
┌─ T ────────┐
│┌──────────┐│
││012345678░││
││short    ░││
│└────────>─┘│
└────────────┘
)"));
    EXPECT_EQ(frame.listShift.count(list.hwnd), 0u);

    testing::ScreenInput input;
    input.ui.listShift[list.hwnd] = 4;
    EXPECT_EQ(Body(Screen(snapshot, size, input)), Lines(R"(
┌─ T ────────┐
│┌──────────┐│
││456789ABC░││
││t        ░││
│└<───────>─┘│
└────────────┘
)"));
    // Past the widest line: the last columns show, and the shift drawn is kept.
    input.ui.listShift[list.hwnd] = 99;
    frame = testing::RenderScreen(snapshot, size, input);
    EXPECT_EQ(Body(frame.grid.PlainText()), Lines(R"(
┌─ T ────────┐
│┌──────────┐│
││BCDEFGHIJ░││
││         ░││
│└<─────────┘│
└────────────┘
)"));
    ASSERT_EQ(frame.listShift.count(list.hwnd), 1u);
    EXPECT_EQ(frame.listShift.at(list.hwnd), 11);
}

TEST(HorizontalScroll, ListViewHeaderScrollsWithTheRowsAndWideGlyphsAreNotSplit) {
    // NAME is 6 cells: "王小明" is cut to "王小"; scrolled by one, "王" straddles the edge and
    // is left out. Number, the last column, runs on.
    ControlView view = Bordered(ListBox(14, 4, 0));
    view.kind = ControlKind::ListView;
    view.hwnd = reinterpret_cast<HWND>(0x21);
    view.columns = {{u"NAME", 48}, {u"Number", 80}};
    view.lines = {u"王小明\t0049 170 1234567890"};
    view.lineCount = 1;
    Snapshot snapshot;
    snapshot.windows.push_back(WindowWith(14, 4, {view}));
    testing::ScreenInput input;
    input.ui.listShift[view.hwnd] = 1;
    EXPECT_EQ(Body(Screen(snapshot, ScreenSize{16, 7}, input)), Lines(R"(
┌─ T ──────────┐
│┌────────────┐│
││AME  Number ││
││ 小  0049 1░││
│└<─────────>─┘│
└──────────────┘
)"));
}

TEST(DebugView, NewestLastAndScrolledBack) {
    Snapshot snapshot;
    testing::ScreenInput input;
    input.ui.debugView = true;
    input.debug.lines = {u"[KOBALT][API]Ready", u"[Wayfarer]Sco Conn\r", u"KOBALT_Foo Miss"};
    input.debug.first = 3;
    input.debug.total = 9;
    input.debug.bottom = u"/ search";
    EXPECT_EQ(Body(Screen(snapshot, ScreenSize{30, 6}, input)), Lines(R"(
 Event log: lines 4-6 of 9   F
[KOBALT][API]Ready
[Wayfarer]Sco Conn�
KOBALT_Foo Miss
/ search
)"));
    // The status line gives the log's keys, not the windows'.
    const std::string wide = Screen(snapshot, ScreenSize{100, 6}, input);
    EXPECT_NE(wide.find(std::string("\n ") + kLogKeyHelp), std::string::npos) << wide;
    EXPECT_EQ(wide.find("Tab Move"), std::string::npos) << wide;
}

TEST(DebugView, MatchesReversedAndThePromptHoldsTheCursor) {
    Snapshot snapshot;
    testing::ScreenInput input;
    input.ui.debugView = true;
    input.debug.lines = {u"FAIL KOBALT_Init() = -3", u"dbg 宋体 fail",
                         u"cut at the right edge: fail"};
    input.debug.total = 3;
    input.debug.matches = {{0, 0, 4}, {1, 7, 4}, {2, 23, 4}, {5, 0, 1}};
    input.debug.bottom = u"Search: a long pattern that scrolls";
    input.debug.prompting = true;
    const ScreenSize size{25, 7};
    const Frame frame = testing::RenderScreen(snapshot, size, input);
    // Wide characters take two cells each; a match past the right edge is cut, one past the
    // last line shown is ignored.
    EXPECT_EQ(frame.grid.Mask([](const Cell& cell) { return (cell.flags & kSelected) != 0; }),
              Lines(R"(
.........................
####.....................
.........####............
.......................##
.........................
.........................
.........................
)"));
    const std::string screen = testing::Screen(snapshot, size, input);
    EXPECT_NE(screen.find("\nong pattern that scrolls\n"), std::string::npos)
        << "the prompt's end shows, with a cell left for the cursor:\n"
        << screen;
    EXPECT_TRUE(frame.cursorVisible);
    EXPECT_EQ(frame.cursorRow, 5);
    EXPECT_EQ(frame.cursorCol, 24);

    input.debug.prompting = false;
    EXPECT_FALSE(testing::RenderScreen(snapshot, size, input).cursorVisible);
}

TEST(StatusLine, KeysLeftIndicatorsRight) {
    const auto statusLine = [](StatusInfo status, int cols) {
        testing::ScreenInput input;
        input.status = status;
        const std::string screen = Screen(Snapshot{}, ScreenSize{cols, 2}, input);
        return screen.substr(screen.find('\n') + 1);
    };
    const std::string wide = statusLine(StatusInfo{true, true}, 100);
    EXPECT_EQ(wide.rfind(" F2 Power  F3 Log  F10 Quit  (^P ^G ^Q)  Tab Move", 0), 0u) << wide;
    EXPECT_NE(wide.find("   Audio on  Power suspended\n"), std::string::npos) << wide;
    // When short, the key help gives up whole entries; the indicators stay.
    EXPECT_EQ(statusLine(StatusInfo{false, false}, 52),
              " F2 Power  F3 Log  F10 Quit     Audio off  Power on\n");
}

TEST(StatusLine, TheFocusedListsSelectedLineInFullInsteadOfTheKeys) {
    TemplateDialog phoneBook(IDD_PHONEBOOK);
    phoneBook.AddColumns(IDC_PHONEBOOK_LIST, {{u"NAME", 80}, {u"Number", 118}});
    phoneBook.AddRows(IDC_PHONEBOOK_LIST, {u"Alice(Work)\t+44 20 7946 0958",
                                           u"Bartholomew Longname(Cell)\t0049 170 1234567890"});
    Snapshot snapshot = Take();
    const ScreenSize size{100, RoomFor(IDD_PHONEBOOK).rows};
    const auto statusLine = [&snapshot, size] {
        const std::string screen = Screen(snapshot, size);
        return screen.substr(screen.rfind('\n', screen.size() - 2) + 1);
    };
    ControlView* list = nullptr;
    ControlView* sync = nullptr;
    for (ControlView& control : snapshot.windows[0].controls) {
        if (control.id == IDC_PHONEBOOK_LIST) {
            list = &control;
        } else if (control.id == IDC_PHONEBOOK_SYNC) {
            sync = &control;
        }
    }
    ASSERT_NE(list, nullptr);
    ASSERT_NE(sync, nullptr);
    list->focused = true;
    EXPECT_EQ(statusLine().rfind(" F2 Power", 0), 0u) << "nothing selected: the keys";
    list->selected = 1;
    EXPECT_EQ(statusLine(), " NAME: Bartholomew Longname(Cell)  Number: 0049 170 1234567890" +
                                std::string(18, ' ') + "Audio off  Power on\n");
    list->focused = false;
    sync->focused = true;
    EXPECT_EQ(statusLine().rfind(" F2 Power", 0), 0u) << "the focus elsewhere: the keys";
}

} // namespace
} // namespace kobalt::terminal
