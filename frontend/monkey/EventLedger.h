// Accounts for every callback the SDK made into the console: each must reach the main window.
//
// The simulated SDK's trace has one line per callback, written just before the call. The
// console turns each connect, pair, discovery and hands-free callback into one message to its
// main window (sent, or posted for hands-free events). The ledger counts the trace's callback
// lines per kind and the messages the main window's procedure received per kind; once the
// console is idle every callback must have arrived, and never more than the SDK made.
//
// PIM callbacks are left out: the console forwards them only while the phonebook or call-log
// dialog is open and drops them by design otherwise.
#pragma once

#include "platform/Windows.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kobalt::monkey {

enum class EventKind { Connect, Pair, DeviceFound, DiscoveryDone, HandsFree, Count };
constexpr std::size_t kEventKinds = static_cast<std::size_t>(EventKind::Count);
using EventCounts = std::array<std::uint64_t, kEventKinds>;

const char* EventKindName(EventKind kind);
// The kind of callback a trace line records, if it records one this ledger accounts for.
std::optional<EventKind> CallbackKind(std::string_view traceLine);
// The kind of main-window message, given the console's registered hands-free message id.
std::optional<EventKind> MessageKind(UINT msg, UINT handsFreeMsg);

// Callback lines of a trace read piece by piece (a read may end inside a line).
class TraceCounter {
public:
    void Feed(std::string_view bytes);
    const EventCounts& Counts() const { return m_counts; }

private:
    std::string m_partial;
    EventCounts m_counts{};
};

// Reads a trace file from an offset on, as it grows.
class TraceFile {
public:
    explicit TraceFile(std::string path, std::uint64_t offset = 0)
        : m_path(std::move(path)), m_offset(offset) {}
    // Reads what was appended since the last call; false when the file cannot be read.
    bool Update();
    const EventCounts& Counts() const { return m_counter.Counts(); }

private:
    std::string m_path;
    std::uint64_t m_offset;
    TraceCounter m_counter;
};

// Messages that reached the main window, counted on the receiving threads.
class DeliveryCounter {
public:
    void SetMainWindow(HWND main) { m_main.store(main, std::memory_order_release); }
    void SetHandsFreeMessage(UINT msg) { m_handsFreeMsg.store(msg, std::memory_order_release); }
    void Delivered(HWND window, UINT msg);
    EventCounts Counts() const;

private:
    std::atomic<HWND> m_main{nullptr};
    std::atomic<UINT> m_handsFreeMsg{0};
    std::array<std::atomic<std::uint64_t>, kEventKinds> m_counts{};
};

// Compares callbacks made with messages handled. `before` is the trace read before
// `delivered` was taken and `after` the trace read after it: every callback in `before` must
// have been delivered, and nothing delivered that `after` lacks. An empty text means agreement;
// otherwise it says which kinds differ.
std::string CompareCounts(const EventCounts& before, const EventCounts& delivered,
                          const EventCounts& after);
// Every callback in `made` has been delivered (the wait condition).
bool AllDelivered(const EventCounts& made, const EventCounts& delivered);

} // namespace kobalt::monkey
