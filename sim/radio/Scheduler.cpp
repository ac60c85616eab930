#include "sim/radio/Scheduler.h"

#include "sim/abi/Jitter.h"

#include <pthread.h>

namespace kobalt::sim {

Scheduler::Scheduler(double timeScale) : m_timeScale(timeScale), m_thread([this] { Run(); }) {}

Scheduler::~Scheduler() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_cv.notify_all();
    m_thread.join();
}

void Scheduler::After(std::chrono::milliseconds delay, std::function<void()> step) {
    const auto scaled = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(double(delay.count()) * m_timeScale));
    {
        std::lock_guard lock(m_mutex);
        m_due.push(Pending{Clock::now() + scaled, m_nextOrder++, std::move(step)});
    }
    m_cv.notify_one();
}

void Scheduler::Run() {
    pthread_setname_np(pthread_self(), "kobalt-radio");
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_due.empty()) {
            m_cv.wait(lock);
            continue;
        }
        const Clock::time_point due = m_due.top().due;
        if (Clock::now() < due) {
            m_cv.wait_until(lock, due);
            continue;
        }
        std::function<void()> step = m_due.top().step;
        m_due.pop();
        lock.unlock();
        SimJitter().Pause(JitterPoint::Step);
        step(); // takes the stack's lock; never under ours
        lock.lock();
    }
}

} // namespace kobalt::sim
