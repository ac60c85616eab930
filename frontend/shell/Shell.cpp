#include "frontend/shell/Shell.h"

#include "frontend/common/PhoneClient.h"
#include "frontend/common/ScriptText.h"
#include "frontend/shell/CommandSession.h"
#include "frontend/shell/Completion.h"
#include "frontend/shell/ControlSocket.h"
#include "frontend/shell/DesktopEvents.h"
#include "frontend/shell/LineReader.h"
#include "platform/Desktop.h"
#include "platform/DeviceServices.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <pthread.h>

namespace kobalt::shell {

namespace {

using std::chrono::milliseconds;

// How long the prompt waits for a key before looking for events.
constexpr milliseconds kEventTick{50};

// The shell's own commands. Plain arrays: the shell starts during static initialisation.
constexpr const char* kLocalCommands[] = {"help", "quit", "exit", "debug", "events"};
constexpr const char* kAttachedCommands[] = {"help", "quit", "exit"};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    AppendLines(text, lines);
    return lines;
}

std::string Trimmed(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> AnswerLines(const Answer& answer) {
    std::vector<std::string> lines;
    for (const std::string& line : answer.output) {
        lines.push_back(WithoutControls(line));
    }
    if (!answer.ok) {
        lines.push_back("error: " + WithoutControls(answer.error));
    }
    return lines;
}

// The addresses in a phone's `devices` lines, after those the console shows.
void AddPhoneDevices(CompletionData& data, const std::vector<std::string>& devices) {
    for (std::string& address : GatherCompletionDataFromDump(devices).addresses) {
        if (std::find(data.addresses.begin(), data.addresses.end(), address) ==
            data.addresses.end()) {
            data.addresses.push_back(std::move(address));
        }
    }
}

// The simulated phone's devices, for its commands' addresses. An SDK without a phone (or a
// phone slow to answer) adds nothing.
void AddPhoneDevices(CompletionData& data) {
    constexpr milliseconds kPhoneTimeout{300};
    const script::PhoneAnswer answer = script::AskPhone("devices", kPhoneTimeout);
    if (answer.reached && answer.ok) {
        AddPhoneDevices(data, answer.lines);
    }
}

desktop::Snapshot EventSnapshot() {
    return desktop::TakeSnapshot(desktop::SnapshotOptions{kEventLinesPerList});
}

// Waits (bounded) until the console's first window is up and its thread idle, so that the
// window is reported before the first command runs and what that command changes is reported as
// changes rather than folded into the new window (commands piped in come at once).
template <class Ended> void WaitForFirstWindow(Ended ended) {
    constexpr milliseconds kBound{10000};
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    for (;;) {
        const desktop::Snapshot snapshot = desktop::TakeSnapshot(desktop::SnapshotOptions{0});
        if (!snapshot.windows.empty()) {
            desktop::WaitOwnerIdle(snapshot.windows.front().hwnd, kBound);
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (ended() || now >= deadline) {
            return;
        }
        desktop::WaitForChange(
            snapshot.version,
            std::min(kEventTick, std::chrono::duration_cast<milliseconds>(deadline - now)));
    }
}

// Tab on the prompt: the script commands, the shell's own, what the desktop shows and, after
// `phone`, the simulated phone's devices.
std::pair<std::size_t, std::vector<std::string>> CompleteLine(const std::string& line) {
    // Enough list lines for the addresses on show, bounded for lists of many thousand.
    constexpr std::size_t kCompletionLines = 10000;
    CompletionData data =
        GatherCompletionData(desktop::TakeSnapshot(desktop::SnapshotOptions{kCompletionLines}));
    data.extraCommands.assign(std::begin(kLocalCommands), std::end(kLocalCommands));
    if (line.starts_with("phone ")) {
        AddPhoneDevices(data);
    }
    Completion completion = Complete(line, data);
    return std::make_pair(completion.wordStart, std::move(completion.candidates));
}

// The console `pid` names (0: the only one); false after saying why there is none to take.
bool FindConsole(long pid, const std::string& program, ConsoleSocket& console) {
    const std::vector<ConsoleSocket> sockets = FindConsoleSockets();
    for (const ConsoleSocket& socket : sockets) {
        if (pid != 0 && socket.pid != pid) {
            continue;
        }
        if (!console.path.empty()) {
            std::string pids;
            for (const ConsoleSocket& s : sockets) {
                pids += ' ' + std::to_string(s.pid);
            }
            std::fprintf(stderr, "%s: several consoles run (pids%s); name one: --attach PID\n",
                         program.c_str(), pids.c_str());
            return false;
        }
        console = socket;
    }
    if (!console.path.empty()) {
        return true;
    }
    if (pid == 0) {
        std::fprintf(stderr, "%s: no console runs in a terminal to attach to\n", program.c_str());
    } else {
        std::fprintf(stderr, "%s: no console with pid %ld to attach to\n", program.c_str(), pid);
    }
    return false;
}

// Tab on an attached shell's prompt: the script commands, the shell's own and what the
// console's `dump` shows (and after `phone`, its phone's devices), asked over the connection.
std::pair<std::size_t, std::vector<std::string>> CompleteAttachedLine(ControlClient& client,
                                                                      const std::string& line) {
    Answer answer;
    std::string error;
    CompletionData data;
    if (client.Ask("dump", answer, error) && answer.ok) {
        data = GatherCompletionDataFromDump(answer.output);
    }
    if (line.starts_with("phone ") && client.Ask("phone devices", answer, error) && answer.ok) {
        AddPhoneDevices(data, answer.output);
    }
    data.extraCommands.assign(std::begin(kAttachedCommands), std::end(kAttachedCommands));
    Completion completion = Complete(line, data);
    return std::make_pair(completion.wordStart, std::move(completion.candidates));
}

// Sends the typed commands to the console until `quit` or the end of input; the exit status.
int SendCommands(ControlClient& client, LineReader& reader) {
    int status = 0;
    for (;;) {
        std::string line;
        const LineReader::Status read = reader.Read(milliseconds(1000), line);
        if (read == LineReader::Status::End) {
            return status;
        }
        const std::string command = Trimmed(line);
        if (read == LineReader::Status::Idle || command.empty() || command.starts_with('#')) {
            continue;
        }
        if (command == "quit" || command == "exit") {
            return status;
        }
        if (command == "help") {
            reader.Print(SplitLines(ShellHelp(true)));
            continue;
        }
        Answer answer;
        std::string error;
        if (!client.Ask(line, answer, error)) {
            reader.Print({"error: " + WithoutControls(error)});
            return 2;
        }
        if (!answer.ok) {
            status = 1;
        }
        reader.Print(AnswerLines(answer));
    }
}

} // namespace

std::string ShellHelp(bool attached) {
    std::string text =
        "Script commands (docs/scripts.md): press, select, type, ok, close, sleep, power, dump,\n"
        "expect ..., phone ...; Tab completes commands, captions and addresses.\n"
        "  help          this text\n"
        "  quit, exit    " +
        std::string(attached ? "leave the console running and end the shell\n"
                             : "close the console and end the shell (also Ctrl-D)\n");
    if (!attached) {
        text += "  events on|off show the desktop's changes above the prompt (on)\n"
                "  debug on|off  show the console's debug output above the prompt (off)\n";
    }
    return text;
}

LocalShell::~LocalShell() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void LocalShell::Start() {
    m_thread = std::thread([this] { Run(); });
}

void LocalShell::NotifyConsoleEnded() {
    m_consoleEnded.store(true, std::memory_order_release);
    m_session.NotifyConsoleEnded();
}

int LocalShell::Wait() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return m_status;
}

// Prints above the prompt what changed since it last looked: the desktop's changes and, after
// `debug on`, the console's debug output.
class LocalShell::ChangePrinter {
public:
    // `events on|off` or `debug on|off`; false for any other command.
    bool Switch(const std::string& command, LineReader& reader) {
        const std::string word = command.substr(0, command.find_first_of(" \t"));
        if (word != "events" && word != "debug") {
            return false;
        }
        const std::string value = Trimmed(command.substr(word.size()));
        bool& flag = word == "events" ? m_showEvents : m_showDebug;
        if (value == "on" || value == "off") {
            flag = value == "on";
        } else {
            reader.Print({"error: " + word + " on|off"});
        }
        return true;
    }

    void PrintNew(LineReader& reader) {
        std::vector<std::string> lines;
        if (desktop::Version() != m_seen.version) {
            desktop::Snapshot now = EventSnapshot();
            if (m_showEvents) {
                lines = DescribeChanges(m_seen, now);
            }
            m_seen = std::move(now);
        }
        // While debug output is off its lines wait; `debug on` shows the newest of them.
        if (m_showDebug && device::DebugLineCount() != m_debugSeen) {
            AppendDebugLines(lines);
        }
        reader.Print(lines);
    }

private:
    void AppendDebugLines(std::vector<std::string>& lines) {
        constexpr std::size_t kDebugBacklog = 50;
        const std::vector<std::u16string> debug = device::DebugLines();
        if (debug.size() - m_debugSeen > kDebugBacklog) {
            lines.push_back("[DBG] (" + std::to_string(debug.size() - m_debugSeen - kDebugBacklog) +
                            " earlier lines not shown)");
            m_debugSeen = debug.size() - kDebugBacklog;
        }
        for (std::size_t i = m_debugSeen; i < debug.size(); ++i) {
            lines.push_back("[DBG] " + script::Printable(debug[i]));
        }
        m_debugSeen = debug.size();
    }

    bool m_showEvents = true;
    bool m_showDebug = false;
    // Starting from an empty desktop, the windows already open when the shell starts are
    // reported as new too, whichever of the two threads came first.
    desktop::Snapshot m_seen;
    std::size_t m_debugSeen = 0;
};

void LocalShell::Run() {
    pthread_setname_np(pthread_self(), "kobalt-shell");
    LineReader reader("kobalt> ", CompleteLine);
    ChangePrinter changes;
    WaitForFirstWindow([this] { return ConsoleEnded(); });
    ReadCommands(reader, changes);
    if (ConsoleEnded()) {
        changes.PrintNew(reader);
        reader.Print({"[END] the console has ended"});
        return;
    }
    CloseConsole(reader);
}

// Runs the typed commands until `quit`, the end of input or the end of the console.
void LocalShell::ReadCommands(LineReader& reader, ChangePrinter& changes) {
    while (!ConsoleEnded()) {
        changes.PrintNew(reader);
        std::string line;
        const LineReader::Status status = reader.Read(kEventTick, line);
        if (status == LineReader::Status::End) {
            return;
        }
        if (status == LineReader::Status::Idle) {
            continue;
        }
        const std::string command = Trimmed(line);
        if (command == "quit" || command == "exit") {
            return;
        }
        if (command == "help") {
            reader.Print(SplitLines(ShellHelp(false)));
        } else if (!changes.Switch(command, reader)) {
            reader.Print(AnswerLines(m_session.Run(line)));
        }
    }
}

void LocalShell::CloseConsole(LineReader& reader) {
    reader.Print({"closing the console"});
    if (m_session.CloseConsole()) {
        return;
    }
    reader.Print({"the console did not end after its windows were closed"});
    if (!ConsoleEnded()) {
        // The application's thread is stuck: nothing else would end the process.
        reader.Finish(); // puts the terminal back
        std::fflush(stdout);
        std::_Exit(2);
    }
    m_status = 2;
}

int RunAttachedShell(long pid, const std::string& program) {
    ConsoleSocket console;
    if (!FindConsole(pid, program, console)) {
        return 2;
    }
    ControlClient client;
    std::string error;
    if (!client.Connect(console.path, error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), WithoutControls(error).c_str());
        return 2;
    }
    LineReader reader(
        "kobalt(" + std::to_string(console.pid) + ")> ",
        [&client](const std::string& line) { return CompleteAttachedLine(client, line); });
    return SendCommands(client, reader);
}

} // namespace kobalt::shell
