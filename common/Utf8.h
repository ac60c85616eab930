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

} // namespace kobalt::common
