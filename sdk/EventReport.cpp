#include "sdk/EventReport.h"

#include "platform/Desktop.h"

#include <cstdio>

namespace kobalt::events {
namespace {

void AppendHexByte(std::string& out, unsigned byte) {
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02X", byte & 0xFFu);
    out += text;
}

// An ASCII character inside quotes: `"` and `\` escaped, control characters as \xNN.
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
        AppendAscii(out, static_cast<unsigned>(cp));
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

// Length of the well-formed UTF-8 sequence (no overlong forms, no surrogates, at most
// U+10FFFF) that starts `text`, or 0 when its first byte does not start one.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(0);
    std::size_t length = 0;
    unsigned low = 0x80;
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
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

void AppendQuotedUtf8(std::string& out, std::string_view text) {
    out += '"';
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
    out += '"';
}

// At most `units` units of `text`, up to its terminator.
void AppendQuotedUtf16(std::string& out, const KOBALT_WCHAR* text, std::size_t units) {
    std::size_t length = 0;
    while (length < units && text[length] != 0)
        ++length;
    out += '"';
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t unit = text[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendCodePoint(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) +
                                     (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (high || low) {
            AppendCodePoint(out, 0xFFFD);
        } else {
            AppendCodePoint(out, unit);
        }
    }
    out += '"';
}

void AppendAddress(std::string& out, const KOBALT_BdAddr* addr) {
    if (addr == nullptr) {
        out += "null";
        return;
    }
    const uint8_t* b = addr->b;
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", b[5], b[4], b[3], b[2], b[1],
                  b[0]);
    out += text;
}

} // namespace

bool Observed() {
    return desktop::HandledEventObserved();
}

std::string ConnectLine(int connected, const KOBALT_BdAddr* addr, int service) {
    std::string line = "ConnectEventCallback(" + std::to_string(connected) + ", ";
    AppendAddress(line, addr);
    return line + ", " + std::to_string(service) + ')';
}

std::string PairLine(int success, const KOBALT_BdAddr* addr) {
    std::string line = "PairEventCallback(" + std::to_string(success) + ", ";
    AppendAddress(line, addr);
    return line + ')';
}

std::string DiscoveryLine(int finished, const KOBALT_DeviceRecord& record) {
    std::string line = "DiscoveryCallback(" + std::to_string(finished) + ", {";
    AppendAddress(line, &record.addr);
    line += ", ";
    AppendQuotedUtf16(line, record.name, std::size(record.name));
    return line + "})";
}

std::string PimLine(int32_t event) {
    return "PimCallback(" + std::to_string(event) + ')';
}

std::string HandsFreeLine(uint32_t code, const HfData& data) {
    std::string line = "HfEventCallback(" + std::to_string(code) + ", ";
    switch (data.kind) {
    case HfDataKind::None:
        line += '0';
        break;
    case HfDataKind::Level:
        line += '&' + std::to_string(data.level);
        break;
    case HfDataKind::Text:
        AppendQuotedUtf8(line, data.text);
        break;
    case HfDataKind::Unread:
        line += '?';
        break;
    }
    return line + ')';
}

void ReportConnect(int connected, const KOBALT_BdAddr* addr, int service) {
    if (Observed())
        desktop::ReportHandledEvent(ConnectLine(connected, addr, service));
}

void ReportPair(int success, const KOBALT_BdAddr* addr) {
    if (Observed())
        desktop::ReportHandledEvent(PairLine(success, addr));
}

void ReportDiscovery(int finished, const KOBALT_DeviceRecord& record) {
    if (Observed())
        desktop::ReportHandledEvent(DiscoveryLine(finished, record));
}

void ReportPim(int32_t event) {
    if (Observed())
        desktop::ReportHandledEvent(PimLine(event));
}

void ReportHandsFree(uint32_t code, const HfData& data) {
    if (Observed())
        desktop::ReportHandledEvent(HandsFreeLine(code, data));
}

} // namespace kobalt::events
