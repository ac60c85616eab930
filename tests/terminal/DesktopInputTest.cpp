// Keys mapped and delivered to a real dialog: the edit ends up with the text and caret the
// operator typed, and refused input changes nothing.
#include "TerminalTestSupport.h"

#include "frontend/terminal/DesktopInput.h"
#include "frontend/terminal/InputMapper.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace kobalt::terminal {
namespace {

// Input is posted to the owner thread, which is this one: handle it.
void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
}

// The control as the desktop shows it now.
desktop::ControlView Now(HWND hwnd) {
    for (const desktop::WindowView& window : desktop::TakeSnapshot().windows) {
        for (const desktop::ControlView& control : window.controls) {
            if (control.hwnd == hwnd) {
                return control;
            }
        }
    }
    ADD_FAILURE() << "no such control";
    return {};
}

void Press(KeyEvent key) {
    const desktop::Snapshot snapshot = desktop::TakeSnapshot();
    const ScreenSize size = testing::RoomFor(IDD_SETTING);
    const ScreenLayout layout = LayOut(snapshot, size);
    const UiState ui;
    for (const Action& action : MapKey(key, InputContext{snapshot, layout, ui})) {
        if (const std::optional<desktop::InputResult> result = Deliver(action)) {
            EXPECT_EQ(*result, desktop::InputResult::Ok);
        }
    }
    Pump();
}

TEST(DesktopInput, TypingEditsAroundTheCaret) {
    testing::TemplateDialog setting(IDD_SETTING);
    const HWND pin = setting.Item(IDC_SETTING_PIN);
    // The PIN, the first tab stop, has the focus; the focus goes away and back.
    Press(KeyEvent{Key::Tab, 0});
    ASSERT_FALSE(Now(pin).focused);
    Press(KeyEvent{Key::BackTab, 0});
    ASSERT_TRUE(Now(pin).focused);

    struct Step {
        KeyEvent key;
        const char16_t* text;
        int caret;
    };
    const Step steps[] = {
        {{Key::Char, U'1'}, u"1", 1},
        {{Key::Char, U'2'}, u"12", 2},
        {{Key::Left, 0}, u"12", 1},
        {{Key::Char, U'x'}, u"1x2", 2},
        {{Key::Home, 0}, u"1x2", 0},
        {{Key::Delete, 0}, u"x2", 0},
        {{Key::End, 0}, u"x2", 2},
        {{Key::Backspace, 0}, u"x", 1},
        {{Key::Char, U'\u5B8B'}, u"x\u5B8B", 2},
    };
    for (const Step& step : steps) {
        Press(step.key);
        const desktop::ControlView edit = Now(pin);
        EXPECT_EQ(edit.text, step.text);
        EXPECT_EQ(edit.caret, step.caret);
    }
}

// The front end's part too: a selection that a Tab made lasts until the next key.
class Operator {
public:
    void Press(KeyEvent key) {
        const desktop::Snapshot snapshot = desktop::TakeSnapshot();
        const ScreenLayout layout = LayOut(snapshot, testing::RoomFor(IDD_SETTING));
        const std::vector<Action> actions = MapKey(key, InputContext{snapshot, layout, m_ui});
        m_ui.selectedEdit = nullptr;
        for (const Action& action : actions) {
            if (action.kind == Action::Kind::SelectAll) {
                m_ui.selectedEdit = action.target;
            } else {
                EXPECT_EQ(Deliver(action), desktop::InputResult::Ok);
            }
        }
        Pump();
    }
    void Type(std::u16string_view text) {
        for (char16_t ch : text) {
            Press(KeyEvent{Key::Char, ch});
        }
    }
    HWND Selected() const { return m_ui.selectedEdit; }

private:
    UiState m_ui;
};

TEST(DesktopInput, TypingIntoAnEditReachedByTabReplacesItsText) {
    testing::TemplateDialog setting(IDD_SETTING);
    const HWND pin = setting.Item(IDC_SETTING_PIN);
    struct Case {
        const char* name;
        std::vector<KeyEvent> after; // keys between the Tab into the edit and the typing
        const char16_t* text;        // the edit's text after typing "90"
    };
    const Case cases[] = {
        {"typed at once", {}, u"90"},
        {"End keeps the text", {{Key::End, 0}}, u"000090"},
        {"Right keeps the text", {{Key::Right, 0}}, u"000090"},
        {"Home types before it", {{Key::Home, 0}}, u"900000"},
        {"Backspace empties it", {{Key::Backspace, 0}}, u"90"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setting.SetText(IDC_SETTING_PIN, u"0000");
        Operator op;
        op.Press(KeyEvent{Key::Tab, 0});
        op.Press(KeyEvent{Key::BackTab, 0});
        ASSERT_TRUE(Now(pin).focused);
        EXPECT_EQ(Now(pin).caret, 4) << "the caret goes to the end";
        EXPECT_EQ(op.Selected(), pin);
        for (const KeyEvent& key : c.after) {
            op.Press(key);
        }
        op.Type(u"90");
        EXPECT_EQ(Now(pin).text, c.text);
        EXPECT_EQ(op.Selected(), nullptr);
    }
}

TEST(DesktopInput, DisabledEditsRefuseTheCaret) {
    testing::TemplateDialog setting(IDD_SETTING);
    setting.Disable({IDC_SETTING_NAME});
    EXPECT_EQ(desktop::SetCaret(setting.Item(IDC_SETTING_NAME), 0), desktop::InputResult::Disabled);
    EXPECT_EQ(desktop::SetCaret(setting.Item(IDC_SETTING_SAVE), 0),
              desktop::InputResult::WrongKind);
    EXPECT_FALSE(Deliver(Action{Action::Kind::Quit, nullptr, 0, {}}).has_value());
}

} // namespace
} // namespace kobalt::terminal
