// One terminal frame (snapshot, layout, render) of the phonebook's list view against the list's
// length: only the rows on the screen are copied and drawn, so the time should stay flat from
// 15 rows to 150,000.
#include "frontend/terminal/Layout.h"
#include "frontend/terminal/Renderer.h"
#include "platform/Desktop.h"
#include "platform/Windows.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using kobalt::terminal::ScreenSize;

LRESULT PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A visible window holding a report-view list of `rows` contacts scrolled to the middle, as
// the phonebook shows it.
HWND MakePhoneBook(int rows) {
    const HWND window =
        CreateWindowExW(0, nullptr, u"PhoneBook", WS_POPUP | WS_CAPTION, 0, 0, 578, 298, nullptr,
                        nullptr, nullptr, reinterpret_cast<LPVOID>(&PlainProc));
    const HWND list = CreateWindowExW(0, WC_LISTVIEW, u"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 154,
                                      14, 268, 222, window, nullptr, nullptr, nullptr);
    std::u16string name = u"NAME";
    std::u16string numberHeader = u"Number";
    LVCOLUMNW first{LVCF_TEXT | LVCF_WIDTH, LVCFMT_LEFT, 80, name.data(), 0, 0};
    LVCOLUMNW second{LVCF_TEXT | LVCF_WIDTH, LVCFMT_LEFT, 118, numberHeader.data(), 0, 1};
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&first));
    SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&second));
    std::u16string number = u"+4930123456";
    for (int i = 0; i < rows; ++i) {
        const std::string text = "Contact " + std::to_string(i) + "(Cell)";
        std::u16string contact(text.begin(), text.end());
        LVITEMW item{LVIF_TEXT, 0, 0, 0, 0, contact.data(), 0, 0, 0};
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        LVITEMW sub{};
        sub.iSubItem = 1;
        sub.pszText = number.data();
        SendMessageW(list, LVM_SETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&sub));
    }
    SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(rows / 2), FALSE);
    ShowWindow(window, SW_SHOW);
    return window;
}

void TerminalFrame(benchmark::State& state) {
    const HWND window = MakePhoneBook(static_cast<int>(state.range(0)));
    const ScreenSize size{100, 30};
    const kobalt::terminal::DebugWindow debug;
    const kobalt::terminal::UiState ui;
    for (auto _ : state) {
        const kobalt::desktop::Snapshot snapshot =
            kobalt::desktop::TakeSnapshot({static_cast<std::size_t>(size.rows)});
        const kobalt::terminal::ScreenLayout layout = kobalt::terminal::LayOut(snapshot, size);
        kobalt::terminal::Frame frame = kobalt::terminal::Render({snapshot, layout, debug, {}, ui});
        benchmark::DoNotOptimize(frame.grid.At(0, 0));
    }
    DestroyWindow(window);
    state.SetLabel(std::to_string(state.range(0)) + " rows");
}

} // namespace

BENCHMARK(TerminalFrame)->Arg(15)->Arg(1'500)->Arg(150'000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
