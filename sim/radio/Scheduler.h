// The radio's clock: runs the stack's delayed steps (a phone answering, the next device found)
// on a thread of its own, so they go on while a callback blocks the event thread.
#pragma once

#include "sim/radio/Event.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

namespace kobalt::sim {

class Scheduler : public StepTimer {
public:
    // Starts the thread. Every delay is multiplied by `timeScale` (> 0).
    explicit Scheduler(double timeScale);

    // Stops the thread; steps not yet due are dropped.
    ~Scheduler() override;
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    void After(std::chrono::milliseconds delay, std::function<void()> step) override;

    double TimeScale() const { return m_timeScale; }

private:
    using Clock = std::chrono::steady_clock;

    struct Pending {
        Clock::time_point due;
        uint64_t order; // ties run in the order given
        std::function<void()> step;
    };
    struct Later {
        bool operator()(const Pending& a, const Pending& b) const {
            return a.due != b.due ? a.due > b.due : a.order > b.order;
        }
    };

    void Run();

    const double m_timeScale;
    std::mutex m_mutex;                                              // guards the fields below
    std::condition_variable m_cv;                                    // new step or stop
    std::priority_queue<Pending, std::vector<Pending>, Later> m_due; // earliest first
    uint64_t m_nextOrder = 0;
    bool m_stopping = false;
    std::thread m_thread; // last: starts once the fields above exist
};

} // namespace kobalt::sim
