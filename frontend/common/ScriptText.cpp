#include "frontend/common/ScriptText.h"

#include "frontend/common/Utf8.h"

#include <cstdint>
#include <cstdio>

namespace kobalt::script {

namespace {

using kobalt::frontend::AppendUtf8;

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, format, value);
    out += buffer;
}

enum class Quoting { None, Script };

std::string Escape(std::u16string_view text, Quoting quoting) {
    std::string out;
    out.reserve(text.size() + 2);
    if (quoting == Quoting::Script) {
        out += '"';
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            AppendEscape(out, "\\u%04X", static_cast<unsigned>(cp));
            continue;
        }
        switch (cp) {
        case u'\t':
            out += "\\t";
            continue;
        case u'\r':
            out += "\\r";
            continue;
        case u'\n':
            out += "\\n";
            continue;
        case u'"':
        case u'\\':
            if (quoting == Quoting::Script) {
                out += '\\';
            }
            break;
        default:
            break;
        }
        if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) {
            AppendEscape(out, "\\x%02X", static_cast<unsigned>(cp));
        } else {
            AppendUtf8(out, cp);
        }
    }
    if (quoting == Quoting::Script) {
        out += '"';
    }
    return out;
}

} // namespace

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        char32_t cp = 0;
        std::size_t length = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            cp = lead;
            length = 1;
        } else if ((lead & 0xE0) == 0xC0) {
            cp = lead & 0x1F;
            length = 2;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            cp = lead & 0x0F;
            length = 3;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            cp = lead & 0x07;
            length = 4;
            minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + length > text.size()) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if (!IsContinuation(c)) {
                return std::nullopt;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return std::nullopt;
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

std::string Printable(std::u16string_view text) {
    return Escape(text, Quoting::None);
}

std::string Quoted(std::u16string_view text) {
    return Escape(text, Quoting::Script);
}

} // namespace kobalt::script
