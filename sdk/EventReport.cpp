#include "sdk/EventReport.h"

#include "common/TraceText.h"
#include "platform/Desktop.h"

#include <charconv>
#include <cstdio>
#include <iterator>

namespace kobalt::events {
namespace {

// A text in quotes, as the trace shows it.
void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    common::AppendTraceText(out, text);
    out += '"';
}

// At most `units` units of `text`, up to its terminator, in quotes.
void AppendQuoted(std::string& out, const KOBALT_WCHAR* text, std::size_t units) {
    std::size_t length = 0;
    while (length < units && text[length] != 0)
        ++length;
    out += '"';
    common::AppendTraceText(out, std::u16string_view(text, length));
    out += '"';
}

template <class Number> void AppendNumber(std::string& out, Number value) {
    char text[24];
    const auto [end, error] = std::to_chars(std::begin(text), std::end(text), value);
    out.append(text, end);
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
    AppendQuoted(line, record.name, std::size(record.name));
    return line + "})";
}

std::string PimLine(int32_t event) {
    return "PimCallback(" + std::to_string(event) + ')';
}

void AppendHandsFreeLine(std::string& line, uint32_t code, const HfData& data) {
    line += "HfEventCallback(";
    AppendNumber(line, code);
    line += ", ";
    switch (data.kind) {
    case HfDataKind::None:
        line += '0';
        break;
    case HfDataKind::Level:
        line += '&';
        AppendNumber(line, data.level);
        break;
    case HfDataKind::Text:
        AppendQuoted(line, data.text);
        break;
    case HfDataKind::Unread:
        line += '?';
        break;
    }
    line += ')';
}

std::string HandsFreeLine(uint32_t code, const HfData& data) {
    std::string line;
    AppendHandsFreeLine(line, code, data);
    return line;
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
    if (!Observed())
        return;
    // Hands-free events come in storms: the line is made in a buffer the thread keeps.
    thread_local std::string line;
    line.clear();
    AppendHandsFreeLine(line, code, data);
    desktop::ReportHandledEvent(line);
}

} // namespace kobalt::events
