// Text from the desktop as terminal cells.
//
// Everything the console shows may come from outside (a phone's name, a number, a debug line),
// so text is neutralised before it reaches the grid: control characters (C0, DEL, C1, line and
// paragraph separators) become U+FFFD, a tab becomes a blank, format characters (bidi overrides,
// zero-width joiners, variation selectors) are dropped, and unpaired surrogates become U+FFFD.
// What is left cannot move the cursor or change the terminal's state. Classes and widths come
// from utf8proc's Unicode data, not from the C library, so the layout does not depend on the
// process's locale.
#pragma once

#include "frontend/common/Utf8.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::terminal {

inline constexpr char32_t kReplacement = U'\uFFFD';

// What one code point does in a terminal line.
enum class CharClass {
    Control,   // would drive the terminal (Cc, Zl, Zp, lone surrogates): shown as U+FFFD
    Format,    // invisible formatting (Cf, variation selectors): dropped
    Combining, // a mark of no width (Mn, Me, Mc) drawn on the character before it
    Narrow,    // one column
    Wide,      // two columns (East Asian wide and fullwidth, emoji presentation)
};

CharClass Classify(char32_t cp);

// One character as drawn: a base character with at most two marks, one or two columns wide.
struct Glyph {
    char32_t ch = U' ';
    std::array<char32_t, 2> marks{}; // combining marks, 0 when unused; further marks are dropped
    int width = 1;                   // 1 or 2
    std::size_t source = 0;          // index of its first code unit in the source text
};

// The text as glyphs that are safe to draw.
std::vector<Glyph> ToGlyphs(std::u16string_view text);

// Columns the glyphs take.
int Columns(const std::vector<Glyph>& glyphs);
int Columns(std::u16string_view text);

// UTF-8 encoding, shared with the script front end.
using frontend::AppendUtf8;

} // namespace kobalt::terminal
