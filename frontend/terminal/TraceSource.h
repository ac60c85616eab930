// The SDK library's live trace into the event log.
//
// The front end makes a connected pair of local packet sockets and names one end in
// KOBALT_TRACE_FD before the SDK library is loaded (common/TraceSink.h); a thread of its own
// takes the records from the other end as they come and adds them to the event log with the
// time the library made them. The console itself never sees the trace: whichever SDK library is
// loaded and honours the variable feeds it.
#pragma once

#include "common/FileDescriptor.h"
#include "frontend/terminal/EventLog.h"

#include <string>
#include <thread>

namespace kobalt::terminal {

class TraceSource {
public:
    explicit TraceSource(EventLog& log) : m_log(log) {}
    ~TraceSource();
    TraceSource(const TraceSource&) = delete;
    TraceSource& operator=(const TraceSource&) = delete;

    // Makes the sockets, sets KOBALT_TRACE_FD and starts reading. Changes the environment: call
    // before any other thread exists and before the SDK library is loaded. False with the
    // reason in `error` when no sink could be made; the log then holds the debug lines only.
    bool Start(std::string& error);

    // The descriptor the library sends on (for tests that play the library); -1 before Start.
    int SinkDescriptor() const { return m_write.Get(); }

private:
    void Run();

    EventLog& m_log;
    common::FileDescriptor m_read;      // records arrive here
    common::FileDescriptor m_write;     // named in KOBALT_TRACE_FD; kept open for the library
    common::FileDescriptor m_stopRead;  // readable once the reader must stop
    common::FileDescriptor m_stopWrite; //
    std::thread m_thread;
};

} // namespace kobalt::terminal
