// The operator shell: the script language typed at a prompt.
//
// LocalShell works the console of its own process (`--shell`) from a thread of its own: each
// line runs as a script command; what changes on the desktop is printed as event lines above
// the prompt (DesktopEvents.h), and so, after `debug on`, is the console's debug output.
// `quit` (or the end of input) closes the console as a finished script does.
//
// RunAttachedShell (`--shell --attach [PID]`) sends each line to the control socket of a
// console running with the terminal front end and prints the answers.
#pragma once

#include "frontend/shell/CommandSession.h"

#include <atomic>
#include <string>
#include <thread>

namespace kobalt::shell {

class LineReader;

class LocalShell {
public:
    LocalShell() = default;
    ~LocalShell();
    LocalShell(const LocalShell&) = delete;
    LocalShell& operator=(const LocalShell&) = delete;

    void Start();
    // The console has ended: the shell stops reading and returns from Wait.
    void NotifyConsoleEnded();
    // Joins the shell's thread; the process's exit status.
    int Wait();

private:
    class ChangePrinter;

    void Run();
    void ReadCommands(LineReader& reader, ChangePrinter& changes);
    void CloseConsole(LineReader& reader);
    bool ConsoleEnded() const { return m_consoleEnded.load(std::memory_order_acquire); }

    std::atomic<bool> m_consoleEnded{false};
    CommandSession m_session; // used on the shell's thread; told of the end from any
    int m_status = 0;         // written by the thread, read after joining it
    std::thread m_thread;
};

// Exit status: 0 every command answered ok, 1 one or more did not, 2 no console to attach to
// or the connection broke.
int RunAttachedShell(long pid, const std::string& program);

// The shell's own commands and their one-line help, for `help`.
std::string ShellHelp(bool attached);

} // namespace kobalt::shell
