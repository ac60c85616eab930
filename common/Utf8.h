// UTF-8 decoding, encoding and validation over utf8proc, the one implementation for the
// console's front ends, the simulated SDK and the bluez library.
//
// Well-formed means RFC 3629: no overlong forms, no encoded surrogates, nothing above U+10FFFF,
// no sequence cut short. Every reader of outside text applies the same rule, so a name the
// simulated SDK accepts is one the front ends can show and a script can match.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kobalt::common {

struct Utf8Char {
    char32_t cp;        // the code point
    std::size_t length; // its bytes in the text, 1 to 4
};

// The code point that starts `text`, when `text` starts with a well-formed sequence.
[[nodiscard]] std::optional<Utf8Char> DecodeUtf8(std::string_view text);

// Appends the UTF-8 form of the code point `cp`; nothing when it is above U+10FFFF. A surrogate
// is written as its three-byte form, for callers that pass lone UTF-16 halves through.
void AppendUtf8(std::string& out, char32_t cp);

// Appends the UTF-16 form of the code point `cp`, a surrogate pair above U+FFFF; nothing when it
// is above U+10FFFF.
inline void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else if (cp <= 0x10FFFF) {
        out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
}

[[nodiscard]] constexpr bool IsSurrogate(char32_t cp) {
    return cp >= 0xD800 && cp <= 0xDFFF;
}

struct Utf16Char {
    char32_t cp;        // the code point, or a lone surrogate
    std::size_t length; // its units in the text, 1 or 2
};

// The code point that starts UTF-16 `text` (not empty): a surrogate pair joined, anything else
// as its one unit, a lone surrogate too, for the caller to refuse, replace or escape.
[[nodiscard]] constexpr Utf16Char DecodeUtf16(std::u16string_view text) {
    const char32_t first = text[0];
    if (first >= 0xD800 && first <= 0xDBFF && text.size() > 1 && text[1] >= 0xDC00 &&
        text[1] <= 0xDFFF) {
        return {0x10000 + ((first - 0xD800) << 10) + (char32_t{text[1]} - 0xDC00), 2};
    }
    return {first, 1};
}

// The UTF-16 form of well-formed UTF-8; none when `text` is not well formed.
[[nodiscard]] std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// The UTF-8 form of UTF-16 text; none when it holds an unpaired surrogate.
[[nodiscard]] std::optional<std::string> Utf16ToUtf8(std::u16string_view text);

// The device code page's reading (MultiByteToWideChar), shared with the front ends that must
// convert as the console does. Reads the code point of UTF-8 text that starts at `i` and moves `i`
// past what it read. An ill-formed piece (a byte that cannot start a sequence, or the longest start
// of a sequence that cannot be completed, overlong forms and surrogates included) reads as one
// U+FFFD, following Unicode's "maximal subpart" practice. `i` must be below text.size().
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
inline std::u16string Utf8ToUtf16Replacing(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        AppendUtf16(out, NextUtf8CodePoint(text, i));
    }
    return out;
}

} // namespace kobalt::common
