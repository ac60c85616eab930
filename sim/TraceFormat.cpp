#include "sim/TraceFormat.h"

#include "sim/Utf16.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace kobalt::sim {
namespace {

void AppendHexByte(std::string& out, unsigned byte) {
    std::array<char, 5> text{};
    std::snprintf(text.data(), text.size(), "\\x%02X", byte & 0xFFu);
    out += text.data();
}

// Appends an ASCII character, escaped where the trace format requires it.
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

// Length of the well-formed UTF-8 sequence (RFC 3629: no overlong forms, no surrogates, at most
// U+10FFFF) that starts `text`, or 0 when its first byte does not start one.
std::size_t Utf8SequenceLength(std::string_view text) {
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

std::size_t BoundedLength(const KOBALT_WCHAR* text, std::size_t max) {
    std::size_t length = 0;
    while (length < max && text[length] != 0) {
        ++length;
    }
    return length;
}

} // namespace

std::string_view CallbackName(CallbackKind kind) {
    switch (kind) {
    case CallbackKind::Connect:
        return "ConnectEventCallback";
    case CallbackKind::Pair:
        return "PairEventCallback";
    case CallbackKind::Hf:
        return "HfEventCallback";
    case CallbackKind::Discovery:
        return "DiscoveryCallback";
    case CallbackKind::Pim:
        return "PimCallback";
    }
    return "Callback";
}

void AppendQuotedUtf8(std::string& out, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            AppendAscii(out, c);
            ++i;
        } else if (const std::size_t length = Utf8SequenceLength(text.substr(i)); length != 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            AppendHexByte(out, c);
            ++i;
        }
    }
}

void AppendQuotedUtf16(std::string& out, std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendCodePoint(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) +
                                     (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (high || low) {
            AppendCodePoint(out, 0xFFFD);
        } else {
            AppendCodePoint(out, unit);
        }
    }
}

void AppendArg(std::string& out, const arg::Int& a) {
    out += std::to_string(a.value);
}

void AppendArg(std::string& out, const arg::Str& a) {
    if (a.text == nullptr) {
        out += "null";
        return;
    }
    out += '"';
    AppendQuotedUtf8(out, std::string_view(a.text, ::strnlen(a.text, a.max)));
    out += '"';
}

void AppendArg(std::string& out, const arg::WStr& a) {
    if (a.text == nullptr) {
        out += "null";
        return;
    }
    out += '"';
    AppendQuotedUtf16(out, std::u16string_view(a.text, BoundedLength(a.text, a.max)));
    out += '"';
}

void AppendArg(std::string& out, const arg::Addr& a) {
    if (a.addr == nullptr) {
        out += "null";
        return;
    }
    const uint8_t* b = a.addr->b;
    std::array<char, 18> text{};
    std::snprintf(text.data(), text.size(), "%02X:%02X:%02X:%02X:%02X:%02X", b[5], b[4], b[3], b[2],
                  b[1], b[0]);
    out += text.data();
}

void AppendArg(std::string& out, const arg::Buf& a) {
    out += a.buffer == nullptr ? "null" : "buf";
}

void AppendArg(std::string& out, const arg::Count& a) {
    if (a.count == nullptr) {
        out += "null";
        return;
    }
    out += '&';
    out += std::to_string(*a.count);
}

void AppendArg(std::string& out, const arg::Byte& a) {
    if (a.byte == nullptr) {
        out += "null";
        return;
    }
    out += '&';
    out += std::to_string(unsigned{*a.byte});
}

void AppendArg(std::string& out, const arg::Record& a) {
    out += '{';
    AppendArg(out, arg::Addr{&a.record.addr});
    out += ", ";
    AppendArg(out, arg::WStr{a.record.name, std::size(a.record.name)});
    out += '}';
}

void AppendArg(std::string& out, const arg::Cb& a) {
    out += a.present ? CallbackName(a.kind) : "null";
}

} // namespace kobalt::sim
