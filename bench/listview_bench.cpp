// LVM_INSERTITEMW at index 0 of N rows, with a number in column 1 (the phonebook's pattern),
// through the list view's window procedure.
#include "platform/Windows.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> MakeNames(std::size_t count) {
    std::vector<std::u16string> names;
    names.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string text = "Contact " + std::to_string(i) + "(Cell)";
        names.emplace_back(text.begin(), text.end());
    }
    return names;
}

LRESULT PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void ListViewInsertAtTop(benchmark::State& state) {
    const auto names = MakeNames(static_cast<std::size_t>(state.range(0)));
    std::u16string number = u"+4930123456";
    std::u16string header = u"Name";
    const HWND parent = CreateWindowExW(0, nullptr, u"bench", WS_POPUP, 0, 0, 640, 480, nullptr,
                                        nullptr, nullptr, reinterpret_cast<LPVOID>(&PlainProc));
    for (auto _ : state) {
        state.PauseTiming();
        const HWND list = CreateWindowExW(0, WC_LISTVIEW, u"", WS_CHILD | LVS_REPORT, 0, 0, 200,
                                          160, parent, nullptr, nullptr, nullptr);
        LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH, LVCFMT_LEFT, 100, header.data(), 0, 0};
        SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
        SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
        state.ResumeTiming();
        for (const auto& name : names) {
            LVITEMW item{LVIF_TEXT, 0, 0, 0, 0, const_cast<LPWSTR>(name.c_str()), 0, 0, 0};
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            LVITEMW sub{};
            sub.iSubItem = 1;
            sub.pszText = number.data();
            SendMessageW(list, LVM_SETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&sub));
        }
        state.PauseTiming();
        DestroyWindow(list);
        state.ResumeTiming();
    }
    DestroyWindow(parent);
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Baseline: appending the same rows (name and number) to a vector.
void VectorPushBackRows(benchmark::State& state) {
    const auto names = MakeNames(static_cast<std::size_t>(state.range(0)));
    const std::u16string number = u"+4930123456";
    for (auto _ : state) {
        std::vector<std::vector<std::u16string>> rows;
        for (const auto& name : names) {
            rows.push_back({name, number});
        }
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(ListViewInsertAtTop)
    ->RangeMultiplier(10)
    ->Range(1'000, 100'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNLogN);
BENCHMARK(VectorPushBackRows)
    ->RangeMultiplier(10)
    ->Range(1'000, 100'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

BENCHMARK_MAIN();
