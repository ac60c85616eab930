// A storm of hands-free indicator events from the simulated phone: the rate at which they reach
// the console's side of the library's callback, each checked to arrive once and in order, against
// the same number of control commands that make no event.

#include "frontend/common/PhoneClient.h"
#include "platform/Windows.h"
#include "sdk/KobaltAbi.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

std::atomic<uint64_t> g_received{0};
std::atomic<uint64_t> g_outOfOrder{0};
std::atomic<int> g_expectedLevel{0};

// Signal levels arrive as 0, 1, 2, 3, 4, 5, 0, ...: anything else was lost or reordered.
int CountingCallback(uint32_t code, intptr_t data) {
    if (code != 17 || data == 0)
        return 1;
    int level = *reinterpret_cast<const uint8_t*>(data);
    if (level != g_expectedLevel.load())
        ++g_outOfOrder;
    g_expectedLevel = (level + 1) % 6;
    ++g_received;
    return 1;
}

template <class Fn> Fn Entry(HMODULE module, const char16_t* name) {
    return reinterpret_cast<Fn>(GetProcAddressW(module, name));
}

void IndicatorStorm(benchmark::State& state) {
    HMODULE sdk = LoadLibraryW(u"KOBALT.dll");
    if (!sdk) {
        state.SkipWithError("KOBALT.dll not found beside the benchmark");
        return;
    }
    Entry<KOBALT_Fn_Void>(sdk, u"KOBALT_Init")();
    Entry<KOBALT_Fn_HFAP_RegisterCallback>(sdk, u"KOBALT_HFAP_RegisterCallback")(0,
                                                                                 &CountingCallback);
    kobalt::script::AskPhone("connect 66:55:44:33:22:11 hf", std::chrono::seconds(10));
    const auto events = static_cast<uint64_t>(state.range(0));
    for (auto _ : state) {
        g_received = 0;
        g_outOfOrder = 0;
        g_expectedLevel = 0;
        for (uint64_t i = 0; i < events; ++i)
            kobalt::script::AskPhone("signal " + std::to_string(i % 6), std::chrono::seconds(10));
        while (g_received.load() < events)
            std::this_thread::yield();
    }
    if (g_outOfOrder.load() != 0)
        state.SkipWithError("events were lost or reordered");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * events));
    Entry<KOBALT_Fn_Void>(sdk, u"KOBALT_UnInit")();
}
BENCHMARK(IndicatorStorm)
    ->Arg(100'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The baseline: as many control commands that make no event (a pending failure count set to
// nothing), so the ratio is what delivering the events adds to the socket round trips.
void ControlRoundTrips(benchmark::State& state) {
    HMODULE sdk = LoadLibraryW(u"KOBALT.dll");
    if (!sdk) {
        state.SkipWithError("KOBALT.dll not found beside the benchmark");
        return;
    }
    const auto commands = static_cast<uint64_t>(state.range(0));
    for (auto _ : state) {
        for (uint64_t i = 0; i < commands; ++i)
            kobalt::script::AskPhone("fail KOBALT_Connect 0", std::chrono::seconds(10));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * commands));
}
BENCHMARK(ControlRoundTrips)
    ->Arg(100'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
