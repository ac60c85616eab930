// Byte sequences that are not well-formed UTF-8, by kind. Every reader of outside text (the
// simulated SDK's diagnostics, the trace, the event log, scripts) decodes through
// common/Utf8.h, so each must refuse all of these, and none of their bytes may start a
// well-formed sequence further on: a reader that escapes bad bytes escapes every byte >= 0x80.
#pragma once

#include <string>
#include <string_view>

namespace kobalt::testing_utf8 {

using namespace std::string_view_literals;

struct Malformed {
    std::string_view kind;
    std::string_view bytes;
};

inline constexpr Malformed kMalformed[] = {
    {"overlong NUL", "\xC0\x80"sv},
    {"overlong two-byte", "\xC1\xBF"sv},
    {"overlong three-byte", "\xE0\x80\xAF"sv},
    {"overlong U+07FF", "\xE0\x9F\xBF"sv},
    {"overlong four-byte", "\xF0\x80\x80\x80"sv},
    {"overlong U+FFFF", "\xF0\x8F\xBF\xBF"sv},
    {"surrogate D800", "\xED\xA0\x80"sv},
    {"surrogate DFFF", "\xED\xBF\xBF"sv},
    {"surrogate pair as CESU-8", "\xED\xA0\xBD\xED\xB8\x80"sv},
    {"truncated two-byte", "\xC3"sv},
    {"truncated three-byte", "\xE5\xAE"sv},
    {"truncated four-byte", "\xF0\x9F\x98"sv},
    {"above U+10FFFF", "\xF4\x90\x80\x80"sv},
    {"lead F5", "\xF5\x80\x80\x80"sv},
    {"lead F7, U+1FFFFF", "\xF7\xBF\xBF\xBF"sv},
    {"five-byte form", "\xF8\x88\x80\x80\x80"sv},
    {"lone continuation", "\x80"sv},
    {"FE and FF", "\xFE\xFF"sv},
    {"continuation missing", "\xC3("sv},
    {"second continuation missing", "\xE5(\x8B"sv},
    {"third continuation missing", "\xF0\x9F(\x80"sv},
};

// `bytes` with every byte >= 0x80 written as `prefix` and two hex digits.
inline std::string EscapedHighBytes(std::string_view bytes, std::string_view prefix, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += prefix;
            out += digits[byte >> 4];
            out += digits[byte & 0xF];
        }
    }
    return out;
}

} // namespace kobalt::testing_utf8
