// Events for the console's callbacks, and where the stack hands them over.
//
// An event carries the callback it is for, taken when the event is made, and its data by value
// or as pointers that live as long as the library (interned addresses and texts).
#pragma once

#include "sdk/KobaltAbi.h"

#include <chrono>
#include <functional>
#include <span>
#include <variant>

namespace kobalt::sim {

struct ConnectEvent {
    KOBALT_ConnectCallback callback;
    int connected;             // 1 connected, 0 disconnected
    const KOBALT_BdAddr* addr; // interned, or null
    int16_t service;
};

struct PairEvent {
    KOBALT_PairCallback callback;
    int success;               // 1 paired, 0 failed
    const KOBALT_BdAddr* addr; // interned
};

struct DiscoveryEvent {
    KOBALT_DiscoveryCallback callback; // the one passed to this search
    int finished;                      // 0: a device found; 1: the search is over
    KOBALT_DeviceRecord record;        // all zero with `finished`
};

// What the data of a hands-free event points at.
enum class HfData {
    None,  // nothing: the data is 0
    Text,  // a NUL-terminated UTF-8 text, interned
    Level, // one unsigned byte (a signal or battery level), in static storage
};

struct HfEvent {
    KOBALT_HfCallback callback;
    uint32_t code; // the console's DialerState code
    HfData kind;
    const void* data; // null with HfData::None
};

struct PimEvent {
    KOBALT_PimCallback callback;
    int32_t code; // a KOBALT_PIM_* or error event code
};

using Event = std::variant<ConnectEvent, PairEvent, DiscoveryEvent, HfEvent, PimEvent>;

// Delivers events in the order posted, on a thread of the library's own.
class EventSink {
public:
    virtual ~EventSink() = default;

    // Queues `event` behind every event posted before it. Never waits for a callback.
    virtual void Post(const Event& event) = 0;

    // Queues `events` in order, as that many Post calls would.
    virtual void PostAll(std::span<const Event> events) {
        for (const Event& event : events) {
            Post(event);
        }
    }

    // Drops every queued event. A callback already running may finish; none starts afterwards
    // for an event posted before this call.
    virtual void Discard() = 0;
};

// Runs steps of the simulated radio after a delay, on a thread of the library's own.
class StepTimer {
public:
    virtual ~StepTimer() = default;

    // Runs `step` once `delay` (before time scaling) has passed. Steps due at the same time run
    // in the order given. Never waits for a step.
    virtual void After(std::chrono::milliseconds delay, std::function<void()> step) = 0;
};

} // namespace kobalt::sim
