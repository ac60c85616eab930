// The hands-free event path inside one process: the simulated SDK makes N signal events at once
// (one control command, no socket per event), and each goes through the console's callback, the
// post to the main window and the main window's handler, which lists it as "Sngl(level)". Every
// run checks, through the handled-event observer, that the handler acted on all N in the order
// the levels were sent, and that the (sorted) status list holds each level as often as it was
// sent.
//
// Baselines in the same run: the same N events made by the simulated SDK the same way, but
// carried by a bare cross-thread queue (one mutex, one condition variable, a deque) in place of
// the console's post, message loop and handler, which is what the console's path is judged
// against; a bare queue of integers alone, the floor of any handover; and the same queue handing
// over one integer per wake-up.

#include "app/MainDlg.h"
#include "frontend/common/PhoneClient.h"
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
#include <string_view>
#include <thread>

namespace {

namespace desktop = kobalt::desktop;

constexpr auto kBound = std::chrono::seconds(60);

std::atomic<HWND> g_main{nullptr};

// What the main window's handler acted on, as the handled-event observer reports it on the
// user-interface thread: the signal events counted, and whether they came as levels 0, 1, ...,
// 5, 0, ...
std::atomic<std::uint64_t> g_handled{0};
std::atomic<bool> g_handledInOrder{true};

void CheckHandled(std::string_view line) {
    constexpr std::string_view kSignal = "HfEventCallback(17, &";
    if (!line.starts_with(kSignal))
        return;
    const std::uint64_t index = g_handled.load(std::memory_order_relaxed);
    // The rest is the level and ")"; checked without making a string, so the check costs little
    // beside the path it watches.
    const std::string_view rest = line.substr(kSignal.size());
    if (rest.size() != 2 || rest[0] != static_cast<char>('0' + index % 6) || rest[1] != ')')
        g_handledInOrder.store(false, std::memory_order_relaxed);
    g_handled.store(index + 1, std::memory_order_release);
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
            dlg.DoModal();
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
    desktop::SetHandledEventObserver(&CheckHandled);
    ConsoleThread console;
    if (!console.Ready()) {
        state.SkipWithError("the console did not start and connect");
        desktop::SetHandledEventObserver(nullptr);
        return;
    }
    bool inOrder = true;
    for (auto _ : state) {
        Press(IDC_MAIN_CLEAR);
        g_handled.store(0); // the user-interface thread is idle between storms
        const auto start = std::chrono::steady_clock::now();
        if (!kobalt::script::AskPhone("signal-storm " + std::to_string(events), kBound).ok) {
            state.SkipWithError("signal-storm refused");
            break;
        }
        const auto deadline = start + kBound;
        while (g_handled.load(std::memory_order_acquire) < events &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        inOrder = inOrder && desktop::WaitOwnerIdle(g_main.load(), kBound) &&
                  g_handled.load() == events && AllListed(events);
    }
    desktop::SetHandledEventObserver(nullptr);
    inOrder = inOrder && g_handledInOrder.load();
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

// The same N events made by the simulated SDK the same way (one signal-storm command, the
// library's event thread calling the registered callback), but the callback pushes each level
// into the bare queue above instead of posting to the console, and a consumer thread drains it
// and checks the order. The difference to HandsFreeEventPath is the console's part alone: its
// callback's post, its message loop and its handler.
struct BareSink {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::uint8_t> queue;
};
// Read on the library's event thread, which may still run a callback while the sink is withdrawn.
std::atomic<BareSink*> g_sink{nullptr};

int BareHfCallback(uint32_t code, intptr_t data) {
    const auto* level = reinterpret_cast<const std::uint8_t*>(data);
    BareSink* sink = g_sink.load();
    if (code != 17 || level == nullptr || sink == nullptr)
        return 0;
    {
        std::lock_guard lock(sink->mutex);
        sink->queue.push_back(*level);
    }
    sink->ready.notify_one();
    return 1;
}

void SimulatedSdkThroughBareQueue(benchmark::State& state) {
    const auto events = static_cast<std::uint64_t>(state.range(0));
    BareSink sink;
    g_sink = &sink;
    if (g_SdkApi.KOBALT_Init() != 0 ||
        g_SdkApi.KOBALT_HFAP_RegisterCallback(0, &BareHfCallback) != 0 ||
        !kobalt::script::AskPhone("connect 66:55:44:33:22:11 hf", kBound).ok) {
        state.SkipWithError("the simulated SDK did not start and connect");
        g_SdkApi.KOBALT_UnInit();
        g_sink = nullptr;
        return;
    }
    bool inOrder = true;
    for (auto _ : state) {
        {
            std::lock_guard lock(sink.mutex);
            sink.queue.clear();
        }
        std::uint64_t received = 0;
        bool ordered = true;
        const auto start = std::chrono::steady_clock::now();
        std::thread consumer([&] {
            std::unique_lock lock(sink.mutex);
            while (received < events) {
                if (!sink.ready.wait_until(lock, start + kBound,
                                           [&] { return !sink.queue.empty(); }))
                    return;
                while (!sink.queue.empty()) {
                    ordered = ordered && sink.queue.front() == received % 6;
                    sink.queue.pop_front();
                    ++received;
                }
            }
        });
        const bool asked =
            kobalt::script::AskPhone("signal-storm " + std::to_string(events), kBound).ok;
        consumer.join();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!asked) {
            state.SkipWithError("signal-storm refused");
            break;
        }
        inOrder = inOrder && ordered && received == events;
    }
    g_SdkApi.KOBALT_UnInit();
    g_sink = nullptr;
    if (!inOrder)
        state.SkipWithError("the bare queue lost or reordered events");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * events));
}
BENCHMARK(SimulatedSdkThroughBareQueue)
    ->Arg(100'000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A second baseline: the same queue, but the producer hands over one item at a time and waits
// until the consumer took it before it posts the next, so the consumer is woken for every item
// (and the producer once per item too), as a thread that waits for each message is.
void BareQueueHandoverPerEvent(benchmark::State& state) {
    const auto events = static_cast<std::uint64_t>(state.range(0));
    bool inOrder = true;
    for (auto _ : state) {
        std::mutex mutex;
        std::condition_variable ready;
        std::condition_variable taken;
        std::deque<std::uint64_t> queue;
        std::uint64_t received = 0;
        bool ordered = true;
        std::thread consumer([&] {
            std::unique_lock lock(mutex);
            while (received < events) {
                ready.wait(lock, [&] { return !queue.empty(); });
                ordered = ordered && queue.front() == received;
                queue.pop_front();
                ++received;
                taken.notify_one();
            }
        });
        for (std::uint64_t i = 0; i < events; ++i) {
            std::unique_lock lock(mutex);
            queue.push_back(i);
            ready.notify_one();
            taken.wait(lock, [&] { return queue.empty(); });
        }
        consumer.join();
        inOrder = inOrder && ordered && received == events;
    }
    if (!inOrder)
        state.SkipWithError("the bare queue lost or reordered events");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * events));
}
BENCHMARK(BareQueueHandoverPerEvent)
    ->Arg(100'000)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
