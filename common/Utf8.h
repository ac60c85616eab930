// UTF-8 encoding and validation, shared by the console, the simulated SDK and the front ends.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kobalt::common {

// Appends the UTF-8 form of the code point `cp` (at most U+10FFFF, not a surrogate).
inline void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The UTF-8 form of UTF-16 text; none when it holds an unpaired surrogate.
inline std::optional<std::string> Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return std::nullopt;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return std::nullopt;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

// Reads the code point of UTF-8 text that starts at `i` and moves `i` past what it read. An
// ill-formed piece (a byte that cannot start a sequence, or the longest start of a sequence that
// cannot be completed, overlong forms and surrogates included) reads as one U+FFFD, following
// Unicode's "maximal subpart" practice. `i` must be below text.size().
inline char32_t NextUtf8CodePoint(std::string_view text, std::size_t& i) {
    constexpr char32_t kReplacement = 0xFFFD;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned lead = byte(i++);
    if (lead < 0x80) {
        return lead;
    }
    std::size_t trail = 0;
    unsigned low = 0x80; // bounds of the first trail byte
    unsigned high = 0xBF;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2;
        cp = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlongs
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3;
        cp = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;  // no overlongs
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return kReplacement;
    }
    for (std::size_t k = 0; k < trail; ++k, ++i) {
        if (i >= text.size() || byte(i) < (k == 0 ? low : 0x80) ||
            byte(i) > (k == 0 ? high : 0xBF)) {
            return kReplacement;
        }
        cp = (cp << 6) | (byte(i) & 0x3F);
    }
    return cp;
}

// The UTF-16 form of UTF-8 text, each ill-formed piece read as U+FFFD (NextUtf8CodePoint).
inline std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = NextUtf8CodePoint(text, i);
        if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
        } else {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return out;
}

// Length of the well-formed UTF-8 sequence (RFC 3629: no overlong forms, no surrogates, at most
// U+10FFFF) that starts `text`, or 0 when its first byte does not start one.
inline std::size_t Utf8SequenceLength(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(0);
    std::size_t length = 0;
    unsigned low = 0x80; // bounds of the second byte
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

} // namespace kobalt::common
