#include "frontend/terminal/Palette.h"

namespace kobalt::terminal {

namespace {

Style Colours(Colour fg, Colour bg, bool bold = false) {
    Style style;
    style.fg = fg;
    style.bg = bg;
    style.bold = bold;
    return style;
}

Style ColourBase(Role role) {
    switch (role) {
    case Role::Desktop:
    case Role::DebugText:
        return Colours(Colour::Default, Colour::Default);
    case Role::Window:
    case Role::Frame:
    case Role::Border:
    case Role::Radio:
        return Colours(Colour::Black, Colour::White);
    case Role::Title:
        return Colours(Colour::Blue, Colour::White, true);
    case Role::Button:
        return Colours(Colour::White, Colour::Blue);
    case Role::Field:
        return Colours(Colour::Black, Colour::Cyan);
    case Role::List:
        return Colours(Colour::White, Colour::Black);
    case Role::Header:
        return Colours(Colour::Yellow, Colour::Black, true);
    case Role::Scrollbar:
        return Colours(Colour::Cyan, Colour::Black);
    case Role::Status:
    case Role::DebugTitle:
        return Colours(Colour::Black, Colour::Cyan);
    case Role::Notice:
        return Colours(Colour::Yellow, Colour::Default, true);
    }
    return Style{};
}

Style ColourStyle(Role role, std::uint8_t flags) {
    if ((flags & kInactive) != 0) {
        // Beneath the active window: one dim grey for everything, so only the active window
        // stands out.
        Style style = Colours(Colour::White, Colour::Black);
        style.dim = true;
        return style;
    }
    Style style = ColourBase(role);
    const bool focused = (flags & kFocused) != 0;
    if ((flags & kSelected) != 0) {
        style = focused ? Colours(Colour::White, Colour::Blue, true)
                        : Colours(Colour::Black, Colour::Cyan);
    } else if (focused) {
        if (role == Role::Button) {
            style = Colours(Colour::Black, Colour::Cyan, true);
        } else if (role == Role::Radio) {
            style = Colours(Colour::White, Colour::Blue, true);
        } else if (role == Role::Field) {
            style.bold = true;
        } else if (role == Role::Border) {
            style = Colours(Colour::Blue, Colour::White, true);
        }
    }
    if ((flags & kDisabled) != 0) {
        style.dim = true;
        style.bold = false;
        // Greyed, and still readable on the focused button's background.
        if (role == Role::Button) {
            style.fg = focused ? Colour::Blue : Colour::Cyan;
        } else if (role == Role::Field) {
            style.fg = Colour::Blue;
        }
    }
    return style;
}

Style MonochromeStyle(Role role, std::uint8_t flags) {
    Style style;
    switch (role) {
    case Role::Title:
    case Role::Notice:
        style.bold = true;
        break;
    case Role::Button:
    case Role::Status:
    case Role::DebugTitle:
        style.reverse = true;
        break;
    case Role::Field:
        style.underline = true;
        break;
    case Role::Header:
        style.bold = true;
        style.underline = true;
        break;
    default:
        break;
    }
    if ((flags & kInactive) != 0) {
        Style dimmed;
        dimmed.dim = true;
        return dimmed;
    }
    if ((flags & kSelected) != 0) {
        style.reverse = true;
    }
    const bool inList = role == Role::List || role == Role::Scrollbar;
    if ((flags & kFocused) != 0 && (!inList || (flags & kSelected) != 0)) {
        style.bold = true;
    }
    // Buttons are in reverse video but the focused one, underlined instead: the mark holds
    // where its caption leaves no room for "> <", and on a disabled button too.
    if ((flags & kFocused) != 0 && role == Role::Button) {
        style.reverse = false;
        style.underline = true;
    }
    if ((flags & kDisabled) != 0) {
        style.dim = true;
        style.bold = false;
    }
    return style;
}

} // namespace

Style StyleOf(Role role, std::uint8_t flags, ColourMode mode) {
    return mode == ColourMode::Colour ? ColourStyle(role, flags) : MonochromeStyle(role, flags);
}

} // namespace kobalt::terminal
