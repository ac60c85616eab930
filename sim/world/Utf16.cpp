#include "sim/world/Utf16.h"

#include <algorithm>

namespace kobalt::sim {

std::size_t CopyTerminated(std::u16string_view text, KOBALT_WCHAR* out, std::size_t capacity) {
    std::size_t length = std::min(text.size(), capacity - 1);
    if (length > 0 && length < text.size() && text[length - 1] >= 0xD800 &&
        text[length - 1] <= 0xDBFF) {
        --length; // keep pairs whole
    }
    for (std::size_t i = 0; i < length; ++i) {
        out[i] = text[i];
    }
    out[length] = 0;
    return length;
}

} // namespace kobalt::sim
