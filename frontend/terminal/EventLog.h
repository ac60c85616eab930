// The event log the F3 view shows: every SDK entry-point call with its arguments and result,
// every callback the SDK made (both from the SDK library's live trace), and the console's
// debug lines, each with the time it was made, oldest first.
//
// Lines come from any thread (the SDK's, the console's); the front end reads them on its own.
// Memory is bounded: the log keeps the newest kEventLogCapacity lines, each cut to
// kEventLineLimit characters. Text from outside is escaped when it is added (control and format
// characters as \xNN or \uNNNN, bytes that are not UTF-8 as \xNN), so the lines are safe to
// draw and to save.
#pragma once

#include "frontend/terminal/Renderer.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kobalt::terminal {

inline constexpr std::size_t kEventLogCapacity = 10000; // lines kept; older ones are dropped
inline constexpr std::size_t kEventLineLimit = 1000;    // characters of a line's escaped text

class EventLog {
public:
    using Clock = std::chrono::steady_clock;

    explicit EventLog(std::size_t capacity = kEventLogCapacity);

    // A line of the SDK library's trace, made at `when` (UTF-8, from outside). A call whose
    // result is a failure by the SDK's conventions is marked FAIL.
    void AddTrace(Clock::time_point when, std::string_view line);
    // A line of the console's debug output.
    void AddDebug(Clock::time_point when, std::u16string_view line);

    std::size_t Count() const;
    // Changes with every line added, also once the log is full.
    std::uint64_t Version() const;
    // Lines dropped from the oldest end so far: line i now was line i + Dropped() of all.
    std::uint64_t Dropped() const;

    // The lines a view of `rows` rows shows when scrolled `back` lines from the newest.
    DebugWindow Window(int rows, std::size_t back) const;
    std::vector<std::u16string> Lines() const;

    // The first line holding `pattern` (ASCII letters in either case) from line `start` on,
    // forward or backward, wrapping around at either end; none when no line holds it.
    std::optional<std::size_t> Find(std::u16string_view pattern, std::size_t start,
                                    bool forward) const;

    struct Saved {
        bool ok = false;
        std::size_t lines = 0;
        std::string error; // why not, when !ok
    };
    // Writes the log to `path` as UTF-8, one line each: a regular file, created readable and
    // writable by its owner only; a symbolic link, FIFO or device is refused.
    Saved Save(const std::string& path) const;

private:
    struct Entry {
        Clock::time_point when;
        std::u16string text; // "HH:MM:SS.mmm MARK text", escaped and cut
    };

    void Add(Clock::time_point when, std::u16string_view mark, std::u16string escaped);
    std::u16string Stamp(Clock::time_point when) const;

    const std::size_t m_capacity;
    // Wall-clock time of m_steadyBase, to show steady times as times of day.
    const std::chrono::system_clock::time_point m_wallBase;
    const Clock::time_point m_steadyBase;

    mutable std::mutex m_lock;
    std::deque<Entry> m_entries; // oldest first, at most m_capacity
    std::uint64_t m_added = 0;
    std::uint64_t m_dropped = 0;
};

// A trace line's text made safe: see the header comment.
std::u16string EscapeEventText(std::string_view utf8);
std::u16string EscapeEventText(std::u16string_view text);

// The UTF-8 form of a line, or of a path typed at a prompt: a lone surrogate (a typed one) is
// written as its three bytes.
std::string LineUtf8(std::u16string_view text);

// Whether a trace line "KOBALT_X(args) = result" reports a failure: results are 0 for success
// and anything else for failure, except for entry points that answer a value: a boolean
// (KOBALT_IsConnected: never a failure), an audio status (0 or 1) or a count, level or port
// (a failure when negative). Callbacks and other lines are not calls.
bool IsFailedCall(std::string_view line);

// Where `pattern` occurs in `line`, ASCII letters in either case: (start, length) pairs in
// UTF-16 units, not overlapping, left to right. An empty pattern occurs nowhere.
std::vector<std::pair<std::size_t, std::size_t>> FindAll(std::u16string_view line,
                                                         std::u16string_view pattern);

} // namespace kobalt::terminal
