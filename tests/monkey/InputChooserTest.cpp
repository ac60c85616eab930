#include "frontend/monkey/InputChooser.h"
#include "frontend/monkey/PhoneEvents.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace kobalt::monkey {
namespace {

using desktop::ControlKind;
using desktop::ControlView;
using desktop::Snapshot;
using desktop::WindowKind;
using desktop::WindowView;

static_assert(kMainDialog == IDD_KOBALTDEMO_DIALOG &&
              kMainDialogWide == IDD_KOBALTDEMO_DIALOG_WIDE);
static_assert(kStressTestDialog == IDD_AUTOTEST && kStressTestOnOff == IDC_AUTOTEST_ONOFF);
static_assert(kMainQuitButton == IDC_MAIN_QUIT);

constexpr std::uint64_t kSeed = 20261208;
constexpr int kDraws = 3000;

HWND Handle(std::uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

ControlView Control(int id, ControlKind kind, bool enabled = true, std::size_t lines = 0) {
    ControlView control;
    control.hwnd = Handle(0x1000 + static_cast<std::uintptr_t>(id));
    control.id = id;
    control.kind = kind;
    control.enabled = enabled;
    control.lineCount = lines;
    return control;
}

WindowView Window(int templateId, bool active, std::vector<ControlView> controls,
                  WindowKind kind = WindowKind::Dialog) {
    WindowView window;
    window.hwnd = Handle(0x100 + static_cast<std::uintptr_t>(templateId));
    window.kind = kind;
    window.templateId = templateId;
    window.active = active;
    window.controls = std::move(controls);
    return window;
}

// The main window as the monkey meets it: QUIT, a disabled button, an empty and a full list,
// an edit, a radio button, a static.
WindowView MainWindow(bool active) {
    ControlView quit = Control(kMainQuitButton, ControlKind::PushButton);
    ControlView hidden = Control(1003, ControlKind::PushButton);
    hidden.visible = false;
    return Window(kMainDialog, active,
                  {Control(1000, ControlKind::PushButton), quit,
                   Control(1002, ControlKind::PushButton, false), hidden,
                   Control(1001, ControlKind::ListBox, true, 0),
                   Control(1004, ControlKind::ListBox, true, 3), Control(1005, ControlKind::Edit),
                   Control(1048, ControlKind::RadioButton), Control(1006, ControlKind::Static)});
}

TEST(InputChooser, WorksOnlyTheActiveWindowsUsableControlsAndNeverQuits) {
    SCOPED_TRACE("seed " + std::to_string(kSeed));
    Random random(kSeed);
    ChooserState state;
    Snapshot snapshot;
    snapshot.windows = {Window(kStressTestDialog, false, {Control(2000, ControlKind::PushButton)}),
                        MainWindow(true)};
    std::map<int, int> picked;
    for (int i = 0; i < kDraws; ++i) {
        const Input input = ChooseInput(snapshot, random, state);
        ASSERT_NE(input.kind, Input::Kind::Close) << "the main window is closed only at the end";
        ASSERT_NE(input.kind, Input::Kind::None);
        ASSERT_EQ(input.window, snapshot.windows[1].hwnd);
        ++picked[input.id];
        if (input.kind == Input::Kind::Select) {
            ASSERT_EQ(input.id, 1004);
            ASSERT_GE(input.index, -1);
            ASSERT_LT(input.index, 3);
        }
        if (input.kind == Input::Kind::Type) {
            ASSERT_EQ(input.id, 1005);
        }
    }
    EXPECT_EQ(picked.size(), 4u) << "START, the full list, the edit and the radio button";
    for (int id : {1000, 1004, 1005, 1048}) {
        EXPECT_GT(picked[id], kDraws / 10) << "control " << id;
    }
}

TEST(InputChooser, AnswersOrClosesAMessageBox) {
    Random random(kSeed);
    ChooserState state;
    Snapshot snapshot;
    snapshot.windows = {Window(0, true, {}, WindowKind::MessageBox), MainWindow(false)};
    std::set<std::pair<Input::Kind, int>> seen;
    for (int i = 0; i < 200; ++i) {
        const Input input = ChooseInput(snapshot, random, state);
        ASSERT_EQ(input.window, snapshot.windows[0].hwnd);
        seen.insert({input.kind, input.kind == Input::Kind::AnswerBox ? input.id : 0});
    }
    const std::set<std::pair<Input::Kind, int>> expected{{Input::Kind::AnswerBox, IDOK},
                                                         {Input::Kind::AnswerBox, IDCANCEL},
                                                         {Input::Kind::Close, 0}};
    EXPECT_EQ(seen, expected);
}

TEST(InputChooser, ClosesADialogWithNothingToWorkAndIdlesWithoutAnActiveWindow) {
    Random random(kSeed);
    ChooserState state;
    Snapshot snapshot;
    snapshot.windows = {Window(129, true, {Control(1, ControlKind::PushButton, false)})};
    EXPECT_EQ(ChooseInput(snapshot, random, state).kind, Input::Kind::Close);
    snapshot.windows = {MainWindow(false)};
    EXPECT_EQ(ChooseInput(snapshot, random, state).kind, Input::Kind::None);
}

TEST(InputChooser, StopsTheStressTestWithinAFewSteps) {
    for (std::uint64_t seed = kSeed; seed < kSeed + 50; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Random random(seed);
        ChooserState state;
        ControlView onOff = Control(kStressTestOnOff, ControlKind::PushButton);
        onOff.text = u"Cancle";
        Snapshot snapshot;
        snapshot.windows = {
            Window(kStressTestDialog, true, {Control(1041, ControlKind::ListBox, true, 5), onOff}),
            MainWindow(false)};
        ASSERT_TRUE(StressTestRunning(snapshot.windows[0]));
        bool stopped = false;
        for (int step = 0; step < 3 && !stopped; ++step) {
            const Input input = ChooseInput(snapshot, random, state);
            stopped = input.kind == Input::Kind::Close ||
                      (input.kind == Input::Kind::Click && input.id == kStressTestOnOff);
        }
        EXPECT_TRUE(stopped);
    }
    ControlView idle = Control(kStressTestOnOff, ControlKind::PushButton);
    idle.text = u"OnOff";
    EXPECT_FALSE(StressTestRunning(Window(kStressTestDialog, true, {idle})));
}

TEST(MonkeyRandom, ReplaysTheSameChoicesFromTheSameSeed) {
    Random a(kSeed), b(kSeed), c(kSeed + 1);
    int differ = 0;
    for (int i = 0; i < 100; ++i) {
        const PhoneEvent fromA = ChoosePhoneEvent(a);
        ASSERT_EQ(fromA.command, ChoosePhoneEvent(b).command);
        ASSERT_EQ(ChooseText(a), ChooseText(b));
        differ += fromA.command != ChoosePhoneEvent(c).command ? 1 : 0;
        ChooseText(c);
    }
    EXPECT_GT(differ, 50);
}

TEST(PhoneEvents, ReachEveryFamilyWithBalancedQuotes) {
    Random random(kSeed);
    std::set<std::string> families;
    for (int i = 0; i < kDraws; ++i) {
        const PhoneEvent event = ChoosePhoneEvent(random);
        families.insert(event.family);
        ASSERT_EQ(std::count(event.command.begin(), event.command.end(), '"') % 2, 0)
            << event.command;
        ASSERT_EQ(event.command.find('\n'), std::string::npos);
    }
    const std::set<std::string> expected{
        "accept", "add-device", "calllogs",      "connect", "contacts", "disconnect",
        "fail",   "hangup",     "indicator",     "media",   "pair",     "pim-fail",
        "push",   "range",      "remove-device", "ring",    "text",     "waiting"};
    EXPECT_EQ(families, expected);
}

} // namespace
} // namespace kobalt::monkey
