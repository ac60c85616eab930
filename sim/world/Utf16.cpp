#include "sim/world/Utf16.h"

#include <algorithm>

namespace kobalt::sim {

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    std::size_t i = 0;
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    while (i < text.size()) {
        const unsigned lead = byte(i);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t cp = 0;
        unsigned low = 0x80; // bounds of the second byte (RFC 3629)
        unsigned high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return std::nullopt;
        }
        if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
                return std::nullopt;
            }
            cp = (cp << 6) | (byte(i + k) & 0x3F);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += length;
    }
    return out;
}

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
