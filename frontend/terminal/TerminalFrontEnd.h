// The operator at a terminal: draws the desktop and turns keys and the mouse into input.
//
// One thread of its own owns the terminal. It redraws when the desktop, the event log or the
// device's indicators change (it looks every tick, whatever the last input was), and handles
// each key or click against a fresh snapshot, waiting briefly for the console to take it before
// the next. Quitting (F10, Ctrl-Q, the main window's close box) first asks "Quit KOBALTDemo? y/n"
// while the stack is started or a call is up (QuitNeedsConfirmation); it closes the windows
// from the top, as an operator would with the close boxes, until the console has ended; then
// the terminal is put back. F1 shows the keys of the window on top until the next key.
#pragma once

#include "frontend/terminal/EventLog.h"
#include "frontend/terminal/EventLogView.h"
#include "frontend/terminal/Renderer.h"
#include "frontend/terminal/Terminal.h"
#include "frontend/terminal/TraceSource.h"
#include "platform/Desktop.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>

namespace kobalt::terminal {

class TerminalFrontEnd {
public:
    struct Options {
        std::chrono::milliseconds tick{20};          // longest wait before looking for changes
        std::chrono::milliseconds settle{300};       // input handled before the next key
        std::chrono::milliseconds closeRetry{1000};  // a window asked to close, asked again
        std::chrono::milliseconds endTimeout{15000}; // quitting: the console must end by then
        // Work handed to the front end's thread by other threads (the control socket's
        // commands), run once a tick while the console is not being closed.
        std::function<void()> onTick;
    };

    TerminalFrontEnd() : TerminalFrontEnd(Options{}) {}
    explicit TerminalFrontEnd(Options options);
    ~TerminalFrontEnd();
    TerminalFrontEnd(const TerminalFrontEnd&) = delete;
    TerminalFrontEnd& operator=(const TerminalFrontEnd&) = delete;

    // Call on the main thread before any other thread exists and before the SDK library is
    // loaded: takes the debug output and the SDK's trace into the event log, opens the terminal
    // on the front end's thread and returns once it draws. False with the reason
    // in `error` when the terminal cannot be used.
    bool Start(std::string& error);
    // The console has ended: the front end closes what is left, puts the terminal back and
    // returns from Wait.
    void NotifyConsoleEnded();
    // Joins the front end's thread; the process's exit status.
    int Wait();

private:
    // What was typed into an edit and not yet handled by its owner: the next key builds on it.
    struct EditEcho {
        HWND edit = nullptr;
        std::u16string text;
        int caret = 0;
    };

    // The front end's own panel over the desktop, which takes the next key.
    enum class Overlay { None, Keys, QuitPrompt };

    void Run(std::promise<std::string> opened);
    // A key or click while a panel shows; true when it was the panel's.
    bool HandleOverlay(const InputEvent& event);
    void Quit(const desktop::Snapshot& snapshot);
    void Interrupt();
    void Loop();
    void Handle(const InputEvent& event);
    void Execute(const std::vector<Action>& actions, const desktop::Snapshot& snapshot);
    static void FollowEdit(std::optional<EditEcho>& echo, const Action& action,
                           const desktop::Snapshot& snapshot);
    void ApplyOwn(const Action& action, const desktop::Snapshot& snapshot);
    void ScrollDebug(int lines);
    void Redraw(const StatusInfo& status);
    void BeginClosing();
    // One step of closing the console; true when it is done.
    bool StepClosing();
    [[noreturn]] void EndNow(int signal);
    desktop::SnapshotOptions SnapshotLines() const;

    Options m_options;
    EventLog m_log;
    TraceSource m_trace{m_log}; // declared after m_log: stops reading before the log goes
    std::atomic<bool> m_consoleEnded{false};
    std::thread m_thread;

    // The front end's thread only.
    Terminal m_terminal;
    UiState m_ui;
    std::optional<EditEcho> m_echo;
    Overlay m_overlay = Overlay::None;
    bool m_terminalGone = false; // standard input hung up: nothing more to read or draw
    bool m_closing = false;
    std::chrono::steady_clock::time_point m_closeDeadline;
    HWND m_closeTarget = nullptr;
    std::chrono::steady_clock::time_point m_closeAsked;
    std::uint64_t m_drawnVersion = 0;
    EventLogView m_logView;
    std::uint64_t m_drawnLogVersion = 0;
    StatusInfo m_drawnStatus;
    bool m_dirty = true;
};

} // namespace kobalt::terminal
