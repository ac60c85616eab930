#include "frontend/terminal/Terminal.h"

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>
#include <term.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <langinfo.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

// curses.h defines these as macros; the screen size is read through Terminal::Size.
#undef lines
#undef columns

namespace kobalt::terminal {

namespace {

// What a signal handler needs to put the terminal back, set before the handlers go in. All
// constant-initialised: a signal may come during static initialisation.
struct termios g_savedModes;
char g_restoreBytes[512];
std::size_t g_restoreLength = 0;
std::atomic<bool> g_active{false};
bool g_atExitRegistered = false;

constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV,
                                 SIGBUS, SIGFPE,  SIGILL, SIGABRT};
struct sigaction g_previousActions[std::size(kFatalSignals)];
struct sigaction g_previousStop;

// Mouse reporting off in every protocol ncurses may have switched on.
constexpr const char* kMouseOff = "\033[?1006l\033[?1003l\033[?1002l\033[?1000l";

void WriteAll(const char* bytes, std::size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, bytes, length);
        if (written <= 0) {
            return;
        }
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
}

void OnFatalSignal(int signal) {
    Terminal::Restore();
    // The handler was installed with SA_RESETHAND: the default action follows.
    ::raise(signal);
}

// A terminfo string capability without its padding ("$<5>"), appended to `out`.
void AppendCapability(std::string& out, const char* name) {
    const char* value = tigetstr(name);
    if (value == nullptr || value == reinterpret_cast<const char*>(-1)) {
        return;
    }
    for (const char* p = value; *p != '\0'; ++p) {
        if (p[0] == '$' && p[1] == '<') {
            if (const char* end = std::strchr(p, '>')) {
                p = end;
                continue;
            }
        }
        out += *p;
    }
}

// The terminal's type when standard input and output are a terminal of a known type; null with
// the reason in `error` when not.
const char* TerminalType(std::string& error) {
    if (::isatty(STDIN_FILENO) == 0 || ::isatty(STDOUT_FILENO) == 0) {
        error = "standard input and output are not a terminal";
        return nullptr;
    }
    const char* type = std::getenv("TERM");
    if (type == nullptr || *type == '\0') {
        error = "TERM is not set";
        return nullptr;
    }
    return type;
}

// Our handlers go in first: ncurses leaves signals alone that already have one. A stop from
// outside would leave the screen to a shell while our thread draws on, so it is ignored.
void InstallSignalHandlers() {
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
        struct sigaction action {};
        action.sa_handler = OnFatalSignal;
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(kFatalSignals[i], &action, &g_previousActions[i]);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGTSTP, &ignore, &g_previousStop);
}

void RestoreSignalHandlers() {
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
        ::sigaction(kFatalSignals[i], &g_previousActions[i], nullptr);
    }
    ::sigaction(SIGTSTP, &g_previousStop, nullptr);
}

// Sets what Terminal::Restore writes, for a signal or the process's exit while the screen is
// ours: mouse reporting off, plain attributes, the cursor, the keypad and the screen back.
void ArmRestore() {
    std::string restore = kMouseOff;
    AppendCapability(restore, "sgr0");
    AppendCapability(restore, "cnorm");
    AppendCapability(restore, "rmkx");
    AppendCapability(restore, "rmcup");
    g_restoreLength = std::min(restore.size(), sizeof g_restoreBytes);
    std::memcpy(g_restoreBytes, restore.data(), g_restoreLength);
    if (!g_atExitRegistered) {
        g_atExitRegistered = std::atexit([] { Terminal::Restore(); }) == 0;
    }
    g_active.store(true);
}

bool IsLineDrawing(char32_t ch) {
    switch (ch) {
    case U'\u2500':
    case U'\u2502':
    case U'\u250C':
    case U'\u2510':
    case U'\u2514':
    case U'\u2518':
    case U'\u2550':
    case U'\u2551':
    case U'\u2554':
    case U'\u2557':
    case U'\u255A':
    case U'\u255D':
    case U'\u2591':
    case U'\u2588':
        return true;
    default:
        return false;
    }
}

// The alternate character set stands in for line drawing where the locale is not UTF-8.
chtype AcsFor(char32_t ch) {
    switch (ch) {
    // The focused control's double lines have no stand-in: single ones, drawn bold.
    case U'\u2500':
    case U'\u2550':
        return ACS_HLINE;
    case U'\u2502':
    case U'\u2551':
        return ACS_VLINE;
    case U'\u250C':
    case U'\u2554':
        return ACS_ULCORNER;
    case U'\u2510':
    case U'\u2557':
        return ACS_URCORNER;
    case U'\u2514':
    case U'\u255A':
        return ACS_LLCORNER;
    case U'\u2518':
    case U'\u255D':
        return ACS_LRCORNER;
    case U'\u2591':
        return ACS_CKBOARD;
    case U'\u2588':
        return ACS_BLOCK;
    default:
        return static_cast<chtype>(ch < 0x80 ? ch : U'?');
    }
}

attr_t AttributesOf(const Style& style) {
    attr_t attributes = A_NORMAL;
    if (style.bold) {
        attributes |= A_BOLD;
    }
    if (style.dim) {
        attributes |= A_DIM;
    }
    if (style.reverse) {
        attributes |= A_REVERSE;
    }
    if (style.underline) {
        attributes |= A_UNDERLINE;
    }
    return attributes;
}

KeyEvent KeyOfCode(int code) {
    switch (code) {
    case KEY_BTAB:
        return {Key::BackTab, 0};
    case KEY_ENTER:
        return {Key::Enter, 0};
    case KEY_BACKSPACE:
        return {Key::Backspace, 0};
    case KEY_DC:
        return {Key::Delete, 0};
    case KEY_LEFT:
        return {Key::Left, 0};
    case KEY_RIGHT:
        return {Key::Right, 0};
    case KEY_UP:
        return {Key::Up, 0};
    case KEY_DOWN:
        return {Key::Down, 0};
    case KEY_HOME:
        return {Key::Home, 0};
    case KEY_END:
        return {Key::End, 0};
    case KEY_PPAGE:
        return {Key::PageUp, 0};
    case KEY_NPAGE:
        return {Key::PageDown, 0};
    default:
        break;
    }
    if (code == KEY_F(1)) {
        return {Key::F1, 0};
    }
    if (code == KEY_F(2)) {
        return {Key::F2, 0};
    }
    if (code == KEY_F(3)) {
        return {Key::F3, 0};
    }
    if (code == KEY_F(10)) {
        return {Key::F10, 0};
    }
    return {Key::Other, 0};
}

KeyEvent KeyOfChar(wint_t ch) {
    switch (ch) {
    case L'\t':
        return {Key::Tab, 0};
    case L'\r':
    case L'\n':
        return {Key::Enter, 0};
    case 0x1B:
        return {Key::Escape, 0};
    case 0x7F:
    case 0x08:
        return {Key::Backspace, 0};
    default:
        return {Key::Char, static_cast<char32_t>(ch)};
    }
}

// Adds a key read as a character. Alt-letter comes as Escape and the letter at once.
void AddCharacter(std::vector<InputEvent>& events, KeyEvent key) {
    auto* previous = events.empty() ? nullptr : std::get_if<KeyEvent>(&events.back());
    if (key.key == Key::Char && key.ch >= 0x20 && key.ch != 0x7F && previous != nullptr &&
        previous->key == Key::Escape) {
        key.alt = true;
        *previous = key;
    } else {
        events.push_back(key);
    }
}

// The mouse events curses has queued: a press and a release of the first button and the wheel
// (with Shift: sideways); the others are dropped.
void AddMouseEvents(std::vector<InputEvent>& events) {
    MEVENT event;
    while (getmouse(&event) == OK) {
        MouseEvent mouse;
        mouse.col = event.x;
        mouse.row = event.y;
        const bool shift = (event.bstate & BUTTON_SHIFT) != 0;
        if ((event.bstate & BUTTON1_PRESSED) != 0) {
            mouse.kind = MouseEvent::Kind::Press;
        } else if ((event.bstate & BUTTON1_RELEASED) != 0) {
            mouse.kind = MouseEvent::Kind::Release;
        } else if ((event.bstate & BUTTON4_PRESSED) != 0) {
            mouse.kind = shift ? MouseEvent::Kind::WheelLeft : MouseEvent::Kind::WheelUp;
        } else if ((event.bstate & BUTTON5_PRESSED) != 0) {
            mouse.kind = shift ? MouseEvent::Kind::WheelRight : MouseEvent::Kind::WheelDown;
        } else {
            continue;
        }
        events.push_back(mouse);
    }
}

} // namespace

Terminal::~Terminal() {
    Close();
}

void Terminal::PrepareProcess() {
    std::setlocale(LC_CTYPE, "");
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGWINCH);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void Terminal::Restore() {
    if (g_active.exchange(false)) {
        WriteAll(g_restoreBytes, g_restoreLength);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &g_savedModes);
    }
}

bool Terminal::Open(std::string& error) {
    if (m_open) {
        return true;
    }
    const char* type = TerminalType(error);
    if (type == nullptr) {
        return false;
    }
    m_utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    if (::tcgetattr(STDIN_FILENO, &g_savedModes) != 0) {
        error = std::string("cannot read the terminal's modes: ") + std::strerror(errno);
        return false;
    }
    sigset_t resize;
    sigemptyset(&resize);
    sigaddset(&resize, SIGWINCH);
    m_resizeFd = ::signalfd(-1, &resize, SFD_NONBLOCK | SFD_CLOEXEC);

    InstallSignalHandlers();
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (screen == nullptr) {
        error = std::string("cannot use the terminal type '") + type + "'";
        RestoreSignalHandlers();
        CloseResizeFd();
        return false;
    }
    m_screen = screen;
    set_term(screen);
    StartCurses();
    ArmRestore();

    m_size = ScreenSize{COLS, LINES};
    ReadSize();
    m_open = true;
    return true;
}

// Input as it comes, no echo, keys and the mouse decoded, the cursor hidden, colours when the
// terminal has them and NO_COLOR does not say otherwise.
void Terminal::StartCurses() {
    set_escdelay(25);
    raw();
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    curs_set(0);
    m_cursorShown = false;
    // Every mouse event is asked for, releases and other buttons too, and those not used are
    // dropped below: ncurses reads on, blocking, after an event outside the mask, and the
    // screen would then wait for the next key.
    mousemask(ALL_MOUSE_EVENTS, nullptr);
    mouseinterval(0);
    m_colourMode = ColourMode::Monochrome;
    if (std::getenv("NO_COLOR") == nullptr && has_colors() && start_color() == OK) {
        use_default_colors();
        m_colourMode = ColourMode::Colour;
    }
    m_pairs.clear();
}

void Terminal::CloseResizeFd() {
    if (m_resizeFd >= 0) {
        ::close(m_resizeFd);
        m_resizeFd = -1;
    }
}

void Terminal::Close() {
    if (!m_open) {
        return;
    }
    m_open = false;
    g_active.store(false);
    mousemask(0, nullptr);
    curs_set(1);
    endwin();
    // endwin leaves mouse reporting and the keypad's application mode to us.
    std::string after = kMouseOff;
    AppendCapability(after, "rmkx");
    AppendCapability(after, "cnorm");
    WriteAll(after.data(), after.size());
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_savedModes);
    delscreen(static_cast<SCREEN*>(m_screen));
    m_screen = nullptr;
    RestoreSignalHandlers();
    CloseResizeFd();
}

void Terminal::ReadSize() {
    struct winsize size {};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
        resize_term(size.ws_row, size.ws_col);
        clearok(curscr, TRUE);
    }
    m_size = ScreenSize{COLS, LINES};
}

Terminal::Input Terminal::Read(std::chrono::milliseconds timeout) {
    Input input;
    if (!m_open) {
        return input;
    }
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {m_resizeFd, POLLIN, 0}};
    const nfds_t count = m_resizeFd >= 0 ? 2 : 1;
    if (::poll(fds, count, static_cast<int>(timeout.count())) <= 0) {
        return input;
    }
    if (count > 1 && (fds[1].revents & POLLIN) != 0) {
        signalfd_siginfo info;
        while (::read(m_resizeFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        ReadSize();
        input.resized = true;
    }
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (fds[0].revents & POLLIN) == 0) {
        input.gone = true;
        return input;
    }
    if ((fds[0].revents & POLLIN) != 0) {
        ReadKeys(input);
    }
    return input;
}

// Everything curses has read: characters, keys, mouse events and its own resize notice.
void Terminal::ReadKeys(Input& input) {
    for (;;) {
        wint_t ch = 0;
        const int kind = wget_wch(stdscr, &ch);
        if (kind == ERR) {
            return;
        }
        if (kind == OK) {
            AddCharacter(input.events, KeyOfChar(ch));
            continue;
        }
        const int code = static_cast<int>(ch);
        if (code == KEY_RESIZE) {
            ReadSize();
            input.resized = true;
        } else if (code == KEY_MOUSE) {
            AddMouseEvents(input.events);
        } else if (const KeyEvent key = KeyOfCode(code); key.key != Key::Other) {
            input.events.push_back(key);
        }
    }
}

short Terminal::PairFor(Colour fg, Colour bg) {
    if (m_colourMode != ColourMode::Colour) {
        return 0;
    }
    const auto key = std::make_pair(static_cast<int>(fg), static_cast<int>(bg));
    if (const auto it = m_pairs.find(key); it != m_pairs.end()) {
        return it->second;
    }
    const auto pair = static_cast<short>(m_pairs.size() + 1);
    if (pair >= COLOR_PAIRS) {
        return 0;
    }
    init_pair(pair, static_cast<short>(fg), static_cast<short>(bg));
    m_pairs.emplace(key, pair);
    return pair;
}

void Terminal::DrawCell(int col, int row, const Cell& cell) {
    const Style style = StyleOf(cell.role, cell.flags, m_colourMode);
    const attr_t attributes = AttributesOf(style);
    const short pair = PairFor(style.fg, style.bg);
    if (!m_utf8) {
        // Without UTF-8 only ASCII and line drawing can be shown.
        mvaddch(row, col, AcsFor(cell.ch) | attributes | COLOR_PAIR(pair));
        if (cell.width == 2) {
            mvaddch(row, col + 1, static_cast<chtype>(' ') | attributes | COLOR_PAIR(pair));
        }
        return;
    }
    wchar_t text[4] = {static_cast<wchar_t>(cell.ch), 0, 0, 0};
    // Where the C library's width disagrees with ours, the character would shift the rest
    // of the line: it is drawn as '?' and the layout holds.
    if (!IsLineDrawing(cell.ch) && ::wcwidth(text[0]) != cell.width) {
        text[0] = L'?';
        cchar_t shown;
        setcchar(&shown, text, attributes, pair, nullptr);
        mvadd_wch(row, col, &shown);
        if (cell.width == 2) {
            text[0] = L' ';
            setcchar(&shown, text, attributes, pair, nullptr);
            mvadd_wch(row, col + 1, &shown);
        }
        return;
    }
    std::size_t used = 1;
    for (char32_t mark : cell.marks) {
        if (mark != 0 && ::wcwidth(static_cast<wchar_t>(mark)) == 0) {
            text[used++] = static_cast<wchar_t>(mark);
        }
    }
    cchar_t shown;
    setcchar(&shown, text, attributes, pair, nullptr);
    mvadd_wch(row, col, &shown);
}

void Terminal::Draw(const Frame& frame) {
    if (!m_open) {
        return;
    }
    const Grid& grid = frame.grid;
    const int rows = std::min(grid.Rows(), LINES);
    const int cols = std::min(grid.Cols(), COLS);
    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < cols; ++col) {
            const Cell& cell = grid.At(col, row);
            if (cell.width != 0) {
                DrawCell(col, row, cell);
            }
        }
    }
    if (frame.cursorVisible && frame.cursorRow < LINES && frame.cursorCol < COLS) {
        if (!m_cursorShown) {
            curs_set(1);
            m_cursorShown = true;
        }
        move(frame.cursorRow, frame.cursorCol);
    } else if (m_cursorShown) {
        curs_set(0);
        m_cursorShown = false;
    }
    wnoutrefresh(stdscr);
    doupdate();
}

} // namespace kobalt::terminal
