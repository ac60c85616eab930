#include "common/TraceText.h"

#include "common/Utf8.h"

#include <array>
#include <cstdio>

namespace kobalt::common {
namespace {

void AppendHexByte(std::string& out, unsigned byte) {
    std::array<char, 5> text{};
    std::snprintf(text.data(), text.size(), "\\x%02X", byte & 0xFFu);
    out += text.data();
}

void AppendAscii(std::string& out, unsigned c) {
    if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
        AppendHexByte(out, c);
    } else {
        out += static_cast<char>(c);
    }
}

void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        AppendAscii(out, cp);
    } else {
        AppendUtf8(out, cp);
    }
}

} // namespace

void AppendTraceText(std::string& out, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            AppendAscii(out, c);
            ++i;
        } else if (const std::optional<Utf8Char> decoded = DecodeUtf8(text.substr(i))) {
            out.append(text.substr(i, decoded->length));
            i += decoded->length;
        } else {
            AppendHexByte(out, c);
            ++i;
        }
    }
}

void AppendTraceText(std::string& out, std::u16string_view text) {
    while (!text.empty()) {
        const Utf16Char decoded = DecodeUtf16(text);
        AppendCodePoint(out, IsSurrogate(decoded.cp) ? 0xFFFD : decoded.cp);
        text.remove_prefix(decoded.length);
    }
}

} // namespace kobalt::common
