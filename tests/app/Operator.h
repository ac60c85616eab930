// Plays the operator from a test thread: waits for windows and controls through the desktop and
// delivers input as a front end does.
#pragma once

#include "platform/Desktop.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace kobalt::test {

class Operator {
public:
    static constexpr std::chrono::milliseconds kTimeout{5000};

    // The active window made from this template, once it is there.
    // `bound`: how long the window may take to open and become active.
    std::optional<desktop::WindowView> WaitActive(int templateId,
                                                  std::chrono::milliseconds bound = kTimeout);
    // The active message box, once it is there.
    std::optional<desktop::WindowView> WaitBox();
    // True once `condition` holds for a fresh snapshot, re-checked on every desktop change.
    bool WaitUntil(const std::function<bool(const desktop::Snapshot&)>& condition,
                   std::chrono::milliseconds bound = kTimeout);

    // A control of the window with this handle in the latest snapshot.
    static std::optional<desktop::ControlView> Control(HWND window, int id);

    // Input, each followed by waiting until the console has handled it.
    desktop::InputResult Press(HWND window, int id);
    desktop::InputResult Close(HWND window);
    desktop::InputResult Answer(HWND box);
};

} // namespace kobalt::test
