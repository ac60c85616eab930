#include "common/Utf8.h"

#include <utf8proc.h>

namespace kobalt::common {

std::optional<Utf8Char> DecodeUtf8(std::string_view text) {
    utf8proc_int32_t cp = -1;
    const utf8proc_ssize_t length =
        utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                         static_cast<utf8proc_ssize_t>(text.size()), &cp);
    if (length <= 0 || cp < 0) {
        return std::nullopt;
    }
    return Utf8Char{static_cast<char32_t>(cp), static_cast<std::size_t>(length)};
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF) {
        return;
    }
    utf8proc_uint8_t bytes[4];
    const utf8proc_ssize_t length = utf8proc_encode_char(static_cast<utf8proc_int32_t>(cp), bytes);
    out.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::optional<Utf8Char> decoded = DecodeUtf8(text);
        if (!decoded) {
            return std::nullopt;
        }
        AppendUtf16(out, decoded->cp);
        text.remove_prefix(decoded->length);
    }
    return out;
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    while (!text.empty()) {
        const Utf16Char decoded = DecodeUtf16(text);
        if (IsSurrogate(decoded.cp)) {
            return std::nullopt;
        }
        AppendUtf8(out, decoded.cp);
        text.remove_prefix(decoded.length);
    }
    return out;
}

} // namespace kobalt::common
