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
    while (!text.empty()) {
        const frontend::Utf16Char decoded = frontend::DecodeUtf16(text);
        text.remove_prefix(decoded.length);
        const char32_t cp = decoded.cp;
        if (frontend::IsSurrogate(cp)) {
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
