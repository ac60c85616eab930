// What the phone model needs to know of the stack: whether events may flow to the console
// (stack running, HF link up), where they go, and how the world's far ends behave.
#pragma once

#include "sdk/KobaltAbi.h"
#include "sim/phone/CallSettings.h"

namespace kobalt::sim {

struct HfSession {
    bool ready = false;                   // the stack runs
    bool hfUp = false;                    // an HF link is up
    KOBALT_HfCallback callback = nullptr; // the registered hands-free callback, or null
    CallSettings settings;
};

// Told of every change of the session. Called under the stack's lock: it must not call back
// into the stack (the lock order is stack, then phone).
class HfSessionObserver {
public:
    virtual ~HfSessionObserver() = default;
    virtual void SessionChanged(const HfSession& session) = 0;
};

} // namespace kobalt::sim
