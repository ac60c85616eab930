// The optional trace: one line per entry-point call and per callback the library makes, to a
// file (KOBALT_SIM_TRACE) and to the loader's live sink (KOBALT_TRACE_FD, common/TraceSink.h).
#pragma once

#include "common/FileDescriptor.h"
#include "common/TraceSink.h"
#include "sim/abi/TraceFormat.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace kobalt::sim {

class Trace {
public:
    // Opens `path` for appending, creating it readable by its owner only (the trace holds
    // PINs, numbers and names). A null or empty path leaves tracing off, and so does a file that
    // cannot be opened, a symbolic link, or anything but a regular file (a FIFO would block every
    // call): see Problem.
    //
    // `sinkFd` is the text of KOBALT_TRACE_FD: a packet socket that gets every line as a timed
    // record, without blocking. A null or empty text means no sink; anything but a local packet
    // socket is refused (see SinkProblem).
    explicit Trace(const char* path, const char* sinkFd = nullptr);
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    bool Enabled() const { return m_file.Valid() || m_sink.Valid(); }

    // Why the file named could not be opened; empty when it was, or when none was named.
    const std::string& Problem() const { return m_problem; }
    // Why the sink named could not be used; empty when it was, or when none was named.
    const std::string& SinkProblem() const { return m_sinkProblem; }

    // Appends `line` and a newline with one write, so lines from concurrent threads (and other
    // processes appending to the same file) never interleave and nothing is left buffered.
    // The sink gets the line as one record; when its receiver is behind, the record is dropped
    // and counted, and the next one sent is preceded by a record saying how many were lost.
    void WriteLine(std::string_view line);

    // Sends `line` to the sink only, as one record, without blocking; false when there is no
    // sink or the record could not go (the library's diagnostics then go to stderr instead).
    bool SendLive(std::string_view line);

    // Writes "-> Name(args)" for a callback the library is about to make. Written before the
    // call so that entry points called from inside the callback follow it in the file.
    template <class... Args> void Callback(CallbackKind kind, const Args&... args) {
        if (Enabled()) {
            WriteLine("-> " + FormatCall(CallbackName(kind), args...));
        }
    }

private:
    common::FileDescriptor m_file; // the trace file, opened O_APPEND; none when tracing is off
    std::string m_problem;         // set once, by the constructor
    std::string m_sinkProblem;     // set once, by the constructor
    common::FileDescriptor m_sink; // the loader's packet socket; none when not asked for
    std::mutex m_mutex;            // serialises writes to m_file and sends to m_sink
    std::uint64_t m_lost = 0;      // records the sink dropped since the last one sent; m_mutex

    bool Send(std::string_view line); // one record to m_sink, under m_mutex; false if dropped
};

} // namespace kobalt::sim
