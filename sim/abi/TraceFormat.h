// How a trace line shows the arguments of an entry point or a callback.
//
// Each argument is wrapped in a small tag that says what it means to the library (an integer,
// a string the caller passes in, a buffer the library fills, ...), so that formatting reads
// the caller's memory only when a trace is written, and only what the call lets it read.
#pragma once

#include "common/TraceText.h"

#include "sdk/KobaltAbi.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace kobalt::sim {

// The console's callbacks, shown by these names since the library cannot see the console's own.
enum class CallbackKind { Connect, Pair, Hf, Discovery, Pim };

std::string_view CallbackName(CallbackKind kind);

namespace arg {

// An integer, shown in decimal.
struct Int {
    int64_t value;
};

// An 8-bit string the caller passes, NUL-terminated or ending after `max` bytes: shown quoted,
// or null.
struct Str {
    const char* text;
    std::size_t max = std::numeric_limits<std::size_t>::max();
};

// A UTF-16 string the caller passes, NUL-terminated or ending after `max` units: shown quoted
// as UTF-8, or null.
struct WStr {
    const KOBALT_WCHAR* text;
    std::size_t max = std::numeric_limits<std::size_t>::max();
};

// A device address: shown byte 5 first ("66:55:44:33:22:11"), or null.
struct Addr {
    const KOBALT_BdAddr* addr;
};

// A buffer the library fills: shown as buf, or null. Its content is never read.
struct Buf {
    const void* buffer;
};

// A pointer to a 32-bit count that the library may update: shown as & and the count's value on
// entry ("&0"), or null.
struct Count {
    const uint32_t* count;
};

// A pointer to one unsigned byte the callee reads: shown as & and the byte's value ("&5"), or
// null.
struct Byte {
    const uint8_t* byte;
};

// A device record passed by value: shown as {address, "name"}.
struct Record {
    const KOBALT_DeviceRecord& record;
};

// A callback the console hands over: shown by its kind's name, or null.
struct Cb {
    explicit Cb(KOBALT_ConnectCallback fn) : kind(CallbackKind::Connect), present(fn != nullptr) {}
    explicit Cb(KOBALT_PairCallback fn) : kind(CallbackKind::Pair), present(fn != nullptr) {}
    explicit Cb(KOBALT_HfCallback fn) : kind(CallbackKind::Hf), present(fn != nullptr) {}
    explicit Cb(KOBALT_DiscoveryCallback fn)
        : kind(CallbackKind::Discovery), present(fn != nullptr) {}
    explicit Cb(KOBALT_PimCallback fn) : kind(CallbackKind::Pim), present(fn != nullptr) {}

    CallbackKind kind;
    bool present;
};

} // namespace arg

void AppendArg(std::string& out, const arg::Int& a);
void AppendArg(std::string& out, const arg::Str& a);
void AppendArg(std::string& out, const arg::WStr& a);
void AppendArg(std::string& out, const arg::Addr& a);
void AppendArg(std::string& out, const arg::Buf& a);
void AppendArg(std::string& out, const arg::Count& a);
void AppendArg(std::string& out, const arg::Byte& a);
void AppendArg(std::string& out, const arg::Record& a);
void AppendArg(std::string& out, const arg::Cb& a);

// `name(a1, a2, ...)` with each argument formatted by its tag.
template <class... Args> std::string FormatCall(std::string_view name, const Args&... args) {
    std::string out(name);
    out += '(';
    [[maybe_unused]] bool first = true;
    [[maybe_unused]] const auto append = [&](const auto& a) {
        if (!first) {
            out += ", ";
        }
        first = false;
        AppendArg(out, a);
    };
    (append(args), ...);
    out += ')';
    return out;
}

// The inside of a quoted string of a trace line (common/TraceText.h).
using common::AppendTraceText;

} // namespace kobalt::sim
