// Delivery of messages to window procedures and the message trace.
//
// With the `msg` debug channel on (KOBALT_DEBUG=+msg, read once during static initialisation,
// before any window exists) every delivered message is written to the debug output as one line.
// The trace is an observer set at start: with the channel off a delivery costs one relaxed load
// of a null pointer more.

#include "platform/MessageDelivery.h"

#include "common/DebugChannels.h"
#include "platform/Debug.h"
#include "platform/InitOrder.h"
#include "platform/MessageNames.h"
#include "platform/WindowRecords.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace kobalt::platform {
namespace {

using DeliveryObserver = void (*)(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Delivery how);

// Set only during static initialisation, before other threads exist; relaxed loads suffice.
std::atomic<DeliveryObserver> g_observer{nullptr};

void TraceDelivery(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Delivery how) {
    WriteDebugLine(MessageTraceLine(hwnd, msg, wParam, lParam, how, GetCurrentThreadId()));
}

struct MessageTraceSwitch {
    MessageTraceSwitch() {
        if (common::DebugChannelOn(std::getenv(common::kDebugChannelsVariable), "msg")) {
            g_observer.store(&TraceDelivery, std::memory_order_relaxed);
        }
    }
};

const MessageTraceSwitch g_traceSwitch KOBALT_INIT_ORDER(KOBALT_INIT_DEBUG_CHANNELS);

} // namespace

std::u16string MessageTraceLine(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Delivery how,
                                DWORD threadId) {
    // Names come from the message table and numbers are hexadecimal: printable ASCII only.
    char numbers[160];
    std::snprintf(numbers, sizeof numbers,
                  " hwnd=0x%" PRIXPTR " wParam=0x%" PRIXPTR " lParam=0x%" PRIXPTR " thread=%lu",
                  reinterpret_cast<std::uintptr_t>(hwnd), static_cast<std::uintptr_t>(wParam),
                  static_cast<std::uintptr_t>(lParam), static_cast<unsigned long>(threadId));
    const std::string line = std::string("msg: ") + (how == Delivery::Sent ? "sent " : "posted ") +
                             MessageName(msg) + numbers;
    return std::u16string(line.begin(), line.end());
}

LRESULT DeliverMessage(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                       Delivery how) {
    if (const DeliveryObserver observer = g_observer.load(std::memory_order_relaxed)) {
        observer(hwnd, msg, wParam, lParam, how);
    }
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CallWindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Delivery how) {
    WNDPROC proc = nullptr;
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        if (!w)
            return 0;
        proc = w->proc;
    }
    return DeliverMessage(proc, hwnd, msg, wParam, lParam, how);
}

} // namespace kobalt::platform
