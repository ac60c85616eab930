// Colours and attributes of cells: what a role and its states look like on a terminal.
#pragma once

#include "frontend/terminal/Grid.h"

#include <cstdint>

namespace kobalt::terminal {

// The eight ANSI colours; Default is the terminal's own.
enum class Colour : std::int8_t {
    Default = -1,
    Black,
    Red,
    Green,
    Yellow,
    Blue,
    Magenta,
    Cyan,
    White
};

struct Style {
    Colour fg = Colour::Default;
    Colour bg = Colour::Default;
    bool bold = false;
    bool dim = false;
    bool reverse = false;
    bool underline = false;
    bool operator==(const Style&) const = default;
};

enum class ColourMode { Colour, Monochrome };

Style StyleOf(Role role, std::uint8_t flags, ColourMode mode);

} // namespace kobalt::terminal
