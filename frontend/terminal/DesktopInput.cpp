#include "frontend/terminal/DesktopInput.h"

namespace kobalt::terminal {

std::optional<desktop::InputResult> Deliver(const Action& action) {
    switch (action.kind) {
    case Action::Kind::Focus:
        return desktop::Focus(action.target);
    case Action::Kind::Click:
        return desktop::Click(action.target);
    case Action::Kind::Select:
        return desktop::Select(action.target, action.value);
    case Action::Kind::Scroll:
        return desktop::Scroll(action.target, action.value);
    case Action::Kind::Type:
        return desktop::TypeText(action.target, action.text);
    case Action::Kind::Caret:
        return desktop::SetCaret(action.target, action.value);
    case Action::Kind::Close:
        return desktop::Close(action.target);
    case Action::Kind::Answer:
        return desktop::AnswerBox(action.target, action.value);
    case Action::Kind::Power:
    case Action::Kind::DebugView:
    case Action::Kind::DebugScroll:
    case Action::Kind::Quit:
    case Action::Kind::Keys:
    case Action::Kind::SelectAll:
    case Action::Kind::Interrupt:
    case Action::Kind::ShiftList:
    case Action::Kind::Arm:
        break;
    }
    return std::nullopt;
}

} // namespace kobalt::terminal
