// Cross-thread messaging against a bare condition-variable handoff measured in the same run.
//
// PostToHandler: the benchmark thread posts to a window of another thread and waits until the
// handler has run. SendRoundTrip: SendMessageW to that window. Baselines: the same handoffs with
// one mutex and condition variables and nothing else.

#include "platform/Windows.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

constexpr UINT kPing = WM_APP + 1;
constexpr UINT kStop = WM_APP + 2;

// A thread that owns one window and runs its message loop.
class WindowThread {
public:
    WindowThread() {
        m_thread = std::thread([this] {
            HWND hwnd = CreateWindowExW(0, nullptr, u"bench", WS_POPUP, 0, 0, 10, 10, nullptr,
                                        nullptr, nullptr, reinterpret_cast<LPVOID>(&Proc));
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            m_hwnd.store(hwnd);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0))
                DispatchMessageW(&msg);
            DestroyWindow(hwnd);
        });
        while (!m_hwnd.load())
            std::this_thread::yield();
    }
    ~WindowThread() {
        PostMessageW(m_hwnd.load(), kStop, 0, 0);
        m_thread.join();
    }
    HWND Handle() const { return m_hwnd.load(); }

    // Waits until the handler has seen `count` pings.
    void WaitHandled(std::uint64_t count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [&] { return m_handled >= count; });
    }

private:
    static LRESULT Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<WindowThread*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == kPing && self) {
            {
                std::lock_guard<std::mutex> lock(self->m_mutex);
                ++self->m_handled;
            }
            self->m_done.notify_one();
            return 1;
        }
        if (msg == kStop) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    std::thread m_thread;
    std::atomic<HWND> m_hwnd{nullptr};
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::uint64_t m_handled = 0;
};

void BM_PostToHandler(benchmark::State& state) {
    WindowThread window;
    std::uint64_t sent = 0;
    for (auto _ : state) {
        PostMessageW(window.Handle(), kPing, 0, 0);
        window.WaitHandled(++sent);
    }
}
BENCHMARK(BM_PostToHandler)->UseRealTime();

void BM_SendRoundTrip(benchmark::State& state) {
    WindowThread window;
    for (auto _ : state)
        benchmark::DoNotOptimize(SendMessageW(window.Handle(), kPing, 0, 0));
}
BENCHMARK(BM_SendRoundTrip)->UseRealTime();

// Baseline: hand a request to another thread and wait for its answer.
void BM_ConditionVariableHandoff(benchmark::State& state) {
    std::mutex mutex;
    std::condition_variable request, reply;
    std::uint64_t asked = 0, answered = 0;
    bool stop = false;
    std::thread worker([&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            request.wait(lock, [&] { return stop || asked > answered; });
            if (stop)
                return;
            answered = asked;
            reply.notify_one();
        }
    });
    for (auto _ : state) {
        std::unique_lock<std::mutex> lock(mutex);
        ++asked;
        request.notify_one();
        reply.wait(lock, [&] { return answered == asked; });
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    request.notify_one();
    worker.join();
}
BENCHMARK(BM_ConditionVariableHandoff)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
