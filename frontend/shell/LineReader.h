// The shell's prompt. On a terminal: GNU readline through its callback interface, so that
// event lines can be printed above the prompt while a line is being typed, with Tab completion
// and history (kept in memory and, when a private state folder is at hand, in a file of mode
// 0600). Otherwise: plain lines from standard input, no prompt.
//
// One LineReader at a time in a process (readline's state is global); every call on one thread.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kobalt::shell {

class LineReader {
public:
    // The candidates for completing `line` (the line up to the cursor): where the word being
    // completed starts, and the words.
    using Completer =
        std::function<std::pair<std::size_t, std::vector<std::string>>(const std::string& line)>;

    LineReader(std::string prompt, Completer completer);
    ~LineReader(); // puts the terminal back and writes the history file
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // What the destructor does, at once: for a process about to end without unwinding.
    void Finish();

    bool Interactive() const { return m_interactive; }

    enum class Status { Line, Idle, End };
    // Waits up to `timeout` for a whole line: Line with it in `line`, Idle when none came, End
    // at the end of input (Ctrl-D on an empty line).
    Status Read(std::chrono::milliseconds timeout, std::string& line);
    // Prints whole lines above the prompt, keeping what is being typed.
    void Print(const std::vector<std::string>& lines);

    // The history file: $XDG_STATE_HOME/kobalt/shell-history, else
    // $HOME/.local/state/kobalt/shell-history; empty when neither variable is an absolute path.
    static std::string HistoryPath();

private:
    void Install();
    void Remove();

    std::string m_prompt;
    Completer m_completer;
    std::string m_line; // readline's, until Read hands it out
    bool m_interactive = false;
    bool m_installed = false;
    std::string m_historyPath; // empty: history in memory only
    std::string m_pending;     // plain mode: input not yet a whole line
    bool m_inputEnded = false;
};

} // namespace kobalt::shell
