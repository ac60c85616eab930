#include "frontend/FrontEnd.h"

#include "common/Utf8.h"
#include "frontend/common/CommandLine.h"
#include "frontend/common/ScriptText.h"
#include "frontend/common/StdStreams.h"
#include "frontend/monkey/MonkeyRunner.h"
#include "frontend/script/ScriptParser.h"
#include "frontend/script/ScriptRunner.h"
#include "frontend/shell/CommandSession.h"
#include "frontend/shell/ControlSocket.h"
#include "frontend/shell/Shell.h"
#include "frontend/terminal/TerminalFrontEnd.h"
#include "platform/Desktop.h"
#include "platform/DeviceServices.h"
#include "platform/InitOrder.h"
#include "sdk/SdkLibraryChoice.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#ifndef KOBALT_VERSION
#define KOBALT_VERSION "unknown"
#endif

namespace kobalt::frontend {

namespace {

constexpr int kDefaultScreenWidth = 800;
constexpr int kDefaultScreenHeight = 480;

[[noreturn]] void Exit(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(status);
}

std::vector<std::string> ReadCommandLine() {
    std::vector<std::string> args;
    std::FILE* file = std::fopen("/proc/self/cmdline", "rb");
    if (file == nullptr) {
        return args;
    }
    std::string arg;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        if (c == '\0') {
            args.push_back(std::move(arg));
            arg.clear();
        } else {
            arg += static_cast<char>(c);
        }
    }
    std::fclose(file);
    return args;
}

std::optional<std::string> ReadAll(const std::string& path) {
    const bool standardInput = path == "-";
    std::FILE* file = standardInput ? stdin : std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, n);
    }
    const bool failed = std::ferror(file) != 0;
    if (!standardInput) {
        std::fclose(file);
    }
    if (failed) {
        return std::nullopt;
    }
    return text;
}

// `text` with every byte that is not printable ASCII shown as '?', for the status line.
std::string PrintableAscii(std::string text) {
    for (char& c : text) {
        if (c < 0x20 || c > 0x7e) {
            c = '?';
        }
    }
    return text;
}

// Makes the SDK binding load the library `choice` names: "sim" the usual KOBALT.dll (beside the
// program, then ../lib/kobalt/), "bluez" the one in ../lib/kobalt/bluez/ from the program's
// folder (the build folder and the installed layout both have it there), else a path. Runs
// before the binding's static initialisation.
void ChooseSdkLibrary(const std::string& choice) {
    sdk::SdkLibraryChoice& chosen = sdk::ChosenSdkLibrary();
    chosen.label = PrintableAscii(choice);
    std::string path;
    if (choice == "bluez") {
        char exe[4096];
        const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
        const std::string program(exe, length > 0 ? static_cast<std::size_t>(length) : 0);
        path = program.substr(0, program.rfind('/') + 1) + "../lib/kobalt/bluez/KOBALT.dll";
    } else if (choice != "sim") {
        path = choice;
    }
    if (!path.empty()) {
        chosen.path = common::Utf8ToUtf16Replacing(path);
    }
}

class FrontEnd {
public:
    // Reads the command line and starts the operator; ends the process for --help, --version
    // and anything that keeps the script from running.
    FrontEnd();

    int Main(int (*application)());

private:
    // Starts the terminal front end, or ends the process when there is no terminal to use.
    void StartTerminal(const std::string& program);
    void StartMonkey(const script::CommandLine& line);
    void StartShell();

    // The terminal session's control socket and the commands it brings, which run on the
    // terminal front end's thread.
    struct Control {
        shell::ControlServer server;
        // The terminal is not redrawn while a command runs: a sleep is kept short.
        shell::CommandSession session{std::chrono::milliseconds(10000)};
    };

    std::unique_ptr<script::ScriptRunner> m_runner;
    std::unique_ptr<monkey::MonkeyRunner> m_monkey;
    std::unique_ptr<terminal::TerminalFrontEnd> m_terminal;
    std::unique_ptr<shell::LocalShell> m_shell;
    std::shared_ptr<Control> m_control;
};

FrontEnd::FrontEnd() {
    std::vector<std::string> args = ReadCommandLine();
    std::string program = "KOBALTDemo";
    if (!args.empty()) {
        const std::string& path = args.front();
        program = path.substr(path.find_last_of('/') + 1);
        args.erase(args.begin());
    }
    const script::CommandLine line = script::ParseCommandLine(args);
    ChooseSdkLibrary(line.sdk);
    switch (line.action) {
    case script::CommandLine::Action::Help:
        WriteStdout(script::UsageText(program));
        Exit(0);
    case script::CommandLine::Action::Version:
        WriteStdout(std::string("KOBALTDemo ") + KOBALT_VERSION +
                    "\nSDK library: " + sdk::ChosenSdkLibrary().label + "\n");
        Exit(0);
    case script::CommandLine::Action::Error:
        WriteStderr(program + ": " + line.error + " (see --help)\n");
        Exit(2);
    case script::CommandLine::Action::Interactive:
        StartTerminal(program);
        return;
    case script::CommandLine::Action::Monkey:
        StartMonkey(line);
        return;
    case script::CommandLine::Action::Shell:
        StartShell();
        return;
    case script::CommandLine::Action::Attach:
        // A client only: it ends before the console's statics start.
        Exit(shell::RunAttachedShell(line.attachPid, program));
    case script::CommandLine::Action::Script:
        break;
    }

    const std::string name = line.scriptPath == "-" ? "<stdin>" : line.scriptPath;
    const std::optional<std::string> text = ReadAll(line.scriptPath);
    if (!text) {
        WriteStderr(program + ": cannot read the script " + name + "\n");
        Exit(2);
    }
    script::ParsedScript parsed = script::ParseScript(*text);
    std::vector<script::ParseError> errors = std::move(parsed.errors);
    if (!errors.empty()) {
        for (const script::ParseError& error : errors) {
            WriteStderr(name + ':' + std::to_string(error.line) + ": " + error.message + "\n");
        }
        Exit(2);
    }

    desktop::SetScreenSize(kDefaultScreenWidth, kDefaultScreenHeight);
    device::SetDebugSink(
        [](const std::u16string& debugLine) { WriteStderr(script::Printable(debugLine) + "\n"); });

    script::RunnerOptions options;
    options.scriptName = name;
    options.onConsoleStuck = [](script::RunStatus status) {
        // The application's thread is stuck: nothing else would end the process.
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(static_cast<int>(status));
    };
    m_runner =
        std::make_unique<script::ScriptRunner>(std::move(parsed.commands), std::move(options));
    m_runner->Start();
}

void FrontEnd::StartMonkey(const script::CommandLine& line) {
    constexpr std::uint64_t kDefaultSteps = 200;
    desktop::SetScreenSize(kDefaultScreenWidth, kDefaultScreenHeight);
    device::SetDebugSink(
        [](const std::u16string& debugLine) { WriteStderr(script::Printable(debugLine) + "\n"); });
    monkey::MonkeyOptions options;
    options.seed = line.monkeySeed;
    options.steps = line.monkeySteps;
    options.duration = std::chrono::seconds(line.monkeyDurationSeconds);
    if (options.steps == 0 && options.duration.count() == 0) {
        options.steps = kDefaultSteps;
    }
    m_monkey = std::make_unique<monkey::MonkeyRunner>(std::move(options));
    m_monkey->Start();
}

void FrontEnd::StartShell() {
    desktop::SetScreenSize(kDefaultScreenWidth, kDefaultScreenHeight);
    // Debug lines are kept (device::DebugLines) and printed by the shell on request: nothing
    // else may write over the prompt.
    device::SetDebugSink([](const std::u16string&) {});
    m_shell = std::make_unique<shell::LocalShell>();
    m_shell->Start();
}

void FrontEnd::StartTerminal(const std::string& program) {
    const char* missing = isatty(STDIN_FILENO) == 0    ? "standard input"
                          : isatty(STDOUT_FILENO) == 0 ? "standard output"
                                                       : nullptr;
    if (missing != nullptr) {
        WriteStderr(program + ": " + missing +
                    " is not a terminal;\n"
                    "play the console from a script with: " +
                    program + " --script FILE (see --help)\n");
        Exit(2);
    }
    auto control = std::make_shared<Control>();
    terminal::TerminalFrontEnd::Options options;
    options.onTick = [control] {
        control->server.Drain(
            [&control](const std::string& line) { return control->session.Run(line); });
    };
    m_terminal = std::make_unique<terminal::TerminalFrontEnd>(options);
    std::string error;
    if (!m_terminal->Start(error)) {
        WriteStderr(program + ": " + error + "; play the console from a script with: " + program +
                    " --script FILE\n");
        Exit(2);
    }
    // After the terminal is set up, which wants no other thread yet. Without a socket the
    // session simply cannot be attached to.
    std::string socketError;
    if (control->server.Open(socketError)) {
        m_control = std::move(control);
    }
}

int FrontEnd::Main(int (*application)()) {
    const int result = application();
    if (m_terminal) {
        if (m_control) {
            m_control->session.NotifyConsoleEnded();
        }
        m_terminal->NotifyConsoleEnded();
        const int status = m_terminal->Wait();
        m_control.reset();
        return status;
    }
    if (m_shell) {
        m_shell->NotifyConsoleEnded();
        const int status = m_shell->Wait();
        std::fflush(stdout);
        std::fflush(stderr);
        return status;
    }
    if (m_monkey) {
        m_monkey->NotifyConsoleEnded();
        const monkey::MonkeyStatus status = m_monkey->Wait();
        std::fflush(stdout);
        std::fflush(stderr);
        return static_cast<int>(status);
    }
    if (!m_runner) {
        return result;
    }
    m_runner->NotifyConsoleEnded();
    const script::RunStatus status = m_runner->Wait();
    std::fflush(stdout);
    std::fflush(stderr);
    return static_cast<int>(status);
}

FrontEnd g_frontEnd KOBALT_INIT_ORDER(KOBALT_INIT_FRONTEND);

} // namespace

int Main(int (*application)()) {
    return g_frontEnd.Main(application);
}

} // namespace kobalt::frontend
