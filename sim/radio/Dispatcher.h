// The thread that calls the console's callbacks: one FIFO of events, one callback at a time.
//
// A callback may block for long (the console shows a message box from the discovery and pair
// callbacks); later events wait behind it, as with a real stack, while API calls and the
// control socket go on, since posting never waits for the thread. No lock is held while a
// callback runs, so callbacks may call any entry point, KOBALT_UnInit included.
#pragma once

#include "sim/abi/Trace.h"
#include "sim/radio/Event.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace kobalt::sim {

class Dispatcher : public EventSink {
public:
    // Starts the thread. Each callback gets its "-> " line in `trace` just before it runs.
    explicit Dispatcher(Trace& trace);

    // Stops the thread after the callback that runs, if any; queued events are dropped.
    ~Dispatcher() override;
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    void Post(const Event& event) override;
    // Under one lock, with one wake-up of the thread.
    void PostAll(std::span<const Event> events) override;
    void Discard() override;

    // Off: events are delivered. On: they are held, also through Discard, until Off.
    // UntilUnInit: held until the next Discard (KOBALT_UnInit), then delivered a moment after
    // it, as late callbacks from a real stack's thread that had already taken them.
    enum class Hold { Off, On, UntilUnInit };
    void SetHold(Hold hold);

private:
    void Run();

    Trace& m_trace;
    std::mutex m_mutex;           // guards m_queue and m_stopping
    std::condition_variable m_cv; // signalled on post and stop
    std::deque<Event> m_queue;    // events not yet started
    bool m_stopping = false;      // the destructor asked the thread to end
    Hold m_hold = Hold::Off;      // whether events wait in the queue
    bool m_releasing = false;     // Discard released held events; deliver them a moment later
    std::thread m_thread;         // last: starts once the fields above exist
};

} // namespace kobalt::sim
