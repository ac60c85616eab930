// The runner against the real window server, with a small console of its own: one dialog on a
// thread of the test, standing in for the application's user-interface thread.
#include "frontend/script/ScriptRunner.h"

#include "platform/Desktop.h"
#include "platform/DialogTemplate.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace kobalt::script {
namespace {

using namespace std::chrono_literals;

constexpr int kAdd = 10; // adds "added" to the list
constexpr int kList = 11;
constexpr int kOff = 12; // disabled from the start
constexpr int kEdit = 13;
constexpr int kRadio = 14;
constexpr int kBox = 15;    // shows a message box on the dialog's thread
constexpr int kQuit = 16;   // ends the dialog
constexpr int kSignal = 17; // writes the debug line and turns call audio on
constexpr int kChild = 18;  // opens a second dialog modally

constexpr DWORD kChildStyle = WS_VISIBLE | WS_TABSTOP;
constexpr DialogControlTemplate kControls[] = {
    {kAdd, WC_BUTTON, u"Add", 5, 5, 40, 12, kChildStyle | BS_PUSHBUTTON},
    {kList, WC_LISTBOX, u"", 5, 20, 80, 60, kChildStyle | LBS_NOTIFY},
    {kOff, WC_BUTTON, u"Off", 50, 5, 40, 12, kChildStyle | WS_DISABLED | BS_PUSHBUTTON},
    {kEdit, WC_EDIT, u"", 90, 20, 60, 12, kChildStyle | ES_LEFT},
    {kRadio, WC_BUTTON, u"Radio", 90, 40, 40, 12, kChildStyle | WS_GROUP | BS_AUTORADIOBUTTON},
    {kBox, WC_BUTTON, u"Box", 95, 5, 40, 12, kChildStyle | BS_PUSHBUTTON},
    {kQuit, WC_BUTTON, u"Quit", 140, 5, 40, 12, kChildStyle | BS_PUSHBUTTON},
    {kSignal, WC_BUTTON, u"Signal", 140, 20, 40, 12, kChildStyle | BS_PUSHBUTTON},
    {kChild, WC_BUTTON, u"Child", 140, 40, 40, 12, kChildStyle | BS_PUSHBUTTON},
};
constexpr DialogTemplate kMain{
    9001, u"Test",  0, 0, 200, 100, u"MS Shell Dlg", 8, WS_POPUP | WS_CAPTION | WS_VISIBLE,
    0,    kControls};
constexpr DialogTemplate kSecond{
    9002, u"Second", 0, 0, 100, 50, u"MS Shell Dlg", 8, WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, {}};

struct ConsoleSetup {
    const char16_t* startupBox = nullptr; // shown before the dialog, as a failed load would be
    bool ignoreClose = false;             // the close box does nothing
    const char16_t* debugLine = u"";      // what Signal writes
};

LRESULT SecondProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && (wParam & 0xFFFF) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return 0;
    }
    return DefDlgProcW(hwnd, msg, wParam, lParam);
}

LRESULT MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_COMMAND || (wParam >> 16) != BN_CLICKED) {
        return DefDlgProcW(hwnd, msg, wParam, lParam);
    }
    const auto* setup =
        reinterpret_cast<const ConsoleSetup*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (wParam & 0xFFFF) {
    case kAdd:
        SendMessageW(GetDlgItem(hwnd, kList), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"added"));
        break;
    case kBox:
        MessageBoxW(hwnd, u"Sure?", u"Hint", MB_OK);
        break;
    case kQuit:
        EndDialog(hwnd, IDOK);
        break;
    case kSignal:
        NKDbgPrintfW(u"%s\r\n", setup->debugLine);
        waveOutMessage(nullptr, 1069, 0, 0);
        break;
    case kChild:
        RunModalDialog(CreateDialogIndirectParamW(nullptr, &kSecond, hwnd, SecondProc, 0));
        break;
    case IDCANCEL:
        if (!setup->ignoreClose) {
            EndDialog(hwnd, IDCANCEL);
        }
        break;
    default:
        break;
    }
    return 0;
}

struct Outcome {
    RunStatus status;
    std::string out;
    std::string err;
    INT_PTR dialogResult;
    bool stuck;
    std::chrono::milliseconds took;
};

// Plays `text` against a fresh test console and returns when both have ended.
Outcome Play(const std::string& text, ConsoleSetup setup = {},
             std::chrono::milliseconds expectTimeout = 2s,
             std::chrono::milliseconds endTimeout = 5s) {
    ParsedScript parsed = ParseScript(text);
    EXPECT_TRUE(parsed.errors.empty()) << parsed.errors.at(0).message;
    Outcome outcome{};
    HWND dialog = nullptr;
    std::atomic<bool> dialogReady{false};
    RunnerOptions options;
    options.scriptName = "t.script";
    options.expectTimeout = expectTimeout;
    options.endTimeout = endTimeout;
    options.out = [&outcome](std::string_view s) { outcome.out += s; };
    options.err = [&outcome](std::string_view s) { outcome.err += s; };
    options.onConsoleStuck = [&](RunStatus) {
        outcome.stuck = true;
        while (!dialogReady.load()) {
            std::this_thread::yield();
        }
        EndDialog(dialog, -2); // what the process's end would do to it
    };
    const auto start = std::chrono::steady_clock::now();
    ScriptRunner runner(std::move(parsed.commands), std::move(options));
    runner.Start();
    std::thread console([&] {
        if (setup.startupBox != nullptr) {
            MessageBoxW(nullptr, setup.startupBox, u"ERROR", MB_OK);
        }
        dialog = CreateDialogIndirectParamW(nullptr, &kMain, nullptr, MainProc,
                                            reinterpret_cast<LPARAM>(&setup));
        dialogReady.store(true);
        outcome.dialogResult = RunModalDialog(dialog);
        runner.NotifyConsoleEnded();
    });
    outcome.status = runner.Wait();
    console.join();
    outcome.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_TRUE(desktop::TakeSnapshot().windows.empty()) << "a window outlived its test";
    return outcome;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(ScriptRunner, DrivesEveryKindOfControlAndClosesTheConsoleAtTheEnd) {
    const Outcome o = Play("expect window \"Test\"\n"
                           "expect caption \"Test\"\n"
                           "expect lines 11\n"
                           "press \"Add\"\n"
                           "press 10\n"
                           "expect lines 11 \"added\" \"added\"\n"
                           "select 11 1\n"
                           "expect selected 11 1\n"
                           "select 11 -1\n"
                           "expect selected \"\" -1\n"
                           "type 13 \"a\\tb\"\n"
                           "expect text 13 \"a\\tb\"\n"
                           "expect unchecked \"Radio\"\n"
                           "press \"Radio\"\n"
                           "expect checked 14\n"
                           "expect disabled \"Off\"\n"
                           "expect enabled 10\n");
    EXPECT_EQ(o.status, RunStatus::Passed) << o.err;
    EXPECT_EQ(o.dialogResult, IDCANCEL) << "closed through its close box";
    EXPECT_TRUE(Has(o.err, "t.script: passed (17 commands)")) << o.err;
}

TEST(ScriptRunner, AnswersABoxShownBeforeTheFirstWindowAndWaitsForTheWindowAfterIt) {
    ConsoleSetup setup;
    setup.startupBox = u"Load fail";
    const Outcome o = Play("expect box \"Load fail\" \"ERROR\"\n"
                           "ok\n"
                           "press \"Add\"\n"
                           "expect lines 11 \"added\"\n",
                           setup);
    EXPECT_EQ(o.status, RunStatus::Passed) << o.err;
}

TEST(ScriptRunner, FailedExpectationReportsTheLineWhatWasExpectedWhatWasSeenAndTheDesktop) {
    const Outcome o = Play("expect window \"Test\"\n"
                           "expect lines 11 \"never\"  # comment kept\n"
                           "press \"Add\"\n",
                           {}, 200ms);
    EXPECT_EQ(o.status, RunStatus::ExpectationFailed);
    EXPECT_TRUE(Has(o.err, "t.script:2: expectation failed: expect lines 11 \"never\"  # comment "
                           "kept\n"
                           "  expected: control 11 with lines \"never\"\n"
                           "  seen:     11 listbox \"\" with no lines\n"
                           "  waited 0.2 s\n"
                           "desktop:\n"
                           "window \"Test\" dialog 9001 active\n"))
        << o.err;
    EXPECT_TRUE(Has(o.err, "  11 listbox \"\" enabled selected -1 lines 0\n")) << o.err;
    EXPECT_FALSE(Has(o.err, "passed"));
    EXPECT_EQ(o.dialogResult, IDCANCEL) << "closed after the failure all the same";
}

TEST(ScriptRunner, StopsAtTheFirstFailureAndCarriesOutNothingAfterIt) {
    const Outcome o = Play("expect text 13 \"x\"\npress \"Box\"\n", {}, 200ms);
    EXPECT_EQ(o.status, RunStatus::ExpectationFailed);
    EXPECT_TRUE(Has(o.err, "seen:     13 edit \"\"")) << o.err;
    EXPECT_FALSE(Has(o.err, "Sure?")) << "the box was never opened";
}

struct Refusal {
    const char* script;
    const char* why;
};

class RefusesAction : public testing::TestWithParam<Refusal> {};

TEST_P(RefusesAction, WithStatusTwoAndTheReason) {
    const Outcome o = Play(GetParam().script, {}, 200ms);
    EXPECT_EQ(o.status, RunStatus::NotCarriedOut);
    EXPECT_TRUE(Has(o.err, "t.script:1: cannot carry out: ")) << o.err;
    EXPECT_TRUE(Has(o.err, GetParam().why)) << o.err;
}

INSTANTIATE_TEST_SUITE_P(
    Targets, RefusesAction,
    testing::Values(Refusal{"press \"Off\"", "control 12 button \"Off\" is disabled"},
                    Refusal{"press 99", "no control 99 in window \"Test\" dialog 9001"},
                    Refusal{"press \"add\"", "no control \"add\" in window"},
                    Refusal{"press 11", "control 11 listbox \"\" is not a button"},
                    Refusal{"type 10 \"x\"", "is not an edit"},
                    Refusal{"select 13 0", "is not a list"},
                    Refusal{"select 11 0", "has no entry 0 (it has 0)"},
                    Refusal{"ok", "the active window is not a message box"}));

// A disabled control is refused as such, whatever else the action would find wrong with it.
INSTANTIATE_TEST_SUITE_P(
    DisabledFirst, RefusesAction,
    testing::Values(Refusal{"type 12 \"x\"", "control 12 button \"Off\" is disabled"},
                    Refusal{"select \"Off\" 0", "control 12 button \"Off\" is disabled"}));

struct Unmet {
    const char* script;
    const char* expected;
    const char* seen;
};

class ReportsUnmetExpectation : public testing::TestWithParam<Unmet> {};

// Each expectation on the desktop says in its own words what it wanted and what was there.
TEST_P(ReportsUnmetExpectation, WithWhatWasExpectedAndWhatWasSeen) {
    const Outcome o = Play(GetParam().script, {}, 200ms);
    EXPECT_EQ(o.status, RunStatus::ExpectationFailed) << o.err;
    EXPECT_TRUE(Has(o.err, std::string("  expected: ") + GetParam().expected +
                               "\n  seen:     " + GetParam().seen + "\n"))
        << o.err;
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ReportsUnmetExpectation,
    testing::Values(
        Unmet{"expect window \"Nope\"", "the active window with caption \"Nope\"",
              "window \"Test\" dialog 9001"},
        Unmet{"expect box \"Sure?\" \"Hint\"", "a message box \"Sure?\" with caption \"Hint\"",
              "window \"Test\" dialog 9001"},
        Unmet{"expect caption \"Nope\"", "the main window with caption \"Nope\"",
              "window \"Test\" dialog 9001"},
        Unmet{"expect text 13 \"x\"", "control 13 with text \"x\"", "13 edit \"\""},
        Unmet{"expect selected 11 0", "control 11 with entry 0 selected",
              "11 listbox \"\" with no entry selected"},
        Unmet{"expect enabled \"Off\"", "control \"Off\" enabled", "12 button \"Off\" disabled"},
        Unmet{"expect checked 14", "control 14 checked", "14 radio \"Radio\" enabled unchecked"},
        Unmet{"expect text 99 \"x\"", "control 99 with text \"x\"",
              "no control 99 in window \"Test\" dialog 9001"}));

TEST(ScriptRunner, ClosingAnswersTheConsolesOwnBoxBeforeClosingItsWindow) {
    const Outcome o = Play("press \"Box\"\nexpect box \"Sure?\" \"Hint\"\n");
    EXPECT_EQ(o.status, RunStatus::Passed) << o.err;
    EXPECT_EQ(o.dialogResult, IDCANCEL);
}

TEST(ScriptRunner, MainWindowIsTheBottomDialogWhileAnotherIsActive) {
    const Outcome o = Play("press \"Child\"\n"
                           "expect window \"Second\"\n"
                           "expect caption \"Test\"\n"
                           "close\n"
                           "expect window \"Test\"\n");
    EXPECT_EQ(o.status, RunStatus::Passed) << o.err;
}

TEST(ScriptRunner, CommandsAfterTheConsoleEndedFailWithoutWaiting) {
    const Outcome expectation = Play("press \"Quit\"\nexpect window \"Test\"\n", {}, 30s);
    EXPECT_EQ(expectation.status, RunStatus::ExpectationFailed);
    EXPECT_TRUE(Has(expectation.err, "seen:     no active window\n  the console has ended"))
        << expectation.err;
    EXPECT_LT(expectation.took, 20s);

    const Outcome action = Play("press \"Quit\"\npress \"Add\"\n", {}, 30s);
    EXPECT_EQ(action.status, RunStatus::NotCarriedOut);
    EXPECT_TRUE(Has(action.err, "no active window\n  the console has ended")) << action.err;
    EXPECT_LT(action.took, 20s);
}

TEST(ScriptRunner, ConsoleThatWillNotCloseIsReportedAsStuck) {
    ConsoleSetup setup;
    setup.ignoreClose = true;
    const Outcome o = Play("expect window \"Test\"\n", setup, 2s, 300ms);
    EXPECT_EQ(o.status, RunStatus::NotCarriedOut);
    EXPECT_TRUE(o.stuck);
    EXPECT_TRUE(Has(o.err, "t.script: the console did not end within 0.3 s of closing it\n"
                           "desktop:\nwindow \"Test\""))
        << o.err;
}

TEST(ScriptRunner, DebugLinesAndCallAudio) {
    ConsoleSetup setup;
    setup.debugLine = u"runner test \x1B line";
    const Outcome o = Play("expect nodebug \"runner test \\x1B line\"\n"
                           "press \"Signal\"\n"
                           "expect debug \"runner test \\x1B line\"\n"
                           "expect audio on\n",
                           setup);
    EXPECT_EQ(o.status, RunStatus::Passed) << o.err;

    const Outcome written = Play("expect nodebug \"runner test \\x1B line\"\n", setup);
    EXPECT_EQ(written.status, RunStatus::ExpectationFailed);
    EXPECT_TRUE(Has(written.err, "expected: no debug line \"runner test \\x1B line\""))
        << written.err;

    const Outcome missing = Play("expect debug \"never written\"\n", setup, 100ms);
    EXPECT_EQ(missing.status, RunStatus::ExpectationFailed);
    EXPECT_TRUE(Has(missing.err, "\"runner test \\x1B line\"")) << "recent lines are shown";
    waveOutMessage(nullptr, 1070, 0, 0);
}

TEST(ScriptRunner, DumpPrintsTheDesktopToStandardOutput) {
    const Outcome o = Play("expect window \"Test\"\npress \"Add\"\ndump\n");
    EXPECT_EQ(o.status, RunStatus::Passed) << o.err;
    EXPECT_TRUE(Has(o.out, "window \"Test\" dialog 9001 active\n"
                           "  10 button \"Add\" enabled focused\n"
                           "  11 listbox \"\" enabled selected -1 lines 1\n"
                           "    0 \"added\"\n"))
        << o.out;
}

} // namespace
} // namespace kobalt::script
