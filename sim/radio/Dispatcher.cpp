#include "sim/radio/Dispatcher.h"

#include "sim/abi/Jitter.h"

#include <chrono>
#include <pthread.h>

namespace kobalt::sim {
namespace {

void TraceEvent(Trace& trace, const Event& event) {
    std::visit(
        [&](const auto& e) {
            using E = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<E, ConnectEvent>) {
                trace.Callback(CallbackKind::Connect, arg::Int{e.connected}, arg::Addr{e.addr},
                               arg::Int{e.service});
            } else if constexpr (std::is_same_v<E, PairEvent>) {
                trace.Callback(CallbackKind::Pair, arg::Int{e.success}, arg::Addr{e.addr});
            } else if constexpr (std::is_same_v<E, HfEvent>) {
                switch (e.kind) {
                case HfData::None:
                    trace.Callback(CallbackKind::Hf, arg::Int{e.code}, arg::Int{0});
                    break;
                case HfData::Text:
                    trace.Callback(CallbackKind::Hf, arg::Int{e.code},
                                   arg::Str{static_cast<const char*>(e.data)});
                    break;
                case HfData::Level:
                    trace.Callback(CallbackKind::Hf, arg::Int{e.code},
                                   arg::Byte{static_cast<const uint8_t*>(e.data)});
                    break;
                }
            } else if constexpr (std::is_same_v<E, PimEvent>) {
                trace.Callback(CallbackKind::Pim, arg::Int{e.code});
            } else {
                trace.Callback(CallbackKind::Discovery, arg::Int{e.finished},
                               arg::Record{e.record});
            }
        },
        event);
}

// The console's callback types take non-const addresses; the console only reads them.
void CallEvent(const Event& event) {
    std::visit(
        [](const auto& e) {
            using E = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<E, ConnectEvent>) {
                e.callback(e.connected, const_cast<KOBALT_BdAddr*>(e.addr), e.service);
            } else if constexpr (std::is_same_v<E, PairEvent>) {
                e.callback(e.success, const_cast<KOBALT_BdAddr*>(e.addr));
            } else if constexpr (std::is_same_v<E, HfEvent>) {
                e.callback(e.code, reinterpret_cast<intptr_t>(e.data));
            } else if constexpr (std::is_same_v<E, PimEvent>) {
                e.callback(e.code);
            } else {
                e.callback(e.finished, e.record);
            }
        },
        event);
}

} // namespace

Dispatcher::Dispatcher(Trace& trace) : m_trace(trace), m_thread([this] { Run(); }) {}

Dispatcher::~Dispatcher() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_cv.notify_all();
    m_thread.join();
}

void Dispatcher::Post(const Event& event) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(event);
    }
    m_cv.notify_one();
}

void Dispatcher::PostAll(std::span<const Event> events) {
    if (events.empty()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_queue.insert(m_queue.end(), events.begin(), events.end());
    }
    m_cv.notify_one();
}

void Dispatcher::Discard() {
    {
        std::lock_guard lock(m_mutex);
        switch (m_hold) {
        case Hold::Off:
            m_queue.clear();
            return;
        case Hold::On:
            return;
        case Hold::UntilUnInit:
            m_hold = Hold::Off;
            m_releasing = !m_queue.empty();
            break;
        }
    }
    m_cv.notify_one();
}

void Dispatcher::SetHold(Hold hold) {
    {
        std::lock_guard lock(m_mutex);
        m_hold = hold;
    }
    m_cv.notify_one();
}

void Dispatcher::Run() {
    pthread_setname_np(pthread_self(), "kobalt-events");
    std::unique_lock lock(m_mutex);
    while (true) {
        m_cv.wait(lock, [&] { return m_stopping || (!m_queue.empty() && m_hold == Hold::Off); });
        if (m_stopping) {
            return;
        }
        if (m_releasing) {
            // Let KOBALT_UnInit return before the held events go out.
            m_releasing = false;
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            lock.lock();
            continue;
        }
        const Event event = std::move(m_queue.front());
        m_queue.pop_front();
        // Traced under the lock: Discard either drops an event before its line is written, or
        // the event is committed and its callback runs, so the trace never shows a callback
        // that was not made.
        TraceEvent(m_trace, event);
        lock.unlock();
        // With jitter on, the callback may now run after KOBALT_UnInit returned, as a real
        // stack's thread may deliver one it had already taken.
        SimJitter().Pause(JitterPoint::Callback);
        CallEvent(event);
        lock.lock();
    }
}

} // namespace kobalt::sim
