// The served phone (sim/control/ServedPhone.h) on one thread with a clock the test moves: what
// `kobalt-phone serve-ag` runs, without its sockets, for the audio gateway's tests and fuzzer.
#pragma once

#include "sim/control/ServedPhone.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kobalt::sim::ag {

// Runs steps when the test moves the clock, earliest first, ties in the order given.
class VirtualTimer : public StepTimer {
public:
    void After(std::chrono::milliseconds delay, std::function<void()> step) override {
        m_steps.emplace(std::make_pair(m_now + delay, m_order++), std::move(step));
    }

    // Moves the clock by `by`, running every step that comes due on the way.
    void Advance(std::chrono::milliseconds by) {
        const std::chrono::milliseconds until = m_now + by;
        while (!m_steps.empty() && m_steps.begin()->first.first <= until) {
            auto next = m_steps.begin();
            m_now = next->first.first;
            std::function<void()> step = std::move(next->second);
            m_steps.erase(next);
            step();
        }
        m_now = until;
    }

    std::size_t Pending() const { return m_steps.size(); }

private:
    std::chrono::milliseconds m_now{0};
    uint64_t m_order = 0;
    std::map<std::pair<std::chrono::milliseconds, uint64_t>, std::function<void()>> m_steps;
};

// A served phone with an HF linked; every call gives the lines of the exchange it caused.
class Harness {
public:
    explicit Harness(const ServedPhoneOptions& options = {}) {
        auto timer = std::make_unique<VirtualTimer>();
        m_timer = timer.get();
        m_phone = std::make_unique<ServedPhone>(std::move(timer));
        m_started = m_phone->Start(options);
        if (m_started.Ok()) {
            m_phone->LinkOpened();
        }
    }

    const Status& Started() const { return m_started; }
    ServedPhone& Phone() { return *m_phone; }

    std::vector<AgLine> Send(std::string_view bytes) {
        std::vector<AgLine> out;
        m_phone->Receive(bytes, out);
        return out;
    }

    // A control command, as `kobalt-phone COMMAND` sends it, and the unsolicited results.
    std::vector<AgLine> Control(std::string_view command, ControlReply* reply = nullptr) {
        ControlReply answer = m_phone->GetControl().Execute(command);
        if (reply != nullptr) {
            *reply = std::move(answer);
        }
        return Drain();
    }

    std::vector<AgLine> Advance(std::chrono::milliseconds by) {
        m_timer->Advance(by);
        return Drain();
    }

    std::vector<AgLine> Drain() {
        std::vector<AgLine> out;
        m_phone->Drain(out);
        return out;
    }

private:
    VirtualTimer* m_timer = nullptr; // owned by the phone
    std::unique_ptr<ServedPhone> m_phone;
    Status m_started;
};

} // namespace kobalt::sim::ag
