#include "frontend/terminal/EventLogView.h"

#include "frontend/common/Utf8.h"
#include "frontend/terminal/TextCells.h"

#include <algorithm>
#include <array>

namespace kobalt::terminal {

namespace {

constexpr std::size_t kMaxInput = 1024; // characters typed at a prompt
constexpr std::u16string_view kHelp = u"/ search  n/N next/previous  s save  Esc back";

std::u16string Wide(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string Wide(std::size_t number) {
    return Wide(std::to_string(number));
}

void TakeBack(std::u16string& text) {
    if (text.empty()) {
        return;
    }
    text.pop_back();
    if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
        text.pop_back();
    }
}

} // namespace

std::string DefaultSavePath(std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    std::array<char, 64> name{};
    std::strftime(name.data(), name.size(), "kobalt-events-%Y%m%d-%H%M%S.log", &local);
    return name.data();
}

std::size_t TopLine(std::size_t total, int rows, std::size_t back) {
    const auto shown = static_cast<std::size_t>(std::max(rows, 0));
    const std::size_t end = total - std::min(back, total);
    return end > shown ? end - shown : 0;
}

std::size_t BackShowing(std::size_t line, std::size_t total, int rows, std::size_t back) {
    if (line >= total) {
        return back;
    }
    const auto shown = static_cast<std::size_t>(std::max(rows, 1));
    const std::size_t top = TopLine(total, rows, back);
    if (line >= top && line < top + shown && line < total - std::min(back, total)) {
        return back;
    }
    // The line in the middle of the view, as far as the log reaches either way.
    const std::size_t end = std::min(total, line + 1 + (shown - 1) / 2);
    const std::size_t wanted = total - std::max(end, std::min(shown, total));
    return wanted;
}

EventLogView::Outcome EventLogView::Key(const KeyEvent& key, const EventLog& log, std::size_t top) {
    Outcome outcome;
    if (key.key == Key::F2 || key.key == Key::F3 || key.key == Key::F10) {
        return outcome;
    }
    const bool control = key.key == Key::Char && Classify(key.ch) == CharClass::Control;
    if (m_prompt != Prompt::None) {
        if (control) {
            return outcome; // Ctrl-C, Ctrl-G, ... keep their meaning
        }
        outcome.handled = true;
        switch (key.key) {
        case Key::Char:
            if (Classify(key.ch) != CharClass::Format && m_input.size() < kMaxInput) {
                frontend::AppendUtf16(m_input, key.ch);
            }
            break;
        case Key::Backspace:
            TakeBack(m_input);
            break;
        case Key::Escape:
            Reset();
            break;
        case Key::Enter: {
            const Prompt prompt = m_prompt;
            std::u16string input = std::move(m_input);
            Reset();
            if (prompt == Prompt::Search) {
                if (!input.empty()) {
                    m_pattern = std::move(input);
                    m_match.reset();
                }
                Search(log, top, true, outcome);
            } else {
                const std::string path = LineUtf8(input);
                const EventLog::Saved saved = log.Save(path);
                m_message = saved.ok ? u"Saved " + Wide(saved.lines) + u" lines to " + input
                                     : u"Cannot save to " + input + u": " + Wide(saved.error);
            }
            break;
        }
        default:
            break;
        }
        return outcome;
    }
    // What the last search or save said stays until the next key.
    m_message.clear();
    if (key.key != Key::Char || control) {
        return outcome;
    }
    switch (key.ch) {
    case U'/':
        m_prompt = Prompt::Search;
        m_input.clear();
        break;
    case U'n':
    case U'N':
        Search(log, top, key.ch == U'n', outcome);
        break;
    case U's':
        m_prompt = Prompt::Save;
        m_input = Wide(DefaultSavePath(std::time(nullptr)));
        break;
    default:
        return outcome;
    }
    outcome.handled = true;
    return outcome;
}

void EventLogView::Search(const EventLog& log, std::size_t top, bool forward, Outcome& outcome) {
    outcome.handled = true;
    if (m_pattern.empty()) {
        m_message = u"Nothing searched for yet: / starts a search";
        return;
    }
    const std::uint64_t dropped = log.Dropped();
    const std::size_t count = log.Count();
    if (count == 0) {
        m_message = u"Not found: " + m_pattern;
        return;
    }
    std::size_t start = std::min(top, count - 1);
    std::optional<std::size_t> current;
    if (m_match && *m_match >= dropped && *m_match - dropped < count) {
        current = static_cast<std::size_t>(*m_match - dropped);
        start = forward ? (*current + 1) % count : (*current + count - 1) % count;
    } else if (!forward) {
        start = top == 0 ? count - 1 : std::min(top, count) - 1;
    }
    const std::optional<std::size_t> found = log.Find(m_pattern, start, forward);
    if (!found) {
        m_match.reset();
        m_message = u"Not found: " + m_pattern;
        return;
    }
    m_match = dropped + *found;
    outcome.show = *found;
    const bool wrapped = current ? (forward ? *found <= *current : *found >= *current)
                                 : (forward ? *found < start : *found > start);
    m_message = u"Line " + Wide(*found + 1) + u" of " + Wide(count) + u": " + m_pattern +
                (wrapped ? u"  (search wrapped)" : u"");
}

void EventLogView::Decorate(DebugWindow& window) const {
    switch (m_prompt) {
    case Prompt::Search:
        window.bottom = u"Search: " + m_input;
        break;
    case Prompt::Save:
        window.bottom = u"Save to: " + m_input;
        break;
    case Prompt::None:
        window.bottom = m_message.empty() ? std::u16string(kHelp) : m_message;
        break;
    }
    window.prompting = m_prompt != Prompt::None;
    if (m_pattern.empty()) {
        return;
    }
    for (std::size_t i = 0; i < window.lines.size(); ++i) {
        for (const auto& [from, length] : FindAll(window.lines[i], m_pattern)) {
            window.matches.push_back(DebugMatch{i, from, length});
        }
    }
}

void EventLogView::Reset() {
    m_prompt = Prompt::None;
    m_input.clear();
}

} // namespace kobalt::terminal
