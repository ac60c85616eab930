// The library's one instance of its state: the stack, injected failures and the trace.
#pragma once

#include "sim/Faults.h"
#include "sim/Stack.h"
#include "sim/Trace.h"

namespace kobalt::sim {

class Library {
public:
    // The instance, created on first use from the environment: KOBALT_SIM_TRACE names the trace
    // file, KOBALT_SIM_FAIL the entry points that fail always (unknown names are reported once
    // on stderr). It is never destroyed, so that threads still calling in while the process
    // exits find it intact.
    static Library& Instance();

    Stack& GetStack() { return m_stack; }
    Faults& GetFaults() { return m_faults; }
    Trace& GetTrace() { return m_trace; }

private:
    Library();

    Stack m_stack;
    Faults m_faults;
    Trace m_trace;
};

} // namespace kobalt::sim
