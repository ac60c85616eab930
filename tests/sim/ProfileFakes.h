// An event sink that drops events and a timer whose steps run when the test says, for unit
// tests of the parts beside the stack.
#pragma once

#include "sim/Event.h"
#include "sim/WorldFile.h"

#include <deque>
#include <functional>

namespace kobalt::sim::fakes {

class NullSink : public EventSink {
public:
    void Post(const Event&) override { ++posted; }
    void Discard() override {}
    int posted = 0;
};

class ManualTimer : public StepTimer {
public:
    void After(std::chrono::milliseconds, std::function<void()> step) override {
        steps.push_back(std::move(step));
    }
    void RunAll() {
        while (!steps.empty()) {
            std::function<void()> step = std::move(steps.front());
            steps.pop_front();
            step();
        }
    }
    std::deque<std::function<void()>> steps;
};

} // namespace kobalt::sim::fakes
