// Sorted LB_ADDSTRING of N lines, in random order or repeating, through the list box's window
// procedure.
#include "platform/Windows.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// N distinct status-like lines in a fixed random order.
std::vector<std::u16string> MakeLines(std::size_t count) {
    std::vector<std::u16string> lines;
    lines.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string text = "Device " + std::to_string(i * 7919 % 1'000'003) + " found";
        lines.emplace_back(text.begin(), text.end());
    }
    std::shuffle(lines.begin(), lines.end(), std::mt19937(42));
    return lines;
}

LRESULT PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Adds `lines` to a fresh sorted list box in each iteration; the box is made and destroyed
// untimed.
void AddToSortedList(benchmark::State& state, const std::vector<std::u16string>& lines) {
    const HWND parent = CreateWindowExW(0, nullptr, u"bench", WS_POPUP, 0, 0, 640, 480, nullptr,
                                        nullptr, nullptr, reinterpret_cast<LPVOID>(&PlainProc));
    for (auto _ : state) {
        state.PauseTiming();
        const HWND list = CreateWindowExW(0, WC_LISTBOX, u"", WS_CHILD | LBS_SORT | LBS_NOTIFY, 0,
                                          0, 200, 160, parent, nullptr, nullptr, nullptr);
        state.ResumeTiming();
        for (const auto& line : lines) {
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        }
        state.PauseTiming();
        DestroyWindow(list);
        state.ResumeTiming();
    }
    DestroyWindow(parent);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
}

void ListBoxSortedAdd(benchmark::State& state) {
    AddToSortedList(state, MakeLines(static_cast<std::size_t>(state.range(0))));
    state.SetComplexityN(state.range(0));
}

// The same with status lines that repeat, as indicator events fill the console's status list:
// six texts in turn, each inserted after the lines equal to it.
void ListBoxSortedAddRepeated(benchmark::State& state) {
    std::vector<std::u16string> lines;
    for (long i = 0; i < state.range(0); ++i)
        lines.push_back(u"Sngl(" + std::u16string(1, char16_t(u'0' + i % 6)) + u")");
    AddToSortedList(state, lines);
}

// Baseline: appending copies of the same lines to a vector.
void VectorPushBack(benchmark::State& state) {
    const auto lines = MakeLines(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::vector<std::u16string> copy;
        for (const auto& line : lines) {
            copy.push_back(line);
        }
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(ListBoxSortedAddRepeated)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(ListBoxSortedAdd)
    ->RangeMultiplier(10)
    ->Range(1'000, 100'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNLogN);
BENCHMARK(VectorPushBack)
    ->RangeMultiplier(10)
    ->Range(1'000, 100'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

BENCHMARK_MAIN();
