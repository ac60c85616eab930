// The phone's call log: every finished call, oldest first. The phone model appends; the
// phonebook side reads it to serve the console's call-log downloads.
//
// Thread-safe: appends come from the radio thread and entry points, reads from anywhere.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace kobalt::sim {

enum class CallKind {
    Incoming, // answered incoming call (also one answered by putting it on hold)
    Outgoing, // dialled call, answered or not
    Missed,   // incoming or waiting call that ended without being answered (rejected included)
};

struct CallRecord {
    CallKind kind = CallKind::Outgoing;
    std::string number;                           // UTF-8, as dialled or as the caller's
    std::chrono::system_clock::time_point time{}; // when the call started
};

class CallHistory {
public:
    // A phone keeps a bounded log; the oldest records go first.
    static constexpr std::size_t kCapacity = 500;

    void Append(CallRecord record);
    // A copy of the log, oldest first.
    std::vector<CallRecord> Records() const;
    std::size_t Size() const;

private:
    mutable std::mutex m_mutex; // guards m_records
    std::deque<CallRecord> m_records;
};

} // namespace kobalt::sim
