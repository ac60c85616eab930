// NKDbgPrintfW and the debug-line history front ends read.
//
// Lines are appended and handed to the sink under one lock, so the sink sees them in the same
// order as the history and never two at once. The sink therefore must not call NKDbgPrintfW
// (or SetDebugSink) itself, and should return quickly: every thread that writes a debug line
// waits for it.
#include "platform/Debug.h"

#include "platform/DeviceServices.h"
#include "platform/Format.h"

#include <mutex>

namespace kobalt::platform {
namespace {

struct DebugOutput {
    std::mutex m_lock;
    std::vector<std::u16string> m_lines; // every line so far, oldest first
    kobalt::device::DebugSink m_sink;
};

// Never destroyed: detached threads may still print while the process exits.
DebugOutput& Output() {
    static DebugOutput* output = new DebugOutput;
    return *output;
}

} // namespace

void WriteDebugLine(std::u16string line) {
    auto& output = Output();
    std::lock_guard guard(output.m_lock);
    const std::u16string& kept = output.m_lines.emplace_back(std::move(line));
    if (output.m_sink) {
        output.m_sink(kept);
    }
}

} // namespace kobalt::platform

void NKDbgPrintfW(LPCWSTR format, ...) {
    WCHAR buffer[kobalt::platform::kMaxFormattedLength];
    va_list args;
    va_start(args, format);
    int length = wvsprintfW(buffer, format, args);
    va_end(args);
    if (length > 0 && buffer[length - 1] == u'\n') {
        --length;
        if (length > 0 && buffer[length - 1] == u'\r') {
            --length;
        }
    }
    kobalt::platform::WriteDebugLine(std::u16string(buffer, static_cast<std::size_t>(length)));
}

namespace kobalt::device {

void SetDebugSink(DebugSink sink) {
    auto& output = kobalt::platform::Output();
    std::lock_guard guard(output.m_lock);
    output.m_sink = std::move(sink);
}

std::vector<std::u16string> DebugLines() {
    auto& output = kobalt::platform::Output();
    std::lock_guard guard(output.m_lock);
    return output.m_lines;
}

std::size_t DebugLineCount() {
    auto& output = kobalt::platform::Output();
    std::lock_guard guard(output.m_lock);
    return output.m_lines.size();
}

} // namespace kobalt::device
