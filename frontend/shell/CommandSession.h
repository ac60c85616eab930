// Script commands run one line at a time, on the caller's thread: the shell's and the control
// socket's way of working the console. The caller's thread must be free to wait (up to the
// expectation time-out) and must not own a window.
#pragma once

#include "frontend/script/ScriptRunner.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::shell {

// Appends the lines of `text` (split at newlines; a last newline ends the last line).
void AppendLines(const std::string& text, std::vector<std::string>& lines);

struct Answer {
    bool ok = true;
    std::string error;               // the first line of a failure
    std::vector<std::string> output; // dump and phone reports, then a failure's details
};

class CommandSession {
public:
    // `longestSleep`: a `sleep` beyond it is refused, for sessions whose thread must not stay
    // away long (the terminal front end's).
    explicit CommandSession(
        std::chrono::milliseconds longestSleep = std::chrono::milliseconds::max());
    CommandSession(const CommandSession&) = delete;
    CommandSession& operator=(const CommandSession&) = delete;

    // One line of the script language. A blank or comment line is answered ok.
    Answer Run(std::string_view line);
    void NotifyConsoleEnded() { m_runner.NotifyConsoleEnded(); }
    // Closes the console as a finished script does; true when it has ended.
    bool CloseConsole() { return m_runner.CloseConsoleWindows(); }

private:
    std::chrono::milliseconds m_longestSleep;
    std::string m_output; // what the running command printed
    script::ScriptRunner m_runner;
};

} // namespace kobalt::shell
