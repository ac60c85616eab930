// The library's one instance of its state: the stack and its world, injected failures, the
// trace, the diagnostics, the event and radio threads, and the control socket.
#pragma once

#include "sim/Control.h"
#include "sim/ControlServer.h"
#include "sim/DebugLog.h"
#include "sim/Dispatcher.h"
#include "sim/Faults.h"
#include "sim/Scheduler.h"
#include "sim/Stack.h"
#include "sim/Trace.h"

#include <memory>

namespace kobalt::sim {

class Library {
public:
    // The instance, created on first use (the library creates it when it is loaded) from the
    // environment: KOBALT_SIM_TRACE names the trace file, KOBALT_SIM_FAIL the entry points that
    // fail always, KOBALT_SIM_WORLD the world file, KOBALT_TIME_SCALE the factor for delays.
    // Problems go to the debug log. It is never destroyed, so that threads still running while
    // the process exits find it intact.
    static Library& Instance();

    Stack& GetStack() { return m_stack; }
    Faults& GetFaults() { return m_faults; }
    Trace& GetTrace() { return m_trace; }
    DebugLog& GetLog() { return m_log; }

private:
    Library();

    DebugLog m_log;
    Faults m_faults;
    Trace m_trace;
    double m_timeScale;
    Dispatcher m_dispatcher;
    Scheduler m_scheduler;
    Stack m_stack;
    Control m_control;
    std::unique_ptr<ControlServer> m_server; // started last, once the stack has its world
};

} // namespace kobalt::sim
