// Text conversions of the script front end: script files are UTF-8, the desktop is UTF-16, and
// everything printed is UTF-8 with control characters neutralised, so that nothing the console
// or the SDK writes can drive the terminal.
#pragma once

#include "frontend/common/Utf8.h"

#include <string>
#include <string_view>

namespace kobalt::script {

// Strict UTF-8 to UTF-16: nullopt for truncated or overlong sequences, encoded surrogates and
// code points above U+10FFFF.
using frontend::Utf8ToUtf16;

// UTF-16 to UTF-8 for printing. Control characters (U+0000-U+001F, U+007F-U+009F) become \t, \r,
// \n or \xNN, and an unpaired surrogate becomes \uXXXX; everything else is kept.
std::string Printable(std::u16string_view text);

// As Printable, in double quotes, with " and \ escaped as well: the form a script text is
// written in, so a quoted text from a dump can be pasted into a script.
std::string Quoted(std::u16string_view text);

} // namespace kobalt::script
