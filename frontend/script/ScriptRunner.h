// Plays a parsed script as the operator, on a thread of its own, through the desktop only.
//
// Actions go to the active window (the topmost that takes input). Each waits up to the
// expectation time-out for its target to appear; a target that is there but disabled or of the
// wrong kind stops the run at once. Expectations wait for their condition up to the time-out,
// except `expect nodebug`, which must hold when it is reached. At the end, or after the first
// failure, the runner closes the console as an operator would: it answers message boxes with OK
// and closes the other windows from the top until the console has ended and no window is left.
#pragma once

#include "frontend/script/ScriptParser.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kobalt::script {

// Also the process's exit status.
enum class RunStatus { Passed = 0, ExpectationFailed = 1, NotCarriedOut = 2 };

struct RunnerOptions {
    std::string scriptName = "script";             // reports name lines as NAME:LINE
    std::chrono::milliseconds expectTimeout{5000}; // real time an expectation or target waits
    std::chrono::milliseconds settleTimeout{2000}; // real time allowed for input to be handled
    std::chrono::milliseconds endTimeout{15000};   // real time allowed for closing the console
    std::function<void(std::string_view)> out;     // dumps; standard output when empty
    std::function<void(std::string_view)> err;     // reports; standard error when empty
    // Called on the runner's thread when the console is still running after the end time-out,
    // so the thread that waits for it will never return: the process must end from here.
    std::function<void(RunStatus)> onConsoleStuck;
};

class ScriptRunner {
public:
    ScriptRunner(std::vector<Command> commands, RunnerOptions options);
    ~ScriptRunner(); // waits for the thread
    ScriptRunner(const ScriptRunner&) = delete;
    ScriptRunner& operator=(const ScriptRunner&) = delete;

    void Start();
    // The console has ended: waits give up early and the closing phase may finish.
    void NotifyConsoleEnded();
    // Joins the thread started by Start.
    RunStatus Wait();

    // One command, on the caller's thread, for front ends that take commands one at a time
    // (the shell, the control socket) and never Start the runner. Output (dumps, phone reports)
    // goes to `out`; a failure comes back as its status and detail lines.
    struct Outcome {
        RunStatus status = RunStatus::Passed;
        std::vector<std::string> details;
    };
    Outcome RunCommand(const Command& command);
    // Closes the console as at the end of a run, on the caller's thread; true when it has ended
    // with no window left.
    bool CloseConsoleWindows();

private:
    struct Failure;
    enum class Ending { Ended, WindowsLeft, ConsoleStuck };

    void Run();
    std::optional<Failure> Execute(const Command& command);
    std::optional<Failure> Act(const Command& command);
    std::optional<Failure> Pause(const Command& command);
    std::optional<Failure> Power(const Command& command);
    std::optional<Failure> Dump(const Command& command);
    std::optional<Failure> ExpectOnDesktop(const Command& command);
    std::optional<Failure> ExpectDebug(const Command& command);
    std::optional<Failure> ExpectNoDebug(const Command& command);
    std::optional<Failure> ExpectAudio(const Command& command);
    std::optional<Failure> Phone(const Command& command);
    std::optional<Failure> ExpectPhone(const Command& command);
    Ending CloseConsole();
    void Report(const Command& command, const Failure& failure);
    bool ConsoleEnded() const { return m_consoleEnded.load(std::memory_order_acquire); }

    std::vector<Command> m_commands;
    RunnerOptions m_options;
    std::atomic<bool> m_consoleEnded{false};
    RunStatus m_status = RunStatus::Passed; // written by the thread, read after joining it
    std::thread m_thread;
};

} // namespace kobalt::script
