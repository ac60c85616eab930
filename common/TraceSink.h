// The trace sink: a live copy of an SDK library's trace for whoever loaded it.
//
// The loader (the console's terminal front end) makes a connected pair of AF_UNIX
// SOCK_SEQPACKET sockets, keeps one end and names the other in KOBALT_TRACE_FD before the
// library is loaded. The library reads the variable once, takes its own duplicate of the
// descriptor and sends one record per trace line: the CLOCK_MONOTONIC time of the line in
// nanoseconds, a blank, and the line (UTF-8, without newline), at most kMaxTraceRecord bytes.
// Sends never block and never raise SIGPIPE: a record that finds the receiver's queue full is
// dropped and counted, and the next record that goes out is preceded by one saying how many
// were lost. Any SDK library that shares the export layer honours the same variable.
#pragma once

#include "common/FileDescriptor.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kobalt::common {

inline constexpr const char* kTraceSinkVariable = "KOBALT_TRACE_FD";
inline constexpr std::size_t kMaxTraceRecord = 4096; // bytes, time and blank included

// "<ns> <line>", cut to kMaxTraceRecord bytes.
std::string TraceRecord(std::uint64_t monotonicNs, std::string_view line);

struct ParsedTraceRecord {
    std::optional<std::uint64_t> monotonicNs; // none when the record has no valid time
    std::string_view line;                    // the whole record when it has none
};

ParsedTraceRecord ParseTraceRecord(std::string_view record);

// The descriptor named by `value` (the variable's text), duplicated close-on-exec, when it is
// a connected AF_UNIX SOCK_SEQPACKET socket; none otherwise, with the reason in `problem` (empty
// when `value` is null or empty: no sink was asked for).
FileDescriptor OpenTraceSink(const char* value, std::string& problem);

// CLOCK_MONOTONIC now, in nanoseconds: the time base of the records (std::chrono's
// steady_clock on this platform).
std::uint64_t MonotonicNanoseconds();

} // namespace kobalt::common
