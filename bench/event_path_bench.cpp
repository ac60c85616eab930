// The hands-free event path inside one process: the simulated SDK makes N signal events at once
// (one control command, no socket per event), and each goes through the console's callback, the
// post to the main window and the main window's handler, which lists it as "Sngl(level)". Every
// run checks that the callback saw the levels in the order they were sent and that the handler
// listed all N, each level as often as it was sent (the list is sorted, so its order says
// nothing; the post keeps one thread's order).
//
// Baseline in the same run: a bare cross-thread queue (one mutex, one condition variable, a
// deque) carrying N events from one thread to another, which checks their order.

#include "app/MainApp.h"
#include "app/MainDlg.h"
#include "app/SdkCallbacks.h"
#include "frontend/script/PhoneClient.h"
#include "platform/Desktop.h"
#include "res/resource.h"
#include "sdk/SdkApi.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace {

namespace desktop = kobalt::desktop;

constexpr auto kBound = std::chrono::seconds(60);

std::atomic<HWND> g_main{nullptr};
std::atomic<std::uint64_t> g_delivered{0};

// The console's hands-free callback behind a check of the levels' order; both run on the SDK's
// event thread only.
KOBALT_Fn_HFAP_RegisterCallback g_register = nullptr;
KOBALT_HfCallback g_console = nullptr;
std::uint64_t g_signals = 0;
std::atomic<bool> g_callbackInOrder{true};

int CheckedCallback(uint32_t code, intptr_t data) {
    if (code == 17 && data != 0) {
        if (*reinterpret_cast<const uint8_t*>(data) != g_signals % 6)
            g_callbackInOrder.store(false);
        ++g_signals;
    }
    return g_console(code, data);
}

int RegisterChecked(int index, KOBALT_HfCallback callback) {
    g_console = callback;
    return g_register(index, &CheckedCallback);
}

// Counts the dialer-state messages the main window's procedure receives.
void CountDelivery(HWND window, UINT msg) {
    if (msg == g_uDialerStateMsg && window == g_main.load(std::memory_order_relaxed))
        g_delivered.fetch_add(1, std::memory_order_relaxed);
}

const desktop::ControlView* FindControl(const desktop::Snapshot& snapshot, int id) {
    for (const auto& window : snapshot.windows)
        if (window.hwnd == g_main.load())
            for (const auto& control : window.controls)
                if (control.id == id)
                    return &control;
    return nullptr;
}

bool Press(int id) {
    const desktop::Snapshot snapshot = desktop::TakeSnapshot({.maxLinesPerList = 0});
    const desktop::ControlView* button = FindControl(snapshot, id);
    return button != nullptr && desktop::Click(button->hwnd) == desktop::InputResult::Ok &&
           desktop::WaitInputSettled(kBound);
}

// The console's main window, running modally on a thread of its own as on the device's
// user-interface thread; started, with the hands-free link up.
class ConsoleThread {
public:
    ConsoleThread() {
        m_thread = std::thread([] {
            CMainDlg dlg(nullptr);
            theApp.m_pMainWnd = &dlg;
            dlg.DoModal();
            theApp.m_pMainWnd = nullptr;
        });
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        while (g_main.load() == nullptr && std::chrono::steady_clock::now() < deadline) {
            for (const auto& w : desktop::TakeSnapshot({.maxLinesPerList = 0}).windows)
                if (w.templateId == IDD_KOBALTDEMO_DIALOG)
                    g_main.store(w.hwnd);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_ready = g_main.load() != nullptr && desktop::WaitOwnerIdle(g_main.load(), kBound) &&
                  Press(IDC_MAIN_START) &&
                  kobalt::script::AskPhone("connect 66:55:44:33:22:11 hf", kBound).ok &&
                  desktop::WaitOwnerIdle(g_main.load(), kBound);
    }
    ~ConsoleThread() {
        PostMessageW(g_main.load(), WM_CLOSE, 0, 0);
        m_thread.join();
        g_main.store(nullptr);
    }
    bool Ready() const { return m_ready; }

private:
    std::thread m_thread;
    bool m_ready = false;
};

// The status list holds `count` lines, Sngl(0) to Sngl(5) each as often as the levels 0, 1, ...,
// 5, 0, ... of `count` events give.
bool AllListed(std::uint64_t count) {
    const desktop::Snapshot snapshot = desktop::TakeSnapshot();
    const desktop::ControlView* list = FindControl(snapshot, IDC_MAIN_STATUSLIST);
    if (list == nullptr || list->lines.size() != count)
        return false;
    std::map<std::u16string, std::uint64_t> seen;
    for (const std::u16string& line : list->lines)
        ++seen[line];
    for (std::uint64_t level = 0; level < 6; ++level) {
        const std::u16string line = u"Sngl(" + std::u16string(1, char16_t(u'0' + level)) + u")";
        if (seen[line] != count / 6 + (level < count % 6 ? 1 : 0))
            return false;
    }
    return seen.size() == 6;
}

void HandsFreeEventPath(benchmark::State& state) {
    const auto events = static_cast<std::uint64_t>(state.range(0));
    desktop::SetDeliveryObserver(&CountDelivery);
    g_register = g_SdkApi.KOBALT_HFAP_RegisterCallback.Get();
    g_SdkApi.KOBALT_HFAP_RegisterCallback = &RegisterChecked;
    ConsoleThread console;
    if (!console.Ready()) {
        state.SkipWithError("the console did not start and connect");
        desktop::SetDeliveryObserver(nullptr);
        return;
    }
    bool inOrder = true;
    for (auto _ : state) {
        Press(IDC_MAIN_CLEAR);
        g_delivered.store(0);
        g_signals = 0; // the event thread is idle between storms
        const auto start = std::chrono::steady_clock::now();
        if (!kobalt::script::AskPhone("signal-storm " + std::to_string(events), kBound).ok) {
            state.SkipWithError("signal-storm refused");
            break;
        }
        const auto deadline = start + kBound;
        while (g_delivered.load(std::memory_order_relaxed) < events &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        desktop::WaitOwnerIdle(g_main.load(), kBound);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        inOrder = inOrder && AllListed(events);
    }
    desktop::SetDeliveryObserver(nullptr);
    inOrder = inOrder && g_callbackInOrder.load();
    if (!inOrder)
        state.SkipWithError("events were lost or reordered");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * events));
}
BENCHMARK(HandsFreeEventPath)
    ->Arg(100'000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The baseline: N events through a bare queue from one thread to another.
void BareQueue(benchmark::State& state) {
    const auto events = static_cast<std::uint64_t>(state.range(0));
    bool inOrder = true;
    for (auto _ : state) {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<std::uint64_t> queue;
        std::uint64_t received = 0;
        bool ordered = true;
        std::thread consumer([&] {
            std::unique_lock lock(mutex);
            while (received < events) {
                ready.wait(lock, [&] { return !queue.empty(); });
                while (!queue.empty()) {
                    ordered = ordered && queue.front() == received;
                    queue.pop_front();
                    ++received;
                }
            }
        });
        for (std::uint64_t i = 0; i < events; ++i) {
            {
                std::lock_guard lock(mutex);
                queue.push_back(i);
            }
            ready.notify_one();
        }
        consumer.join();
        inOrder = inOrder && ordered && received == events;
    }
    if (!inOrder)
        state.SkipWithError("the bare queue lost or reordered events");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * events));
}
BENCHMARK(BareQueue)->Arg(100'000)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
