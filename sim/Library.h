// The library's one instance of its state: the stack and its world, injected failures, the
// trace, the diagnostics, the event and radio threads, and the control socket.
#pragma once

#include "sim/abi/DebugLog.h"
#include "sim/abi/Faults.h"
#include "sim/abi/Trace.h"
#include "sim/control/Control.h"
#include "sim/control/ControlServer.h"
#include "sim/phone/CallHistory.h"
#include "sim/phone/Phone.h"
#include "sim/pim/Pim.h"
#include "sim/profiles/DialUp.h"
#include "sim/profiles/MediaPlayers.h"
#include "sim/radio/Adapter.h"
#include "sim/radio/Dispatcher.h"
#include "sim/radio/Scheduler.h"
#include "sim/radio/Stack.h"

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
    Pim& GetPim() { return m_pim; }
    Faults& GetFaults() { return m_faults; }
    Trace& GetTrace() { return m_trace; }
    DebugLog& GetLog() { return m_log; }
    Phone& GetPhone() { return m_phone; }
    CallHistory& GetCallHistory() { return m_callHistory; }
    Adapter& GetAdapter() { return m_adapter; }
    MediaPlayers& GetMedia() { return m_media; }
    DialUp& GetDialUp() { return m_dialUp; }

private:
    Library();

    DebugLog m_log;
    Faults m_faults;
    Trace m_trace;
    double m_timeScale;
    Dispatcher m_dispatcher;
    Scheduler m_scheduler;
    CallHistory m_callHistory; // every finished call of the phone
    Phone m_phone;             // the calls of the phone at the far end of the HF link
    Stack m_stack;
    Pim m_pim;                     // the phone's phonebook and call logs
    Adapter m_adapter;             // the local adapter's settings
    MediaPlayers m_media{m_stack}; // the phones' media players, over AVRCP
    // The dial-up lists (read on first use) and the dialled provider.
    DialUp m_dialUp{m_stack, ProviderDatabasePath(),
                    [this](std::string_view line) { m_log.Write(line); }};
    Control m_control;
    std::unique_ptr<ControlServer> m_server; // started last, once the stack has its world
};

} // namespace kobalt::sim
