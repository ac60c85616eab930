// Accounts for every callback the SDK made into the console, event by event.
//
// The simulated SDK's trace has one line per callback, written just before the call
// ("-> HfEventCallback(17, &4)"). The console's handler that finally acts on each event (the
// main window for connect, pair and discovery events, the main window or the telephone for
// hands-free events, the phonebook or call log for PIM events) reports it through the
// desktop's handled-event observer as the same text without the arrow. The ledger keeps both
// sequences per kind and compares them in order, arguments included, so a lost event and a
// duplicate never cancel out and a reordering shows.
//
// PIM events are dropped by design when their dialog is closed or closing, so for them the
// handled sequence must only appear in the trace's in order (no duplicate, no reordering, no
// event the SDK did not make); every other kind must match exactly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::monkey {

enum class EventKind { Connect, Pair, Discovery, HandsFree, Pim, Count };
constexpr std::size_t kEventKinds = static_cast<std::size_t>(EventKind::Count);
using EventCounts = std::array<std::uint64_t, kEventKinds>;

const char* EventKindName(EventKind kind);
// The kind of a callback line as the console reports it ("PairEventCallback(1, null)").
std::optional<EventKind> CallKind(std::string_view call);
// The callback a trace line records ("-> ..." without the arrow), if it records one.
std::optional<std::string_view> TraceCallback(std::string_view traceLine);

// Whether a handled line matches a trace line: equal, except that an argument the console did
// not read (`?`) matches any argument other than 0.
bool SameEvent(std::string_view trace, std::string_view handled);

// Callback lines of a trace read piece by piece (a read may end inside a line).
class TraceParser {
public:
    void Feed(std::string_view bytes);
    // The callbacks completed since the last call, in trace order.
    std::vector<std::string> Take();

private:
    std::string m_partial;
    std::vector<std::string> m_calls;
};

enum class TraceStatus { Ok, Unreadable };

// Reads a trace file from an offset on, as it grows.
class TraceFile {
public:
    explicit TraceFile(std::string path, std::uint64_t offset = 0)
        : m_path(std::move(path)), m_offset(offset) {}
    // Reads what was appended since the last call. Unreadable (with Problem() saying why) when
    // the file cannot be opened or read or is not a regular file.
    [[nodiscard]] TraceStatus Update();
    const std::string& Problem() const { return m_problem; }
    // The callbacks read since the last call.
    std::vector<std::string> Take() { return m_parser.Take(); }

private:
    std::string m_path;
    std::uint64_t m_offset;
    TraceParser m_parser;
    std::string m_problem;
};

// Creates an empty file at `path` unless one is there, without waiting (a FIFO is not opened
// for writing). For a trace the monkey named itself: a run without the simulated library then
// reads an empty trace, while a trace that goes missing later is still an error.
[[nodiscard]] TraceStatus CreateTrace(const std::string& path);

// The lines the console's handlers reported, collected from any thread.
class HandledLog {
public:
    void Add(std::string_view line);
    std::vector<std::string> Take();

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// Both sequences per kind, compared at checkpoints.
class EventLedger {
public:
    void AddCallbacks(const std::vector<std::string>& calls);
    void AddHandled(const std::vector<std::string>& lines);

    // Whether every kind that must match exactly has had at least `made` events handled.
    bool CaughtUp(const EventCounts& made) const;

    // Compares the sequences, given how many callbacks of each kind the trace held when the
    // wait for the handlers began (`made`): each must have been handled by now. Matched events
    // are dropped; the rest waits for the next check. An empty text means agreement.
    std::string Check(const EventCounts& made);

    // Callbacks read from the trace so far, per kind.
    EventCounts Made() const { return m_made; }
    // Events the handlers reported so far, per kind.
    EventCounts Handled() const { return m_handled; }

private:
    struct Sequences {
        std::deque<std::string> made;    // from the trace, not yet matched
        std::deque<std::string> handled; // reported, not yet matched
        std::uint64_t matched = 0;       // trace events consumed, matched or dropped by design
    };
    std::array<Sequences, kEventKinds> m_kinds;
    EventCounts m_made{};
    EventCounts m_handled{};
};

} // namespace kobalt::monkey
