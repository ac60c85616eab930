// What the operator does in the event log view beyond scrolling: search and save.
//
// `/` opens a search prompt on the view's bottom line; Enter finds the next line holding the
// text, `n` and `N` the next and previous; every occurrence on screen is highlighted. `s` opens
// a prompt for the file to save the log to, filled with a name in the current folder made from
// the time. Esc cancels a prompt, Backspace takes back a character. The outcome of each step
// (not found, saved, cannot save) stays on the bottom line until the next.
#pragma once

#include "frontend/terminal/EventLog.h"
#include "frontend/terminal/InputMapper.h"
#include "frontend/terminal/Renderer.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace kobalt::terminal {

class EventLogView {
public:
    struct Outcome {
        bool handled = false;            // the key was the view's
        std::optional<std::size_t> show; // a line of the log to bring into view
    };

    // A key while the view is shown; `top` is the first line on screen. Keys the view does not
    // take (scrolling, F-keys, control keys outside a prompt) are left to the input mapper.
    Outcome Key(const KeyEvent& key, const EventLog& log, std::size_t top);

    // Adds what the view draws over the log's lines: the highlighted occurrences and the bottom
    // line.
    void Decorate(DebugWindow& window) const;

    // The view was closed: a prompt being typed is dropped.
    void Reset();

    bool Prompting() const { return m_prompt != Prompt::None; }

private:
    enum class Prompt { None, Search, Save };

    void Search(const EventLog& log, std::size_t top, bool forward, Outcome& outcome);

    Prompt m_prompt = Prompt::None;
    std::u16string m_input;               // what has been typed at the prompt
    std::u16string m_pattern;             // the last text searched for
    std::optional<std::uint64_t> m_match; // the current match, counted from the first line ever
    std::u16string m_message;             // the outcome of the last step
};

// The default file to save the log to: "kobalt-events-YYYYMMDD-HHMMSS.log" at local `when`.
std::string DefaultSavePath(std::time_t when);

// Lines back from the newest that show `line` of `total` in a view of `rows` rows: `back`
// itself when it shows the line already, else the line in the middle of the view.
std::size_t BackShowing(std::size_t line, std::size_t total, int rows, std::size_t back);

// The first line a view of `rows` rows shows when scrolled `back` lines from the newest.
std::size_t TopLine(std::size_t total, int rows, std::size_t back);

} // namespace kobalt::terminal
