// Listing the phone's data in its dialogs: N contacts (three rows each) in the phonebook and N
// call-log entries, each measured from the event to the list being complete, against copying
// the same records in the same run.

#include "pim/Calllog.h"
#include "pim/PhoneBook.h"
#include "platform/Desktop.h"
#include "sdk/SdkApi.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <malloc.h>
#include <string>
#include <thread>
#include <vector>

namespace {

// Every thread allocates from the main arena, so mallinfo2 sees the dialog thread's heap too.
const int g_oneArena = mallopt(M_ARENA_MAX, 1);

std::vector<unsigned char> g_contacts; // N contact records back to back
std::vector<unsigned char> g_calllogs; // N call-log records back to back
uint32_t g_count = 0;

void Put(unsigned char* record, std::size_t offset, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = static_cast<unsigned char>(text[i]);
        std::memcpy(record + offset + i * 2, &c, 2);
    }
}

void MakeRecords(uint32_t count) {
    g_count = count;
    g_contacts.assign(std::size_t{count} * KOBALT_CONTACT_RECORD_SIZE, 0);
    g_calllogs.assign(std::size_t{count} * KOBALT_CALLLOG_RECORD_SIZE, 0);
    for (uint32_t i = 0; i < count; ++i) {
        unsigned char* c = g_contacts.data() + std::size_t{i} * KOBALT_CONTACT_RECORD_SIZE;
        std::string n = std::to_string(i);
        Put(c, KOBALT_CONTACT_NAME, "Contact " + n);
        Put(c, KOBALT_CONTACT_HOME, "+49 30 " + n);
        Put(c, KOBALT_CONTACT_WORK, "+49 40 " + n);
        Put(c, KOBALT_CONTACT_CELL, "+49 151 " + n);
        unsigned char* l = g_calllogs.data() + std::size_t{i} * KOBALT_CALLLOG_RECORD_SIZE;
        Put(l, KOBALT_CALLLOG_NAME, "Caller " + n);
        Put(l, KOBALT_CALLLOG_NUMBER, "+33 1 " + n);
    }
}

int Fill(const std::vector<unsigned char>& from, std::size_t size, void* records, uint32_t* count) {
    if (!records) {
        *count = g_count;
        return 0;
    }
    uint32_t n = std::min(*count, g_count);
    std::memcpy(records, from.data(), std::size_t{n} * size);
    *count = n;
    return 0;
}
int GetContacts(void* r, uint32_t* c) {
    return Fill(g_contacts, KOBALT_CONTACT_RECORD_SIZE, r, c);
}
int GetCalllogs(void* r, uint32_t* c) {
    return Fill(g_calllogs, KOBALT_CALLLOG_RECORD_SIZE, r, c);
}
int Register(KOBALT_PimCallback) {
    return 0;
}
int Start(int) {
    return 0;
}

// Runs a dialog modally on a thread of its own, as the console's user-interface thread would.
template <class Dialog> class DialogThread {
public:
    explicit DialogThread(int templateId) {
        m_thread = std::thread([this] {
            Dialog dlg(nullptr);
            dlg.DoModal();
        });
        while (!m_hwnd) {
            for (const auto& w : kobalt::desktop::TakeSnapshot().windows)
                if (w.templateId == templateId)
                    m_hwnd = w.hwnd;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        kobalt::desktop::WaitOwnerIdle(m_hwnd, std::chrono::seconds(10));
    }
    ~DialogThread() {
        PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
        m_thread.join();
    }
    HWND Handle() const { return m_hwnd; }

private:
    std::thread m_thread;
    HWND m_hwnd = nullptr;
};

// The time from posting `event` to the dialog having handled it.
double HandleSeconds(HWND dialog, void (*callback)(int32_t), int32_t event) {
    auto start = std::chrono::steady_clock::now();
    callback(event);
    kobalt::desktop::WaitOwnerIdle(dialog, std::chrono::seconds(60));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void PhoneBookListing(benchmark::State& state) {
    MakeRecords(static_cast<uint32_t>(state.range(0)));
    g_SdkApi.KOBALT_PIMGetContacts = &GetContacts;
    g_SdkApi.KOBALT_PIMRegisterCallback = &Register;
    g_SdkApi.KOBALT_PIMStartUpdateContacts = &Start;
    DialogThread<PhoneBook> dialog(IDD_PHONEBOOK);
    std::size_t heapBefore = mallinfo2().uordblks;
    for (auto _ : state)
        state.SetIterationTime(HandleSeconds(dialog.Handle(), &PhoneBookSyncCallback, 1));
    // The list holds three rows a contact; what its text needs, as UTF-16 with terminators, is
    // the figure the heap the listing keeps is compared with.
    double text = 0;
    for (uint32_t i = 0; i < g_count; ++i) {
        std::string n = std::to_string(i);
        text += 3.0 * (std::string("Contact " + n).size() + 6 + 1) + (7 + n.size() + 1) * 2 +
                (8 + n.size() + 1);
    }
    text *= 2;
    state.counters["rows"] = 3.0 * static_cast<double>(state.range(0));
    const double kept = static_cast<double>(mallinfo2().uordblks) - static_cast<double>(heapBefore);
    state.counters["heap/text"] = kept / text;
    state.SetComplexityN(state.range(0));
}
BENCHMARK(PhoneBookListing)
    ->Arg(5'000)
    ->Arg(50'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void CalllogListing(benchmark::State& state) {
    MakeRecords(static_cast<uint32_t>(state.range(0)));
    g_SdkApi.KOBALT_PIMGetCalllogs = &GetCalllogs;
    g_SdkApi.KOBALT_PIMRegisterCallback = &Register;
    DialogThread<CCalllog> dialog(IDD_CALLLOG);
    for (auto _ : state)
        state.SetIterationTime(HandleSeconds(dialog.Handle(), &CalllogSyncCallback, 5));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(CalllogListing)
    ->Arg(1'000)
    ->Arg(10'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Baseline: copying the same records out of the SDK's buffer into strings, as the listing
// must at the least.
void CopyRecords(benchmark::State& state) {
    MakeRecords(static_cast<uint32_t>(state.range(0)));
    for (auto _ : state) {
        std::vector<unsigned char> buffer(g_contacts);
        std::vector<std::u16string> texts;
        texts.reserve(std::size_t{g_count} * 4);
        for (uint32_t i = 0; i < g_count; ++i) {
            const unsigned char* r = buffer.data() + std::size_t{i} * KOBALT_CONTACT_RECORD_SIZE;
            for (std::size_t offset : {0, 64, 146, 228}) {
                char16_t field[41] = {};
                std::memcpy(field, r + offset, offset == 0 ? 64 : 82);
                texts.emplace_back(field);
            }
        }
        benchmark::DoNotOptimize(texts.data());
    }
}
BENCHMARK(CopyRecords)->Arg(5'000)->Arg(50'000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
