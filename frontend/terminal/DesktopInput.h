// Mapped actions delivered to the desktop.
#pragma once

#include "frontend/terminal/InputMapper.h"
#include "platform/Desktop.h"

#include <optional>

namespace kobalt::terminal {

// Delivers an action that goes to a window (focus, click, select, scroll, type, caret, close,
// answer) and returns the desktop's answer; nullopt for the front end's own actions.
std::optional<desktop::InputResult> Deliver(const Action& action);

} // namespace kobalt::terminal
