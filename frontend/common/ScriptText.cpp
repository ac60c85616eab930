#include "frontend/common/ScriptText.h"

#include "frontend/common/Utf8.h"

#include <cstdio>

namespace kobalt::script {

namespace {

using kobalt::frontend::AppendUtf8;

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

std::string Printable(std::u16string_view text) {
    return Escape(text, Quoting::None);
}

std::string Quoted(std::u16string_view text) {
    return Escape(text, Quoting::Script);
}

} // namespace kobalt::script
