// The optional trace file: one line per entry-point call and per callback the library makes.
#pragma once

#include "common/FileDescriptor.h"
#include "sim/TraceFormat.h"

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
    explicit Trace(const char* path);
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    bool Enabled() const { return m_file.Valid(); }

    // Why the file named could not be opened; empty when it was, or when none was named.
    const std::string& Problem() const { return m_problem; }

    // Appends `line` and a newline with one write, so lines from concurrent threads (and other
    // processes appending to the same file) never interleave and nothing is left buffered.
    void WriteLine(std::string_view line);

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
    std::mutex m_mutex;            // serialises writes to m_file
};

} // namespace kobalt::sim
