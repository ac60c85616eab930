// Test windows shared by the window-server and thread-queue tests: a window that records what
// it is sent, a thread that owns one and pumps its messages, and a bounded pump.
#pragma once

#include "platform/Windows.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kobalt::test {

using namespace std::chrono_literals;

inline constexpr UINT kRecord = WM_APP + 1; // handlers record wParam
inline constexpr UINT kStop = WM_APP + 2;   // ends a thread's message loop

// What a test window saw, in order. Shared with the window through GWLP_USERDATA.
struct Log {
    std::mutex mutex;
    std::vector<WPARAM> values;
    std::vector<DWORD> threads;
    std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> hook; // optional, for special handling

    void Add(WPARAM value) {
        std::lock_guard<std::mutex> lock(mutex);
        values.push_back(value);
        threads.push_back(GetCurrentThreadId());
    }
    std::vector<WPARAM> Values() {
        std::lock_guard<std::mutex> lock(mutex);
        return values;
    }
};

inline LRESULT LogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* log = reinterpret_cast<Log*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (log && log->hook && msg >= WM_APP)
        return log->hook(hwnd, msg, wParam, lParam);
    if (msg == kRecord && log) {
        log->Add(wParam);
        return static_cast<LRESULT>(wParam) * 2;
    }
    if (msg == kStop) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

inline HWND MakeWindow(Log* log) {
    HWND hwnd = CreateWindowExW(0, nullptr, u"test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, reinterpret_cast<LPVOID>(&LogProc));
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(log));
    return hwnd;
}

// A thread that owns one window and pumps its messages until kStop.
class OwnerThread {
public:
    explicit OwnerThread(Log* log, HANDLE startGate = nullptr) {
        m_thread = std::thread([this, log, startGate] {
            HWND hwnd = MakeWindow(log);
            m_threadId = GetCurrentThreadId();
            m_hwnd.store(hwnd);
            if (startGate)
                WaitForSingleObject(startGate, INFINITE);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0))
                DispatchMessageW(&msg);
            if (IsWindow(hwnd))
                DestroyWindow(hwnd);
        });
        while (!m_hwnd.load())
            std::this_thread::yield();
    }
    ~OwnerThread() { Stop(); }
    void Stop() {
        if (m_thread.joinable()) {
            PostMessageW(m_hwnd.load(), kStop, 0, 0);
            m_thread.join();
        }
    }
    HWND Handle() const { return m_hwnd.load(); }
    DWORD ThreadId() const { return m_threadId; }

private:
    std::thread m_thread;
    std::atomic<HWND> m_hwnd{nullptr};
    DWORD m_threadId = 0;
};

// Pumps the calling thread's messages until `done` or a bound.
inline void PumpUntil(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + 5s;
    MSG msg;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        std::this_thread::sleep_for(1ms);
    }
}

} // namespace kobalt::test
