// Keys and the mouse as desktop actions: one row per case, against a hand-made window.
#include "frontend/terminal/InputMapper.h"
#include "frontend/terminal/Layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace kobalt::terminal {
namespace {

using desktop::ControlKind;
using desktop::ControlView;
using desktop::Snapshot;
using desktop::WindowKind;
using desktop::WindowView;

HWND Handle(int id) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(id));
}

// Controls get ids 10, 11, ... in tab order and a handle equal to their id.
ControlView Control(ControlKind kind, std::u16string text, RECT rect, DWORD style = WS_TABSTOP) {
    ControlView control;
    control.kind = kind;
    control.text = std::move(text);
    control.rect = rect;
    control.style = style;
    return control;
}

RECT Cells(int col, int row, int cols, int rows) {
    return RECT{col * 8, row * 16, (col + cols) * 8, (row + rows) * 16};
}

// A 30 x 8 dialog:
//   10 static, 11 button "A", 12 edit "ab", 13 button "B" (disabled), 14 list of 10 lines
//   (4 rows, entry 2 selected), 15-17 radio group (17 disabled), 18 button "C".
WindowView Dialog() {
    WindowView window;
    window.hwnd = Handle(1);
    window.kind = WindowKind::Dialog;
    window.style = WS_SYSMENU;
    window.rect = Cells(0, 0, 30, 8);
    window.active = true;
    window.controls = {
        Control(ControlKind::Static, u"label", Cells(0, 0, 6, 1), 0),
        Control(ControlKind::PushButton, u"A", Cells(0, 1, 6, 1)),
        Control(ControlKind::Edit, u"ab", Cells(0, 2, 6, 1)),
        Control(ControlKind::PushButton, u"B", Cells(0, 3, 6, 1)),
        Control(ControlKind::ListBox, u"", Cells(10, 0, 10, 4)),
        Control(ControlKind::RadioButton, u"r1", Cells(0, 5, 5, 1), WS_TABSTOP | WS_GROUP),
        Control(ControlKind::RadioButton, u"r2", Cells(6, 5, 5, 1)),
        Control(ControlKind::RadioButton, u"r3", Cells(12, 5, 5, 1)),
        Control(ControlKind::PushButton, u"C", Cells(0, 7, 6, 1)),
    };
    for (std::size_t i = 0; i < window.controls.size(); ++i) {
        window.controls[i].id = 10 + static_cast<int>(i);
        window.controls[i].hwnd = Handle(10 + static_cast<int>(i));
    }
    window.controls[2].caret = 1;
    window.controls[3].enabled = false;
    window.controls[7].enabled = false;
    ControlView& list = window.controls[4];
    list.lineCount = 10;
    list.selected = 2;
    return window;
}

std::string Describe(const std::vector<Action>& actions) {
    std::string out;
    for (const Action& action : actions) {
        if (!out.empty()) {
            out += ", ";
        }
        const auto target = std::to_string(reinterpret_cast<std::uintptr_t>(action.target));
        switch (action.kind) {
        case Action::Kind::Focus:
            out += "focus " + target;
            break;
        case Action::Kind::Click:
            out += "click " + target;
            break;
        case Action::Kind::Select:
            out += "select " + target + " " + std::to_string(action.value);
            break;
        case Action::Kind::Scroll:
            out += "scroll " + target + " " + std::to_string(action.value);
            break;
        case Action::Kind::Type:
            out += "type " + target + " \"";
            for (char16_t c : action.text) {
                out += c < 0x80 ? std::string(1, static_cast<char>(c)) : "?";
            }
            out += "\"";
            break;
        case Action::Kind::Caret:
            out += "caret " + target + " " + std::to_string(action.value);
            break;
        case Action::Kind::Close:
            out += "close " + target;
            break;
        case Action::Kind::Answer:
            out += "answer " + target + " " + std::to_string(action.value);
            break;
        case Action::Kind::Power:
            out += "power";
            break;
        case Action::Kind::DebugView:
            out += "debug view";
            break;
        case Action::Kind::DebugScroll:
            out += "debug scroll " + std::to_string(action.value);
            break;
        case Action::Kind::Quit:
            out += "quit";
            break;
        case Action::Kind::Interrupt:
            out += "interrupt";
            break;
        case Action::Kind::Keys:
            out += "keys";
            break;
        case Action::Kind::SelectAll:
            out += "select all " + target;
            break;
        case Action::Kind::ShiftList:
            out += "shift " + target + " " + std::to_string(action.value);
            break;
        case Action::Kind::Arm:
            out += "arm " + target + (action.value == 1 ? " box" : "");
            break;
        }
    }
    return out;
}

struct Fixture {
    explicit Fixture(int focused, ScreenSize screen = ScreenSize{40, 12}) : size(screen) {
        snapshot.windows.push_back(Dialog());
        if (focused >= 0) {
            snapshot.windows[0].controls[static_cast<std::size_t>(focused - 10)].focused = true;
        }
    }
    ControlView& At(int id) {
        return snapshot.windows[0].controls[static_cast<std::size_t>(id - 10)];
    }
    std::string Key(KeyEvent key) {
        const ScreenLayout layout = LayOut(snapshot, size);
        return Describe(MapKey(key, InputContext{snapshot, layout, ui}));
    }
    std::string Mouse(MouseEvent::Kind kind, int col, int row) {
        const ScreenLayout layout = LayOut(snapshot, size);
        return Describe(MapMouse(MouseEvent{kind, col, row}, InputContext{snapshot, layout, ui}));
    }
    // Where control `id` is on the screen.
    CellRect Where(int id) {
        const ScreenLayout layout = LayOut(snapshot, size);
        for (const ControlPlace& place : layout.windows[0].controls) {
            if (place.index == static_cast<std::size_t>(id - 10)) {
                return place.rect;
            }
        }
        return {};
    }

    ScreenSize size;
    Snapshot snapshot;
    UiState ui;
};

KeyEvent K(Key key) {
    return KeyEvent{key, 0};
}
KeyEvent C(char32_t ch) {
    return KeyEvent{Key::Char, ch};
}

struct KeyCase {
    const char* name;
    int focused; // control id, -1 for none
    KeyEvent key;
    const char* expected;
};

class Keys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(Keys, MapToActions) {
    Fixture fixture(GetParam().focused);
    EXPECT_EQ(fixture.Key(GetParam().key), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dialog, Keys,
    ::testing::Values(
        // Focus moves over enabled tab stops in template order, wrapping.
        KeyCase{"TabFromNothing", -1, K(Key::Tab), "focus 11"},
        KeyCase{"TabIntoAnEditSelectsItsText", 11, K(Key::Tab),
                "focus 12, caret 12 2, select all 12"},
        KeyCase{"F1ShowsTheKeys", 12, K(Key::F1), "keys"},
        KeyCase{"TabSkipsDisabled", 12, K(Key::Tab), "focus 14"},
        KeyCase{"BackTabWraps", 11, K(Key::BackTab), "focus 18"},
        KeyCase{"TabLeavesDisabledFocus", 13, K(Key::Tab), "focus 14"},
        // Buttons.
        KeyCase{"EnterPresses", 11, K(Key::Enter), "click 11"},
        KeyCase{"SpacePresses", 11, C(U' '), "click 11"},
        KeyCase{"DisabledFocusedButtonDoesNothing", 13, K(Key::Enter), ""},
        KeyCase{"ArrowsOnButtonsMoveFocus", 11, K(Key::Right), "focus 12"},
        KeyCase{"EnterOnAnEditDoesNothing", 12, K(Key::Enter), ""},
        KeyCase{"EscapeIsTheCloseBox", 14, K(Key::Escape), "close 1"},
        // Editing around the caret (after "a" in "ab").
        KeyCase{"TypeInserts", 12, C(U'x'), "type 12 \"axb\", caret 12 2"},
        KeyCase{"BackspaceAtEndNeedsNoCaret", 12, K(Key::Backspace), "type 12 \"b\", caret 12 0"},
        KeyCase{"DeleteLeavesCaretAtEnd", 12, K(Key::Delete), "type 12 \"a\""},
        KeyCase{"Left", 12, K(Key::Left), "caret 12 0"},
        KeyCase{"Right", 12, K(Key::Right), "caret 12 2"},
        KeyCase{"Home", 12, K(Key::Home), "caret 12 0"},
        KeyCase{"End", 12, K(Key::End), "caret 12 2"},
        KeyCase{"ControlCharactersAreNotTyped", 12, C(0x01), ""},
        KeyCase{"SpaceIsTyped", 12, C(U' '), "type 12 \"a b\", caret 12 2"},
        // Lists: selection as clicks, scrolled into view (4 rows, top 0, entry 2 selected).
        KeyCase{"Down", 14, K(Key::Down), "select 14 3"},
        KeyCase{"Up", 14, K(Key::Up), "select 14 1"},
        KeyCase{"PageDownScrolls", 14, K(Key::PageDown), "select 14 5, scroll 14 2"},
        KeyCase{"PageUpStopsAtTheTop", 14, K(Key::PageUp), "select 14 0"},
        KeyCase{"EndScrolls", 14, K(Key::End), "select 14 9, scroll 14 6"},
        KeyCase{"TypingInAListDoesNothing", 14, C(U'x'), ""},
        // Radio buttons: arrows move within the group, skipping disabled ones, and check.
        KeyCase{"RadioDown", 15, K(Key::Down), "focus 16, click 16"},
        KeyCase{"RadioWrapsOverDisabled", 16, K(Key::Right), "focus 15, click 15"},
        KeyCase{"RadioUpWraps", 15, K(Key::Up), "focus 16, click 16"},
        KeyCase{"SpaceChecksRadio", 16, C(U' '), "click 16"},
        // Device keys, with their Ctrl fallbacks.
        KeyCase{"F2", 11, K(Key::F2), "power"}, KeyCase{"CtrlP", 12, C(0x10), "power"},
        KeyCase{"F3", 12, K(Key::F3), "debug view"}, KeyCase{"CtrlG", 11, C(0x07), "debug view"},
        KeyCase{"F10", 12, K(Key::F10), "quit"}, KeyCase{"CtrlQ", 12, C(0x11), "quit"},
        KeyCase{"CtrlC", 12, C(0x03), "interrupt"}),
    [](const ::testing::TestParamInfo<KeyCase>& param) { return param.param.name; });

TEST(KeysEdgeCases, SurrogatePairsEditAsOneCharacter) {
    Fixture fixture(12);
    fixture.At(12).text = u"a\U0001F600";
    fixture.At(12).caret = 3;
    EXPECT_EQ(fixture.Key(K(Key::Backspace)), "type 12 \"a\"");
    EXPECT_EQ(fixture.Key(K(Key::Left)), "caret 12 1");
    EXPECT_EQ(fixture.Key(C(U'\U0001F600')), "type 12 \"a????\"");
}

TEST(KeysEdgeCases, ListWithoutSelectionOrLines) {
    Fixture fixture(14);
    fixture.At(14).selected = -1;
    fixture.At(14).topIndex = 5;
    EXPECT_EQ(fixture.Key(K(Key::Down)), "select 14 0, scroll 14 0");
    fixture.At(14).lineCount = 0;
    EXPECT_EQ(fixture.Key(K(Key::Down)), "");
}

TEST(KeysEdgeCases, MessageBoxAnswersEnter) {
    Fixture fixture(-1);
    fixture.snapshot.windows[0].kind = WindowKind::MessageBox;
    EXPECT_EQ(fixture.Key(K(Key::Enter)), "answer 1 1");
    fixture.At(11).focused = true;
    EXPECT_EQ(fixture.Key(K(Key::Enter)), "click 11");
}

TEST(KeysEdgeCases, NothingReachesAWindowThatIsNotActiveOrDoesNotFit) {
    Fixture inactive(11);
    inactive.snapshot.windows[0].active = false;
    EXPECT_EQ(inactive.Key(K(Key::Enter)), "");
    EXPECT_EQ(inactive.Key(K(Key::Escape)), "");
    EXPECT_EQ(inactive.Key(K(Key::F10)), "quit");

    Fixture tooSmall(11, ScreenSize{20, 12});
    EXPECT_EQ(tooSmall.Key(K(Key::Tab)), "");
    EXPECT_EQ(tooSmall.Key(K(Key::F2)), "power");
}

TEST(KeysEdgeCases, TheDebugViewTakesTheScrollKeys) {
    Fixture fixture(14);
    fixture.ui.debugView = true;
    EXPECT_EQ(fixture.Key(K(Key::Down)), "debug scroll -1");
    EXPECT_EQ(fixture.Key(K(Key::PageUp)), "debug scroll 8"); // 9 rows of lines, less one
    EXPECT_EQ(fixture.Key(K(Key::Home)), "debug scroll " + std::to_string(kDebugOldest));
    EXPECT_EQ(fixture.Key(K(Key::Escape)), "debug view");
    EXPECT_EQ(fixture.Key(K(Key::Enter)), "");
    EXPECT_EQ(fixture.Key(K(Key::F3)), "debug view");
}

TEST(Mouse, ClicksReachEnabledControlsOfTheActiveWindow) {
    Fixture fixture(-1);
    const CellRect a = fixture.Where(11);
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, a.col + 2, a.row), "focus 11, arm 11");
    const CellRect b = fixture.Where(13);
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, b.col, b.row), "") << "disabled";
    const CellRect label = fixture.Where(10);
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, label.col, label.row), "");
    const CellRect radio = fixture.Where(16);
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, radio.col, radio.row), "focus 16, arm 16");
    const ScreenLayout layout = LayOut(fixture.snapshot, fixture.size);
    const CellRect close = layout.windows[0].closeBox;
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, close.col + 1, close.row), "arm 1 box");
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, 0, 0), "") << "outside every window";
}

// A button acts when the mouse button comes up over the button it went down on; moved away
// first, the press is taken back. The same for a close box.
TEST(Mouse, ButtonsActOnReleaseOverWhereThePressWas) {
    Fixture fixture(-1);
    const CellRect a = fixture.Where(11);
    const CellRect radio = fixture.Where(16);
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Release, a.col, a.row), "") << "nothing armed";
    fixture.ui.armed = fixture.At(11).hwnd;
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Release, a.col + 2, a.row), "click 11");
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Release, radio.col, radio.row), "")
        << "released over another button";
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Release, 0, 0), "") << "released outside";

    const ScreenLayout layout = LayOut(fixture.snapshot, fixture.size);
    const CellRect close = layout.windows[0].closeBox;
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Release, close.col + 1, close.row), "")
        << "a button, not the close box, was pressed";
    fixture.ui.armed = fixture.snapshot.windows[0].hwnd;
    fixture.ui.armedCloseBox = true;
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Release, close.col + 1, close.row), "close 1");
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Release, a.col, a.row), "");
}

TEST(Mouse, ListEntriesScrollIndicatorAndWheel) {
    Fixture fixture(-1);
    fixture.At(14).topIndex = 3;
    const CellRect list = fixture.Where(14);
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, list.col, list.row + 1),
              "focus 14, select 14 4");
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, list.Right() - 1, list.row + 3),
              "focus 14, scroll 14 6")
        << "lower half of the indicator: a page down, clamped";
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::WheelUp, list.col + 1, list.row), "scroll 14 0");
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::WheelDown, list.col + 1, list.row), "scroll 14 6");
    fixture.At(14).topIndex = 6;
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::WheelDown, list.col + 1, list.row), "")
        << "already at the last page";
    fixture.At(14).lineCount = 2;
    fixture.At(14).topIndex = 0;
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, list.col, list.row + 3), "focus 14")
        << "below the last entry";
}

TEST(Mouse, BorderedListMapsRowsInsideItsBorder) {
    Fixture fixture(-1);
    fixture.At(14).style |= WS_BORDER;
    fixture.At(14).rect = Cells(10, 0, 10, 6); // a box: four lines inside
    fixture.At(14).topIndex = 3;
    const CellRect list = fixture.Where(14);
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, list.col, list.row), "focus 14")
        << "the top edge";
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, list.col + 1, list.row + 1),
              "focus 14, select 14 3");
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, list.col + 1, list.row + 4),
              "focus 14, select 14 6");
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, list.col + 1, list.Bottom() - 1), "focus 14")
        << "the bottom edge";
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, list.Right() - 2, list.row + 4),
              "focus 14, scroll 14 6")
        << "the scroll indicator is inside the right edge";
    fixture.At(14).focused = true;
    fixture.At(14).selected = 3;
    EXPECT_EQ(fixture.Key(K(Key::PageDown)), "select 14 6")
        << "a page is the four lines inside the border";
}

TEST(HorizontalScroll, LeftRightAndShiftWheelOnlyWhenTheLinesAreWider) {
    Fixture fixture(14);
    ControlView& list = fixture.At(14); // 10 columns: 9 for text beside the indicator
    list.lines = {u"short", u"0123456789ABCDEFGHIJ"};
    list.lineCount = 2;
    list.selected = -1;
    EXPECT_EQ(fixture.Key(K(Key::Right)), "shift 14 4");
    EXPECT_EQ(fixture.Key(K(Key::Left)), "") << "already at the left";
    fixture.ui.listShift[Handle(14)] = 9;
    EXPECT_EQ(fixture.Key(K(Key::Right)), "shift 14 11") << "clamped to the widest line";
    fixture.ui.listShift[Handle(14)] = 11;
    EXPECT_EQ(fixture.Key(K(Key::Right)), "");
    EXPECT_EQ(fixture.Key(K(Key::Left)), "shift 14 7");
    const CellRect where = fixture.Where(14);
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::WheelLeft, where.col, where.row), "shift 14 7");
    fixture.ui.listShift.clear();
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::WheelRight, where.col, where.row), "shift 14 4");

    list.lines = {u"short", u"fits"};
    EXPECT_EQ(fixture.Key(K(Key::Right)), "") << "nothing to scroll";
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::WheelRight, where.col, where.row), "");
    list.lines = {u"0123456789ABCDEFGHIJ", u"x"};
    list.enabled = false;
    EXPECT_EQ(fixture.Key(K(Key::Right)), "") << "a disabled list takes no input";
}

TEST(Mouse, EditClickPutsTheCaretUnderThePointer) {
    Fixture fixture(-1);
    fixture.At(12).text = u"宋体abc";
    const CellRect edit = fixture.Where(12);
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, edit.col + 3, edit.row),
              "focus 12, caret 12 1")
        << "the right half of a wide character";
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, edit.col + 5, edit.row),
              "focus 12, caret 12 3");
    fixture.ui.editScroll[Handle(12)] = 2;
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, edit.col, edit.row), "focus 12, caret 12 2");
}

TEST(Mouse, OnlyTheTopmostWindowUnderThePointerTakesIt) {
    Fixture fixture(-1);
    WindowView box;
    box.hwnd = Handle(2);
    box.kind = WindowKind::MessageBox;
    box.rect = Cells(0, 0, 8, 2);
    box.active = false; // a box of another thread that does not take input right now
    fixture.snapshot.windows.insert(fixture.snapshot.windows.begin(), box);
    const ScreenLayout layout = LayOut(fixture.snapshot, fixture.size);
    const CellRect covered = layout.windows[0].client;
    EXPECT_EQ(fixture.Mouse(MouseEvent::Kind::Press, covered.col, covered.row), "");
}

// The hit test alone: what each cell is on, as "part id [line]".
class HitTests {
public:
    explicit HitTests(Fixture& fixture)
        : m_layout(LayOut(fixture.snapshot, fixture.size)), m_context{fixture.snapshot, m_layout,
                                                                      fixture.ui} {}

    const ScreenLayout& Layout() const { return m_layout; }

    std::string At(int col, int row) const {
        const MouseHit hit = HitTest(col, row, m_context);
        const auto id = [](const auto* view) {
            return std::to_string(reinterpret_cast<std::uintptr_t>(view->hwnd));
        };
        switch (hit.part) {
        case MouseHit::Part::None:
            return "none";
        case MouseHit::Part::CloseBox:
            return "close box " + id(hit.window);
        case MouseHit::Part::Control:
            return "control " + id(hit.control);
        case MouseHit::Part::ListRow:
            return "line " + id(hit.control) + " " + std::to_string(hit.line);
        case MouseHit::Part::ScrollUp:
            return "scroll up " + id(hit.control);
        case MouseHit::Part::ScrollDown:
            return "scroll down " + id(hit.control);
        }
        return "?";
    }

private:
    ScreenLayout m_layout;
    InputContext m_context;
};

TEST(HitTest, WindowPartsAndControlsThatTakeInput) {
    Fixture fixture(-1);
    const HitTests hits(fixture);
    const WindowPlace& window = hits.Layout().windows[0];
    EXPECT_EQ(hits.At(window.closeBox.col, window.closeBox.row), "close box 1");
    EXPECT_EQ(hits.At(window.closeBox.col - 1, window.closeBox.row), "none") << "the caption";
    EXPECT_EQ(hits.At(window.box.col, window.client.row), "none") << "the frame";
    const CellRect a = fixture.Where(11);
    EXPECT_EQ(hits.At(a.Right() - 1, a.row), "control 11");
    EXPECT_EQ(hits.At(a.Right(), a.row), "none") << "beside the button";
    EXPECT_EQ(hits.At(fixture.Where(13).col, fixture.Where(13).row), "none") << "disabled";
    EXPECT_EQ(hits.At(fixture.Where(10).col, fixture.Where(10).row), "control 10")
        << "a label takes the hit; pressing it does nothing";
}

TEST(HitTest, ListLinesAndScrollIndicatorHalves) {
    Fixture fixture(-1);
    fixture.At(14).topIndex = 3;
    {
        const HitTests hits(fixture);
        const CellRect list = fixture.Where(14); // four rows, no border
        EXPECT_EQ(hits.At(list.col, list.row), "line 14 3");
        EXPECT_EQ(hits.At(list.Right() - 2, list.row + 3), "line 14 6");
        EXPECT_EQ(hits.At(list.Right() - 1, list.row + 1), "scroll up 14");
        EXPECT_EQ(hits.At(list.Right() - 1, list.row + 2), "scroll down 14");
    }
    fixture.At(14).topIndex = 8; // lines 8 and 9, then nothing
    {
        const HitTests hits(fixture);
        const CellRect list = fixture.Where(14);
        EXPECT_EQ(hits.At(list.col, list.row + 1), "line 14 9");
        EXPECT_EQ(hits.At(list.col, list.row + 2), "control 14") << "below the last line";
    }
}

TEST(HitTest, ListViewHeaderIsNoLine) {
    Fixture fixture(-1);
    ControlView& list = fixture.At(14);
    list.kind = ControlKind::ListView;
    list.columns = {desktop::ListViewColumn{u"Name", 40}};
    const HitTests hits(fixture);
    const CellRect where = fixture.Where(14);
    EXPECT_EQ(hits.At(where.col, where.row), "control 14");
    EXPECT_EQ(hits.At(where.col, where.row + 1), "line 14 0");
    EXPECT_EQ(hits.At(where.Right() - 1, where.row), "control 14") << "the indicator starts below";
    EXPECT_EQ(hits.At(where.Right() - 1, where.row + 1), "scroll up 14");
    EXPECT_EQ(hits.At(where.Right() - 1, where.row + 2), "scroll down 14") << "three rows: 1 up";
}

TEST(HitTest, AWindowOnTopThatIsNotActiveHidesWhatIsUnderIt) {
    Fixture fixture(-1);
    WindowView box;
    box.hwnd = Handle(2);
    box.kind = WindowKind::MessageBox;
    box.rect = Cells(0, 0, 8, 2);
    fixture.snapshot.windows.insert(fixture.snapshot.windows.begin(), box);
    const HitTests hits(fixture);
    const CellRect covered = hits.Layout().windows[0].client;
    EXPECT_EQ(hits.At(covered.col, covered.row), "none");
    // Button "C", on the dialog's last row, below the box.
    const WindowPlace& dialog = hits.Layout().windows[1];
    const auto c = std::find_if(dialog.controls.begin(), dialog.controls.end(),
                                [](const ControlPlace& place) { return place.index == 8; });
    ASSERT_NE(c, dialog.controls.end());
    EXPECT_EQ(hits.At(c->rect.col, c->rect.row), "control 18");
}

TEST(DebugBack, NeverScrollsPastTheOldestLine) {
    EXPECT_EQ(ClampDebugBack(5, 100, 10), 5u);
    EXPECT_EQ(ClampDebugBack(1000, 100, 10), 90u);
    EXPECT_EQ(ClampDebugBack(-3, 100, 10), 0u);
    EXPECT_EQ(ClampDebugBack(4, 3, 10), 0u) << "all lines show";
}

} // namespace
} // namespace kobalt::terminal
