// Device names: UTF-8 inside the library, UTF-16 in fixed-size buffers of the console.
#pragma once

#include "common/Utf8.h"
#include "sdk/KobaltAbi.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kobalt::sim {

// The UTF-16 form of well-formed UTF-8; none when `text` is not well formed.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

using common::AppendUtf8;

// Writes `text` and a terminating NUL into `out`, which holds `capacity` units (at least 1):
// at most capacity - 1 units of text, never the first half of a surrogate pair alone. Writes
// nothing past the terminator. Returns the number of text units written.
std::size_t CopyTerminated(std::u16string_view text, KOBALT_WCHAR* out, std::size_t capacity);

} // namespace kobalt::sim
