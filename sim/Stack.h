// The Bluetooth stack's own state: started or not, integration mode, registered callbacks.
//
// Lifecycle (one concern, one enum):
//   Uninitialised --Init--> Ready --UnInit--> Uninitialised
// Init in Ready and UnInit in Uninitialised succeed and change nothing: the console calls Init
// from START, the power monitor and the stress test without knowing the others' state, and
// reporting a running stack as "Init Fail" would mislead the operator. There is no count: one
// UnInit stops the stack however many Init calls came before.
//
// Registrations and the integration mode survive UnInit/Init: the power monitor and the stress
// test restart the stack without registering again, and the console must keep its events.
//
// Every member may be called from any thread. No callback is ever called under the lock: take
// a copy with GetCallbacks() and call outside.
#pragma once

#include "sdk/KobaltAbi.h"
#include "sim/ResultCode.h"

#include <mutex>

namespace kobalt::sim {

enum class StackState {
    Uninitialised, // waits for KOBALT_Init
    Ready,         // the stack runs; the console may use it
};

// The console's standing callbacks; null when not registered.
struct Callbacks {
    KOBALT_ConnectCallback connect = nullptr;
    KOBALT_PairCallback pair = nullptr;
    KOBALT_HfCallback hf = nullptr;
    KOBALT_PimCallback pim = nullptr; // the last registration replaces earlier ones
};

class Stack {
public:
    // Starts the stack; succeeds also when it already runs.
    ResultCode Init();

    // Stops the stack; succeeds also when it is not running. Keeps registrations and mode.
    ResultCode UnInit();

    // Records the integration mode for the stack's next start. The console sends 1 or 2; the
    // value is kept as given, in any state. 0 means none was set.
    ResultCode SetIntegrateTL(int mode);

    // Each records (or, with null, removes) a callback; kErrNotInitialised unless Ready, as
    // the console registers only after a successful start.
    ResultCode RegisterConnectCallback(KOBALT_ConnectCallback callback);
    ResultCode RegisterPairCallback(KOBALT_PairCallback callback);
    ResultCode RegisterHfCallback(KOBALT_HfCallback callback);
    ResultCode RegisterPimCallback(KOBALT_PimCallback callback);

    StackState State() const;
    int IntegrationMode() const;
    Callbacks GetCallbacks() const;

private:
    // Applies `assign` to the callbacks when Ready.
    template <class Assign> ResultCode Register(Assign assign);

    mutable std::mutex m_mutex;                     // guards every field below
    StackState m_state = StackState::Uninitialised; // the lifecycle above
    int m_integrationMode = 0;                      // last KOBALT_SetIntegrateTL argument
    Callbacks m_callbacks;                          // kept across UnInit/Init
};

} // namespace kobalt::sim
