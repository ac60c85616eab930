// Chooses the operator's next input on the desktop as it is now. Pure: the snapshot and the
// random source in, one input out, so a seed replays the same choices.
#pragma once

#include "frontend/monkey/Random.h"
#include "platform/Desktop.h"
#include "res/resource.h"

#include <string>

namespace kobalt::monkey {

// The console's windows the monkey must treat specially, by the ids snapshots show.
constexpr int kMainDialog = IDD_KOBALTDEMO_DIALOG;
constexpr int kMainDialogWide = IDD_KOBALTDEMO_DIALOG_WIDE;
constexpr int kStressTestDialog = IDD_AUTOTEST;
constexpr int kMainQuitButton = IDC_MAIN_QUIT;
constexpr int kStressTestOnOff = IDC_AUTOTEST_ONOFF;

struct Input {
    enum class Kind { None, Click, Select, Type, Close, AnswerBox };
    Kind kind = Kind::None;
    HWND window = nullptr;  // the top-level window the input goes to
    HWND control = nullptr; // Click, Select, Type
    int id = 0;             // the control's id, or the button id for AnswerBox
    int index = -1;         // Select
    std::u16string text;    // Type
};

// What the chooser remembers between steps.
struct ChooserState {
    int stressSteps = 0; // steps taken while the stress test ran
};

bool IsMainWindow(const desktop::WindowView& window);
const desktop::WindowView* ActiveWindow(const desktop::Snapshot& snapshot);
// Controls the operator can work: enabled, visible, of a kind that takes input, and never the
// main window's QUIT (which ends the run early).
bool IsWorkable(const desktop::WindowView& window, const desktop::ControlView& control);
// The stress test runs while its on/off button offers to cancel.
bool StressTestRunning(const desktop::WindowView& window);

// The next input for the active window; Kind::None when no window takes input. Never closes
// the main window: that is left to the end of the run.
Input ChooseInput(const desktop::Snapshot& snapshot, Random& random, ChooserState& state);

// Something to type: numbers, DTMF keys, names in several scripts, empty, very long.
std::u16string ChooseText(Random& random);

// One line for the action log: "click 1000 \"START\" in \"KOBALTDemo\"".
std::string DescribeInput(const Input& input, const desktop::Snapshot& snapshot);

} // namespace kobalt::monkey
