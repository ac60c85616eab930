// Case-insensitive order of UTF-16 text, as sorted list boxes and class names use it.
#pragma once

#include <string_view>

namespace kobalt::platform {

// The lower-case form of a letter: ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and the
// full-width Latin letters; any other code unit is returned unchanged.
char16_t FoldCase(char16_t c);

// Compares code unit by code unit after folding: negative, zero or positive as `a` sorts
// before, with or after `b`; a prefix sorts first.
int CompareFolded(std::u16string_view a, std::u16string_view b);

} // namespace kobalt::platform
