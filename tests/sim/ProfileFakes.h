// An event sink that drops events and a timer whose steps run when the test says, for unit
// tests of the stack, the phone and the parts beside them.
#pragma once

#include "sim/radio/Event.h"
#include "sim/world/WorldFile.h"

#include <deque>
#include <functional>
#include <vector>

namespace kobalt::sim::fakes {

class NullSink : public EventSink {
public:
    void Post(const Event&) override { ++posted; }
    void Discard() override {}
    int posted = 0;
};

class ManualTimer : public StepTimer {
public:
    void After(std::chrono::milliseconds delay, std::function<void()> step) override {
        delays.push_back(delay);
        steps.push_back(std::move(step));
    }
    // Runs the oldest pending step; false when there is none.
    bool RunNext() {
        if (steps.empty()) {
            return false;
        }
        std::function<void()> step = std::move(steps.front());
        steps.pop_front();
        step();
        return true;
    }
    void RunAll() {
        while (RunNext()) {
        }
    }
    std::deque<std::function<void()>> steps;
    std::vector<std::chrono::milliseconds> delays;
};

} // namespace kobalt::sim::fakes
