// The operator's fast keys and quitting on purpose, on dialogs made from the console's own
// templates: which button a key presses, where it types instead, what Esc and the close box do
// on the main window, when quitting asks, and the key help and panels as plain-text screens.
#include "TerminalTestSupport.h"

#include "frontend/terminal/Accelerators.h"
#include "frontend/terminal/DesktopInput.h"
#include "frontend/terminal/InputMapper.h"
#include "frontend/terminal/Overlay.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace kobalt::terminal {
namespace {

using testing::ExpectScreen;
using testing::RoomFor;
using testing::TemplateDialog;

std::vector<Action> MapOn(KeyEvent key, const UiState& ui = {}) {
    const desktop::Snapshot snapshot = desktop::TakeSnapshot();
    const ScreenLayout layout = LayOut(snapshot, RoomFor(IDD_HANDFREE));
    return MapKey(key, InputContext{snapshot, layout, ui});
}

KeyEvent Typed(char32_t ch, bool alt = false) {
    return KeyEvent{Key::Char, ch, alt};
}

// The button a key clicks, or null when it clicks none.
HWND Clicked(const std::vector<Action>& actions) {
    return actions.size() == 1 && actions[0].kind == Action::Kind::Click ? actions[0].target
                                                                         : nullptr;
}

void PumpPosted() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
}

TEST(Accelerators, TelephoneKeysPressTheirButtons) {
    TemplateDialog phone(IDD_HANDFREE);
    phone.Focus(IDC_HF_KEY_1);
    const std::pair<char32_t, int> keys[] = {
        {U'1', IDC_HF_KEY_1},  {U'5', IDC_HF_KEY_5},    {U'0', IDC_HF_KEY_0},
        {U'9', IDC_HF_KEY_9},  {U'*', IDC_HF_KEY_STAR}, {U'#', IDC_HF_KEY_HASH},
        {U'a', IDC_HF_ANSWER}, {U'A', IDC_HF_ANSWER},   {U'h', IDC_HF_HANGUP},
        {U'd', IDC_HF_DIAL},   {U't', IDC_HF_TRANSFER},
    };
    for (const auto& [ch, id] : keys) {
        EXPECT_EQ(Clicked(MapOn(Typed(ch))), phone.Item(id)) << static_cast<char>(ch);
        EXPECT_EQ(Clicked(MapOn(Typed(ch, true))), phone.Item(id))
            << "Alt " << static_cast<char>(ch);
    }
    // Keys of other windows and unused letters press nothing, with Alt or without.
    EXPECT_TRUE(MapOn(Typed(U's')).empty());
    EXPECT_TRUE(MapOn(Typed(U'q', true)).empty());
    // A disabled button takes no key.
    phone.Disable({IDC_HF_ANSWER});
    EXPECT_TRUE(MapOn(Typed(U'a')).empty());
}

TEST(Accelerators, InTheNumberTheKeysTypeAndAltPresses) {
    TemplateDialog phone(IDD_HANDFREE);
    phone.SetText(IDC_HF_NUMBER, u"12");
    phone.Focus(IDC_HF_NUMBER);
    const std::vector<Action> typed = MapOn(Typed(U'a'));
    ASSERT_FALSE(typed.empty());
    EXPECT_EQ(typed[0].kind, Action::Kind::Type);
    EXPECT_EQ(typed[0].target, phone.Item(IDC_HF_NUMBER));
    EXPECT_EQ(Clicked(MapOn(Typed(U'5', true))), phone.Item(IDC_HF_KEY_5));
    EXPECT_EQ(Clicked(MapOn(Typed(U'h', true))), phone.Item(IDC_HF_HANGUP));
}

TEST(Accelerators, MainWindowKeysAndNoneElsewhere) {
    {
        TemplateDialog main(IDD_KOBALTDEMO_DIALOG);
        main.Focus(IDC_MAIN_STATUSLIST);
        const std::pair<char32_t, int> keys[] = {
            {U's', IDC_MAIN_START},      {U'f', IDC_MAIN_SEARCH}, {U'c', IDC_MAIN_CONNECT},
            {U'X', IDC_MAIN_DISCONNECT}, {U'd', IDC_MAIN_DIAL},
        };
        for (const auto& [ch, id] : keys) {
            EXPECT_EQ(Clicked(MapOn(Typed(ch))), main.Item(id)) << static_cast<char>(ch);
        }
        // Pressed for real: the click reaches the console's button.
        main.Disable({IDC_MAIN_CONNECT});
        EXPECT_TRUE(MapOn(Typed(U'c')).empty());
        for (const Action& action : MapOn(Typed(U's'))) {
            EXPECT_EQ(Deliver(action), desktop::InputResult::Ok);
        }
        PumpPosted();
    }
    TemplateDialog setting(IDD_SETTING);
    setting.Focus(IDC_SETTING_SAVE);
    EXPECT_TRUE(MapOn(Typed(U's')).empty());
    EXPECT_TRUE(MapOn(Typed(U'd', true)).empty());
}

TEST(QuitOnPurpose, EscAndTheCloseBoxOnTheMainWindow) {
    TemplateDialog main(IDD_KOBALTDEMO_DIALOG);
    EXPECT_TRUE(MapOn(KeyEvent{Key::Escape}).empty());
    {
        const desktop::Snapshot snapshot = desktop::TakeSnapshot();
        const ScreenLayout layout = LayOut(snapshot, RoomFor(IDD_KOBALTDEMO_DIALOG));
        // Released over the close box it went down on.
        UiState ui;
        ui.armed = snapshot.windows[0].hwnd;
        ui.armedCloseBox = true;
        const CellRect& box = layout.windows[0].closeBox;
        const std::vector<Action> actions =
            MapMouse(MouseEvent{MouseEvent::Kind::Release, box.col, box.row},
                     InputContext{snapshot, layout, ui});
        ASSERT_EQ(actions.size(), 1u);
        EXPECT_EQ(actions[0].kind, Action::Kind::Quit); // the front end decides whether to ask
    }
    // A sub-dialog over it closes with Esc, and its close box closes it.
    TemplateDialog setting(IDD_SETTING);
    const std::vector<Action> esc = MapOn(KeyEvent{Key::Escape});
    ASSERT_EQ(esc.size(), 1u);
    EXPECT_EQ(esc[0].kind, Action::Kind::Close);
    EXPECT_EQ(esc[0].target, setting.Hwnd());
    const desktop::Snapshot snapshot = desktop::TakeSnapshot();
    const ScreenLayout layout = LayOut(snapshot, RoomFor(IDD_KOBALTDEMO_DIALOG));
    UiState ui;
    ui.armed = setting.Hwnd();
    ui.armedCloseBox = true;
    const CellRect& box = layout.windows[0].closeBox;
    const std::vector<Action> click =
        MapMouse(MouseEvent{MouseEvent::Kind::Release, box.col, box.row},
                 InputContext{snapshot, layout, ui});
    ASSERT_EQ(click.size(), 1u);
    EXPECT_EQ(click[0].kind, Action::Kind::Close);
}

TEST(QuitOnPurpose, AsksWhileTheStackIsStartedOrACallIsUp) {
    EXPECT_FALSE(QuitNeedsConfirmation(desktop::TakeSnapshot()));
    TemplateDialog main(IDD_KOBALTDEMO_DIALOG);
    EXPECT_FALSE(QuitNeedsConfirmation(desktop::TakeSnapshot())) << "START not pressed";
    main.Disable({IDC_MAIN_START});
    EXPECT_TRUE(QuitNeedsConfirmation(desktop::TakeSnapshot())) << "the stack is started";
    EnableWindow(main.Item(IDC_MAIN_START), TRUE);
    {
        TemplateDialog phone(IDD_HANDFREE);
        EXPECT_TRUE(QuitNeedsConfirmation(desktop::TakeSnapshot())) << "the telephone is open";
    }
    // Other dialogs alone do not ask.
    TemplateDialog setting(IDD_SETTING);
    TemplateDialog dtmf(IDD_DTMF);
    EXPECT_FALSE(QuitNeedsConfirmation(desktop::TakeSnapshot()));
}

TEST(KeyHelp, StatusLineShowsTheKeysOfTheWindowOnTop) {
    const auto statusLine = [] {
        const std::string screen = testing::Screen(desktop::TakeSnapshot(), RoomFor(IDD_HANDFREE));
        const std::size_t last = screen.rfind('\n', screen.size() - 2);
        return screen.substr(last + 1);
    };
    TemplateDialog main(IDD_KOBALTDEMO_DIALOG);
    EXPECT_EQ(statusLine().rfind(" F1 Keys  S START  F SearchDevice  C Connect  "
                                 "X DisConnect  D Dail",
                                 0),
              0u)
        << statusLine();
    {
        TemplateDialog phone(IDD_HANDFREE);
        EXPECT_EQ(statusLine().rfind(" F1 Keys  0-9*# Keypad  A Answer  H HangUp  "
                                     "D Dail  T Transfer",
                                     0),
                  0u)
            << statusLine();
        TemplateDialog dtmf(IDD_DTMF);
        EXPECT_EQ(statusLine().rfind(std::string(" ") + kKeyHelp, 0), 0u) << statusLine();
    }
    EXPECT_NE(statusLine().find("S START"), std::string::npos) << statusLine();
}

std::string WithPanel(const std::string& title, const std::vector<std::string>& lines,
                      ScreenSize size) {
    Frame frame = testing::RenderScreen(desktop::TakeSnapshot(), size);
    DrawPanel(frame, title, lines);
    EXPECT_FALSE(frame.cursorVisible);
    return frame.grid.PlainText();
}

const desktop::WindowView* Top(const desktop::Snapshot& snapshot) {
    for (const desktop::WindowView& window : snapshot.windows) {
        if (window.active) {
            return &window;
        }
    }
    return nullptr;
}

TEST(KeyHelp, F1PanelsAndTheQuitQuestion) {
    TemplateDialog main(IDD_KOBALTDEMO_DIALOG);
    main.Disable({IDC_MAIN_START});
    EXPECT_EQ(MapOn(KeyEvent{Key::F1}).at(0).kind, Action::Kind::Keys);
    const desktop::Snapshot mainOnly = desktop::TakeSnapshot();
    ExpectScreen("keys_main",
                 WithPanel("Keys", KeysPanelLines(Top(mainOnly)), RoomFor(IDD_KOBALTDEMO_DIALOG)));
    ExpectScreen("quit_prompt",
                 WithPanel("", {std::string(kQuitPrompt)}, RoomFor(IDD_KOBALTDEMO_DIALOG)));
    TemplateDialog phone(IDD_HANDFREE);
    const desktop::Snapshot withPhone = desktop::TakeSnapshot();
    ExpectScreen("keys_handfree",
                 WithPanel("Keys", KeysPanelLines(Top(withPhone)), RoomFor(IDD_HANDFREE)));
    // On a screen too small for the list, the panel is cut and the status line stays.
    const std::string small = WithPanel("Keys", KeysPanelLines(Top(withPhone)), ScreenSize{40, 8});
    EXPECT_NE(small.find("\u2518\n F2 Power "), std::string::npos) << small;
    EXPECT_EQ(small.find("Everywhere"), std::string::npos) << small;
}

} // namespace
} // namespace kobalt::terminal
