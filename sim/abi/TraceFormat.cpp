#include "sim/abi/TraceFormat.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace kobalt::sim {
namespace {

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

void AppendArg(std::string& out, const arg::Int& a) {
    out += std::to_string(a.value);
}

void AppendArg(std::string& out, const arg::Str& a) {
    if (a.text == nullptr) {
        out += "null";
        return;
    }
    out += '"';
    AppendTraceText(out, std::string_view(a.text, ::strnlen(a.text, a.max)));
    out += '"';
}

void AppendArg(std::string& out, const arg::WStr& a) {
    if (a.text == nullptr) {
        out += "null";
        return;
    }
    out += '"';
    AppendTraceText(out, std::u16string_view(a.text, BoundedLength(a.text, a.max)));
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
