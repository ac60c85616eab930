// Device names: UTF-8 inside the library, UTF-16 in fixed-size buffers of the console.
#pragma once

#include "common/Utf8.h"
#include "sdk/KobaltAbi.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kobalt::sim {

using common::AppendUtf8;
using common::Utf8ToUtf16; // none when the text is not well-formed UTF-8

// Writes `text` and a terminating NUL into `out`, which holds `capacity` units (at least 1):
// at most capacity - 1 units of text, never the first half of a surrogate pair alone. Writes
// nothing past the terminator. Returns the number of text units written.
std::size_t CopyTerminated(std::u16string_view text, KOBALT_WCHAR* out, std::size_t capacity);

} // namespace kobalt::sim
