// The terminal the operator sits at, through ncursesw: keys, mouse, resizes and drawing.
//
// All calls but Restore come from one thread, the front end's. While the terminal is open, a
// crash or termination signal (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE,
// SIGILL, SIGABRT) first puts the terminal back as it was, then takes its usual course; so
// does leaving the process through exit().
#pragma once

#include "frontend/terminal/InputMapper.h"
#include "frontend/terminal/Layout.h"
#include "frontend/terminal/Palette.h"
#include "frontend/terminal/Renderer.h"

#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace kobalt::terminal {

using InputEvent = std::variant<KeyEvent, MouseEvent>;

class Terminal {
public:
    Terminal() = default;
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Call on the main thread before any other thread exists. Takes the character set from the
    // environment (LC_CTYPE), and blocks SIGWINCH in the calling thread and so in every thread
    // it starts afterwards: the terminal's thread reads resizes from a signal descriptor.
    static void PrepareProcess();

    // Takes over standard input and output: alternate screen, raw keys, keypad, mouse,
    // colours. False, with the reason in `error`, when they are no usable terminal.
    bool Open(std::string& error);
    // Puts the terminal back as it was. Safe to call when not open.
    void Close();
    bool IsOpen() const { return m_open; }

    ScreenSize Size() const { return m_size; }

    struct Input {
        std::vector<InputEvent> events;
        bool resized = false; // Size() has changed
        bool gone = false;    // the terminal is gone
    };
    // Waits up to `timeout` for keys, the mouse or a resize, and returns what came.
    Input Read(std::chrono::milliseconds timeout);

    void Draw(const Frame& frame);

    // Restores the terminal at once, from anywhere (signal handlers included), when open.
    static void Restore();

private:
    void StartCurses();
    void CloseResizeFd();
    void ReadSize();
    void ReadKeys(Input& input);
    short PairFor(Colour fg, Colour bg);
    void DrawCell(int col, int row, const Cell& cell);

    bool m_open = false;
    bool m_utf8 = false;
    ColourMode m_colourMode = ColourMode::Monochrome;
    int m_resizeFd = -1;
    void* m_screen = nullptr; // SCREEN*
    ScreenSize m_size;
    std::map<std::pair<int, int>, short> m_pairs; // (fg, bg) -> colour pair
    bool m_cursorShown = false;
};

} // namespace kobalt::terminal
