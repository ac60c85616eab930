#include "frontend/script/ScriptRunner.h"

#include "frontend/common/DesktopDump.h"
#include "frontend/common/PhoneClient.h"
#include "frontend/common/ScriptText.h"
#include "frontend/common/StdStreams.h"
#include "platform/Desktop.h"
#include "platform/DeviceServices.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace kobalt::script {

namespace {

using Clock = std::chrono::steady_clock;
using desktop::ControlKind;
using desktop::ControlView;
using desktop::Snapshot;
using desktop::WindowKind;
using desktop::WindowView;
using std::chrono::milliseconds;

// Longest single wait on the desktop's change signal, so that the end of the console is noticed.
constexpr milliseconds kDesktopSlice{100};
// Interval for conditions that raise no change signal (debug lines, call audio).
constexpr milliseconds kPollSlice{10};
// How long a held expectation waits for the windows' threads to finish what they are doing.
constexpr milliseconds kSettleSlice{250};
// While closing the console: how long a window that was sent Close or OK may take to go away
// before it is sent another.
constexpr milliseconds kCloseRetry{1000};

const WindowView* ActiveWindow(const Snapshot& snapshot) {
    for (const WindowView& window : snapshot.windows) {
        if (window.active) {
            return &window;
        }
    }
    return nullptr;
}

// The first window created: the bottom-most dialog.
const WindowView* MainWindow(const Snapshot& snapshot) {
    for (auto it = snapshot.windows.rbegin(); it != snapshot.windows.rend(); ++it) {
        if (it->kind == WindowKind::Dialog) {
            return &*it;
        }
    }
    return nullptr;
}

// The first control in tab order with that id or that text.
const ControlView* FindControl(const WindowView& window, const ControlRef& ref) {
    for (const ControlView& control : window.controls) {
        if (const int* id = std::get_if<int>(&ref.key)) {
            if (control.id == *id) {
                return &control;
            }
        } else if (control.text == std::get<std::u16string>(ref.key)) {
            return &control;
        }
    }
    return nullptr;
}

std::string QuotedLines(const std::vector<std::u16string>& lines) {
    if (lines.empty()) {
        return "no lines";
    }
    std::string out = "lines";
    for (const std::u16string& line : lines) {
        out += ' ' + Quoted(line);
    }
    return out;
}

std::string SelectionText(std::int64_t index) {
    return index < 0 ? std::string("no entry selected")
                     : "entry " + std::to_string(index) + " selected";
}

const char* ConditionName(ControlCondition condition) {
    switch (condition) {
    case ControlCondition::Enabled:
        return "enabled";
    case ControlCondition::Disabled:
        return "disabled";
    case ControlCondition::Checked:
        return "checked";
    case ControlCondition::Unchecked:
        return "unchecked";
    }
    return "?";
}

bool ConditionHolds(ControlCondition condition, const ControlView& control) {
    switch (condition) {
    case ControlCondition::Enabled:
        return control.enabled;
    case ControlCondition::Disabled:
        return !control.enabled;
    case ControlCondition::Checked:
        return control.checked;
    case ControlCondition::Unchecked:
        return !control.checked;
    }
    return false;
}

// What an expectation found: whether it held, and else what was there instead.
struct Observation {
    bool held = false;
    std::string seen;
};

Observation Held() {
    return Observation{true, {}};
}
Observation Seen(std::string seen) {
    return Observation{false, std::move(seen)};
}

std::string NoControl(const ControlRef& ref, const WindowView& window) {
    return "no control " + DescribeControl(ref) + " in " + DescribeWindowView(window);
}

// Reads the desktop for one expectation; `expected` says in words what should hold.
struct DesktopExpectation {
    std::string expected;
    std::function<Observation(const Snapshot&)> observe;
};

// A check on a control of the active window.
DesktopExpectation OnControl(const Command& command, std::string expected,
                             std::function<Observation(const ControlView&)> check) {
    return DesktopExpectation{"control " + DescribeControl(command.control) + ' ' + expected,
                              [&command, check = std::move(check)](const Snapshot& snapshot) {
                                  const WindowView* window = ActiveWindow(snapshot);
                                  if (window == nullptr) {
                                      return Seen("no active window");
                                  }
                                  const ControlView* control =
                                      FindControl(*window, command.control);
                                  if (control == nullptr) {
                                      return Seen(NoControl(command.control, *window));
                                  }
                                  return check(*control);
                              }};
}

Observation CaptionIs(const WindowView* window, const char* none, const std::u16string& caption) {
    if (window == nullptr) {
        return Seen(none);
    }
    return window->caption == caption ? Held() : Seen(DescribeWindowView(*window));
}

DesktopExpectation ActiveWindowCaption(const Command& command) {
    const std::u16string& caption = command.texts[0];
    return {"the active window with caption " + Quoted(caption),
            [&caption](const Snapshot& snapshot) {
                return CaptionIs(ActiveWindow(snapshot), "no active window", caption);
            }};
}

DesktopExpectation MainWindowCaption(const Command& command) {
    const std::u16string& caption = command.texts[0];
    return {"the main window with caption " + Quoted(caption),
            [&caption](const Snapshot& snapshot) {
                return CaptionIs(MainWindow(snapshot), "no dialog", caption);
            }};
}

DesktopExpectation MessageBoxShown(const Command& command) {
    const std::vector<std::u16string>& texts = command.texts;
    return {"a message box " + Quoted(texts[0]) + " with caption " + Quoted(texts[1]),
            [&texts](const Snapshot& snapshot) {
                const WindowView* window = ActiveWindow(snapshot);
                if (window == nullptr) {
                    return Seen("no active window");
                }
                const bool isBox = window->kind == WindowKind::MessageBox;
                if (isBox && window->text == texts[0] && window->caption == texts[1]) {
                    return Held();
                }
                std::string seen = DescribeWindowView(*window);
                if (isBox) {
                    seen += " text " + Quoted(window->text);
                }
                return Seen(seen);
            }};
}

DesktopExpectation ControlText(const Command& command) {
    const std::u16string& text = command.texts[0];
    return OnControl(command, "with text " + Quoted(text), [&text](const ControlView& control) {
        return control.text == text ? Held() : Seen(DescribeControlView(control));
    });
}

DesktopExpectation ControlLines(const Command& command) {
    const std::vector<std::u16string>& lines = command.texts;
    return OnControl(command, "with " + QuotedLines(lines), [&lines](const ControlView& control) {
        if (control.lineCount == control.lines.size() && control.lines == lines) {
            return Held();
        }
        return Seen(DescribeControlView(control) + " with " + QuotedLines(control.lines));
    });
}

DesktopExpectation ControlSelection(const Command& command) {
    return OnControl(command, "with " + SelectionText(command.number),
                     [&command](const ControlView& control) {
                         return control.selected == command.number
                                    ? Held()
                                    : Seen(DescribeControlView(control) + " with " +
                                           SelectionText(control.selected));
                     });
}

DesktopExpectation ControlState(const Command& command) {
    return OnControl(command, ConditionName(command.condition),
                     [&command](const ControlView& control) {
                         if (ConditionHolds(command.condition, control)) {
                             return Held();
                         }
                         std::string seen = DescribeControlView(control);
                         seen += control.enabled ? " enabled" : " disabled";
                         if (control.kind == ControlKind::RadioButton) {
                             seen += control.checked ? " checked" : " unchecked";
                         }
                         return Seen(seen);
                     });
}

// The expectations on the desktop, one a command.
struct ExpectationRow {
    CommandKind kind;
    DesktopExpectation (*describe)(const Command& command);
};

constexpr ExpectationRow kExpectations[] = {
    {CommandKind::ExpectWindow, ActiveWindowCaption},
    {CommandKind::ExpectBox, MessageBoxShown},
    {CommandKind::ExpectCaption, MainWindowCaption},
    {CommandKind::ExpectText, ControlText},
    {CommandKind::ExpectLines, ControlLines},
    {CommandKind::ExpectSelected, ControlSelection},
    {CommandKind::ExpectState, ControlState},
};

DesktopExpectation DescribeExpectation(const Command& command) {
    for (const ExpectationRow& row : kExpectations) {
        if (row.kind == command.kind) {
            return row.describe(command);
        }
    }
    return {"?", [](const Snapshot&) { return Seen("?"); }};
}

// What an action works on: the active window, an active message box, or a control of the active
// window (the one the command names).
enum class Target { Window, MessageBox, Control };

// An action's target as found on the desktop, or what is missing for it.
struct TargetSearch {
    const WindowView* window = nullptr;
    const ControlView* control = nullptr;
    std::string missing; // empty when found
};

TargetSearch FindTarget(const Snapshot& snapshot, const Command& command, Target target) {
    TargetSearch search;
    search.window = ActiveWindow(snapshot);
    if (search.window == nullptr) {
        search.missing = "no active window";
    } else if (target == Target::MessageBox && search.window->kind != WindowKind::MessageBox) {
        search.missing =
            "the active window is not a message box: " + DescribeWindowView(*search.window);
    } else if (target == Target::Control &&
               (search.control = FindControl(*search.window, command.control)) == nullptr) {
        search.missing = NoControl(command.control, *search.window);
    }
    return search;
}

std::string PressRefusal(const Command&, const ControlView& control) {
    if (control.kind != ControlKind::PushButton && control.kind != ControlKind::RadioButton) {
        return "control " + DescribeControlView(control) + " is not a button";
    }
    return {};
}

std::string SelectRefusal(const Command& command, const ControlView& control) {
    const std::string name = DescribeControlView(control);
    if (control.kind != ControlKind::ListBox && control.kind != ControlKind::ListView) {
        return "control " + name + " is not a list";
    }
    if (command.number >= static_cast<std::int64_t>(control.lineCount)) {
        return "control " + name + " has no entry " + std::to_string(command.number) + " (it has " +
               std::to_string(control.lineCount) + ")";
    }
    return {};
}

std::string TypeRefusal(const Command&, const ControlView& control) {
    if (control.kind != ControlKind::Edit) {
        return "control " + DescribeControlView(control) + " is not an edit";
    }
    return {};
}

// The operator's actions, one a command.
struct ActionRow {
    CommandKind kind;
    Target target;
    // Why an enabled control cannot take the action, empty when it can; Target::Control only.
    std::string (*refusal)(const Command& command, const ControlView& control);
    desktop::InputResult (*input)(const Command& command, const TargetSearch& target);
};

constexpr ActionRow kActions[] = {
    {CommandKind::Press, Target::Control, PressRefusal,
     [](const Command&, const TargetSearch& target) {
         return desktop::Click(target.control->hwnd);
     }},
    {CommandKind::Select, Target::Control, SelectRefusal,
     [](const Command& command, const TargetSearch& target) {
         return desktop::Select(target.control->hwnd, static_cast<int>(command.number));
     }},
    {CommandKind::Type, Target::Control, TypeRefusal,
     [](const Command& command, const TargetSearch& target) {
         return desktop::TypeText(target.control->hwnd, command.texts[0]);
     }},
    {CommandKind::Ok, Target::MessageBox, nullptr,
     [](const Command&, const TargetSearch& target) {
         return desktop::AnswerBox(target.window->hwnd, IDOK);
     }},
    {CommandKind::Close, Target::Window, nullptr,
     [](const Command&, const TargetSearch& target) {
         return desktop::Close(target.window->hwnd);
     }},
};

const ActionRow* FindAction(CommandKind kind) {
    for (const ActionRow& row : kActions) {
        if (row.kind == kind) {
            return &row;
        }
    }
    return nullptr;
}

// Gives the found target its input; why it could not, or empty when it did.
std::string Perform(const ActionRow& action, const Command& command, const TargetSearch& target) {
    if (target.control != nullptr) {
        if (!target.control->enabled) {
            return "control " + DescribeControlView(*target.control) + " is disabled";
        }
        if (std::string why = action.refusal(command, *target.control); !why.empty()) {
            return why;
        }
    }
    const desktop::InputResult result = action.input(command, target);
    if (result != desktop::InputResult::Ok) {
        return std::string("the desktop refused the input: ") + desktop::InputResultName(result);
    }
    return {};
}

// What a failed `expect debug` reports: the line, and the newest debug lines there are.
std::vector<std::string> DebugLineMissing(const std::u16string& wanted, std::size_t searched) {
    std::vector<std::string> details{"expected: a debug line " + Quoted(wanted),
                                     "seen:     " + std::to_string(searched) +
                                         " debug lines without it"};
    const std::vector<std::u16string> lines = device::DebugLines();
    constexpr std::size_t kShown = 10;
    const std::size_t from = lines.size() > kShown ? lines.size() - kShown : 0;
    for (std::size_t i = from; i < lines.size(); ++i) {
        details.push_back("  " + std::to_string(i + 1) + ' ' + Quoted(lines[i]));
    }
    return details;
}

std::string Seconds(milliseconds duration) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(duration.count()) / 1000.0);
    return text;
}

} // namespace

struct ScriptRunner::Failure {
    RunStatus status = RunStatus::NotCarriedOut;
    std::vector<std::string> details; // printed one a line under the command
    std::optional<Snapshot> snapshot; // the desktop as it was judged; taken afresh when empty
};

ScriptRunner::ScriptRunner(std::vector<Command> commands, RunnerOptions options)
    : m_commands(std::move(commands)), m_options(std::move(options)) {
    if (!m_options.out) {
        m_options.out = frontend::WriteStdout;
    }
    if (!m_options.err) {
        m_options.err = frontend::WriteStderr;
    }
}

ScriptRunner::~ScriptRunner() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void ScriptRunner::Start() {
    m_thread = std::thread([this] { Run(); });
}

void ScriptRunner::NotifyConsoleEnded() {
    m_consoleEnded.store(true, std::memory_order_release);
}

RunStatus ScriptRunner::Wait() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return m_status;
}

void ScriptRunner::Run() {
    RunStatus status = RunStatus::Passed;
    for (const Command& command : m_commands) {
        if (std::optional<Failure> failure = Execute(command)) {
            Report(command, *failure);
            status = failure->status;
            break;
        }
    }
    const Ending ending = CloseConsole();
    if (status == RunStatus::Passed && ending != Ending::Ended) {
        status = RunStatus::NotCarriedOut;
    }
    if (status == RunStatus::Passed) {
        m_options.err(m_options.scriptName + ": passed (" + std::to_string(m_commands.size()) +
                      " commands)\n");
    }
    m_status = status;
    if (ending == Ending::ConsoleStuck && m_options.onConsoleStuck) {
        m_options.onConsoleStuck(status);
    }
}

ScriptRunner::Outcome ScriptRunner::RunCommand(const Command& command) {
    std::optional<Failure> failure = Execute(command);
    if (!failure) {
        return Outcome{};
    }
    return Outcome{failure->status, std::move(failure->details)};
}

bool ScriptRunner::CloseConsoleWindows() {
    return CloseConsole() == Ending::Ended;
}

std::optional<ScriptRunner::Failure> ScriptRunner::Execute(const Command& command) {
    using Runner = std::optional<Failure> (ScriptRunner::*)(const Command&);
    struct Row {
        CommandKind kind;
        Runner run;
    };
    static constexpr Row kRows[] = {
        {CommandKind::Press, &ScriptRunner::Act},
        {CommandKind::Select, &ScriptRunner::Act},
        {CommandKind::Type, &ScriptRunner::Act},
        {CommandKind::Ok, &ScriptRunner::Act},
        {CommandKind::Close, &ScriptRunner::Act},
        {CommandKind::Sleep, &ScriptRunner::Pause},
        {CommandKind::Power, &ScriptRunner::Power},
        {CommandKind::Dump, &ScriptRunner::Dump},
        {CommandKind::ExpectWindow, &ScriptRunner::ExpectOnDesktop},
        {CommandKind::ExpectBox, &ScriptRunner::ExpectOnDesktop},
        {CommandKind::ExpectCaption, &ScriptRunner::ExpectOnDesktop},
        {CommandKind::ExpectText, &ScriptRunner::ExpectOnDesktop},
        {CommandKind::ExpectLines, &ScriptRunner::ExpectOnDesktop},
        {CommandKind::ExpectSelected, &ScriptRunner::ExpectOnDesktop},
        {CommandKind::ExpectState, &ScriptRunner::ExpectOnDesktop},
        {CommandKind::ExpectDebug, &ScriptRunner::ExpectDebug},
        {CommandKind::ExpectNoDebug, &ScriptRunner::ExpectNoDebug},
        {CommandKind::ExpectAudio, &ScriptRunner::ExpectAudio},
        {CommandKind::Phone, &ScriptRunner::Phone},
        {CommandKind::ExpectPhone, &ScriptRunner::ExpectPhone},
    };
    for (const Row& row : kRows) {
        if (row.kind == command.kind) {
            return (this->*row.run)(command);
        }
    }
    return Failure{RunStatus::NotCarriedOut, {"unknown command"}, std::nullopt};
}

std::optional<ScriptRunner::Failure> ScriptRunner::Pause(const Command& command) {
    device::SleepDeviceTime(std::chrono::milliseconds(command.number));
    return std::nullopt;
}

std::optional<ScriptRunner::Failure> ScriptRunner::Power(const Command& command) {
    // A console's power monitor starts listening shortly after its window opens; the
    // transition waits a little for a listener so that a script does not outrun it. With
    // none (a second console runs without a monitor) it goes out all the same.
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (device::PowerListenerCount() == 0 && !ConsoleEnded() && Clock::now() < deadline)
        std::this_thread::sleep_for(kPollSlice);
    device::PowerTransition(command.power == PowerAction::Suspend ? POWER_STATE_SUSPEND
                                                                  : POWER_STATE_ON);
    desktop::WaitInputSettled(m_options.settleTimeout);
    return std::nullopt;
}

std::optional<ScriptRunner::Failure> ScriptRunner::Dump(const Command&) {
    m_options.out(DumpDesktop(desktop::TakeSnapshot()));
    return std::nullopt;
}

std::optional<ScriptRunner::Failure> ScriptRunner::Phone(const Command& command) {
    std::string line;
    for (const std::string& word : command.words)
        line += (line.empty() ? "" : " ") + word;
    // The phone opens its socket while the library loads, which may still be under way when a
    // script begins: like any target, it is waited for.
    const auto deadline = Clock::now() + m_options.expectTimeout;
    PhoneAnswer answer = AskPhone(line, m_options.expectTimeout);
    while (!answer.reached && !ConsoleEnded() && Clock::now() < deadline) {
        std::this_thread::sleep_for(kPollSlice);
        answer = AskPhone(line, m_options.expectTimeout);
    }
    if (!answer.reached || !answer.ok) {
        return Failure{RunStatus::NotCarriedOut,
                       {std::string(answer.reached ? "the phone refused: " : "") + answer.error},
                       std::nullopt};
    }
    // Reports such as `phone state` or `phone devices` go to standard output.
    std::string output;
    for (const std::string& outputLine : answer.lines)
        output += Printable(Utf8ToUtf16(outputLine).value_or(u"?")) + "\n";
    if (!output.empty())
        m_options.out(output);
    return std::nullopt;
}

std::optional<ScriptRunner::Failure> ScriptRunner::ExpectPhone(const Command& command) {
    const std::u16string& wanted = command.texts.front();
    const auto deadline = Clock::now() + m_options.expectTimeout;
    for (;;) {
        const PhoneAnswer answer = AskPhone("state", m_options.expectTimeout);
        if (!answer.reached && !ConsoleEnded() && Clock::now() < deadline) {
            std::this_thread::sleep_for(kPollSlice);
            continue;
        }
        if (!answer.reached || !answer.ok)
            return Failure{RunStatus::NotCarriedOut,
                           {"the phone's state could not be read: " + answer.error},
                           std::nullopt};
        for (const std::string& stateLine : answer.lines)
            if (Utf8ToUtf16(stateLine) == wanted)
                return std::nullopt;
        const auto now = Clock::now();
        if (ConsoleEnded() || now >= deadline) {
            std::vector<std::string> details{"expected: the phone's state has the line " +
                                                 Quoted(wanted),
                                             "seen:     the phone's state:"};
            for (const std::string& stateLine : answer.lines)
                details.push_back("  " + Printable(Utf8ToUtf16(stateLine).value_or(u"?")));
            return Failure{RunStatus::ExpectationFailed, std::move(details), std::nullopt};
        }
        std::this_thread::sleep_for(
            std::min(kPollSlice, std::chrono::duration_cast<milliseconds>(deadline - now)));
    }
}

std::optional<ScriptRunner::Failure> ScriptRunner::Act(const Command& command) {
    const ActionRow* action = FindAction(command.kind);
    if (action == nullptr) {
        return Failure{RunStatus::NotCarriedOut, {"unknown command"}, std::nullopt};
    }
    // Waits for the target: the active window, and in it the control the command names.
    const auto deadline = Clock::now() + m_options.expectTimeout;
    Snapshot snapshot;
    TargetSearch target;
    for (;;) {
        const bool ended = ConsoleEnded();
        snapshot = desktop::TakeSnapshot(desktop::SnapshotOptions{0});
        target = FindTarget(snapshot, command, action->target);
        if (target.missing.empty()) {
            break;
        }
        const auto now = Clock::now();
        if (ended || now >= deadline) {
            return Failure{RunStatus::NotCarriedOut,
                           {target.missing, ended ? "the console has ended"
                                                  : "waited " + Seconds(m_options.expectTimeout)},
                           std::nullopt};
        }
        desktop::WaitForChange(
            snapshot.version,
            std::min(kDesktopSlice, std::chrono::duration_cast<milliseconds>(deadline - now)));
    }
    if (std::string why = Perform(*action, command, target); !why.empty()) {
        return Failure{RunStatus::NotCarriedOut, {std::move(why)}, std::nullopt};
    }
    // A time-out is no failure: a handler may legitimately be busy (a blocking SDK call), and
    // the next expectation waits for what it needs.
    desktop::WaitInputSettled(m_options.settleTimeout);
    return std::nullopt;
}

std::optional<ScriptRunner::Failure> ScriptRunner::ExpectOnDesktop(const Command& command) {
    const DesktopExpectation expectation = DescribeExpectation(command);
    const auto deadline = Clock::now() + m_options.expectTimeout;
    for (;;) {
        const bool ended = ConsoleEnded();
        Snapshot snapshot = desktop::TakeSnapshot();
        const Observation observation = expectation.observe(snapshot);
        if (observation.held) {
            // What made the expectation hold may be part of a handler still running (a connect
            // event sets the caption, then the buttons): let the windows' threads finish it
            // before the next command looks.
            std::vector<DWORD> owners;
            for (const WindowView& window : snapshot.windows) {
                if (std::find(owners.begin(), owners.end(), window.ownerThread) == owners.end()) {
                    owners.push_back(window.ownerThread);
                    desktop::WaitOwnerIdle(window.hwnd, kSettleSlice);
                }
            }
            return std::nullopt;
        }
        const auto now = Clock::now();
        if (ended || now >= deadline) {
            return Failure{
                RunStatus::ExpectationFailed,
                {"expected: " + expectation.expected, "seen:     " + observation.seen,
                 ended ? "the console has ended" : "waited " + Seconds(m_options.expectTimeout)},
                std::move(snapshot)};
        }
        desktop::WaitForChange(
            snapshot.version,
            std::min(kDesktopSlice, std::chrono::duration_cast<milliseconds>(deadline - now)));
    }
}

std::optional<ScriptRunner::Failure> ScriptRunner::ExpectNoDebug(const Command& command) {
    const std::u16string& wanted = command.texts[0];
    const std::vector<std::u16string> lines = device::DebugLines();
    const auto it = std::find(lines.begin(), lines.end(), wanted);
    if (it == lines.end()) {
        return std::nullopt;
    }
    return Failure{RunStatus::ExpectationFailed,
                   {"expected: no debug line " + Quoted(wanted),
                    "seen:     it as debug line " + std::to_string(it - lines.begin() + 1) +
                        " of " + std::to_string(lines.size())},
                   std::nullopt};
}

std::optional<ScriptRunner::Failure> ScriptRunner::ExpectDebug(const Command& command) {
    const std::u16string& wanted = command.texts[0];
    const auto deadline = Clock::now() + m_options.expectTimeout;
    std::size_t searched = 0; // lines already looked at; lines are only ever appended
    for (;;) {
        const bool ended = ConsoleEnded();
        const std::uint64_t version = desktop::Version();
        if (device::DebugLineCount() > searched) {
            const std::vector<std::u16string> lines = device::DebugLines();
            if (std::find(lines.begin() + static_cast<std::ptrdiff_t>(searched), lines.end(),
                          wanted) != lines.end()) {
                return std::nullopt;
            }
            searched = lines.size();
        }
        const auto now = Clock::now();
        if (ended || now >= deadline) {
            std::vector<std::string> details = DebugLineMissing(wanted, searched);
            details.push_back(ended ? "the console has ended"
                                    : "waited " + Seconds(m_options.expectTimeout));
            return Failure{RunStatus::ExpectationFailed, std::move(details), std::nullopt};
        }
        desktop::WaitForChange(
            version,
            std::min(kPollSlice, std::chrono::duration_cast<milliseconds>(deadline - now)));
    }
}

std::optional<ScriptRunner::Failure> ScriptRunner::ExpectAudio(const Command& command) {
    const bool wanted = command.audio == AudioState::On;
    const auto deadline = Clock::now() + m_options.expectTimeout;
    for (;;) {
        const bool ended = ConsoleEnded();
        const std::uint64_t version = desktop::Version();
        if (device::CallAudioOn() == wanted) {
            return std::nullopt;
        }
        const auto now = Clock::now();
        if (ended || now >= deadline) {
            return Failure{
                RunStatus::ExpectationFailed,
                {std::string("expected: call audio ") + (wanted ? "on" : "off"),
                 std::string("seen:     call audio ") + (wanted ? "off" : "on"),
                 ended ? "the console has ended" : "waited " + Seconds(m_options.expectTimeout)},
                std::nullopt};
        }
        desktop::WaitForChange(
            version,
            std::min(kPollSlice, std::chrono::duration_cast<milliseconds>(deadline - now)));
    }
}

ScriptRunner::Ending ScriptRunner::CloseConsole() {
    const auto deadline = Clock::now() + m_options.endTimeout;
    HWND lastTarget = nullptr;
    Clock::time_point lastInput{};
    for (;;) {
        const bool ended = ConsoleEnded();
        const Snapshot snapshot = desktop::TakeSnapshot(desktop::SnapshotOptions{0});
        if (ended && snapshot.windows.empty()) {
            return Ending::Ended;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            m_options.err(
                m_options.scriptName + ": " +
                (ended ? "windows are left after the console ended" : "the console did not end") +
                " within " + Seconds(m_options.endTimeout) + " of closing it\ndesktop:\n" +
                DumpDesktop(desktop::TakeSnapshot()));
            return ended ? Ending::WindowsLeft : Ending::ConsoleStuck;
        }
        const WindowView* target = ActiveWindow(snapshot);
        if (target != nullptr && (target->hwnd != lastTarget || now - lastInput >= kCloseRetry)) {
            const desktop::InputResult result = target->kind == WindowKind::MessageBox
                                                    ? desktop::AnswerBox(target->hwnd, IDOK)
                                                    : desktop::Close(target->hwnd);
            lastTarget = target->hwnd;
            lastInput = now;
            if (result == desktop::InputResult::Ok) {
                desktop::WaitInputSettled(m_options.settleTimeout);
            }
            continue;
        }
        desktop::WaitForChange(
            snapshot.version,
            std::min(kDesktopSlice, std::chrono::duration_cast<milliseconds>(deadline - now)));
    }
}

void ScriptRunner::Report(const Command& command, const Failure& failure) {
    std::string text = m_options.scriptName + ':' + std::to_string(command.line) + ": " +
                       (failure.status == RunStatus::ExpectationFailed ? "expectation failed: "
                                                                       : "cannot carry out: ") +
                       command.source + '\n';
    for (const std::string& detail : failure.details) {
        text += "  " + detail + '\n';
    }
    text += "desktop:\n";
    text += DumpDesktop(failure.snapshot ? *failure.snapshot : desktop::TakeSnapshot());
    m_options.err(text);
}

} // namespace kobalt::script
