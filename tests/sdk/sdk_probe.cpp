// Lets the SDK binding start up in a process of its own and reports what it did.
//
// Run from a directory holding only this program and, perhaps, a KOBALT.dll. Output, one fact
// a line:
//   box <text>\t<caption>   a message box raised while the process started (answered with OK)
//   debug <line>            a debug-output line, in order
//   slot <name> <0|1>       whether the slot was resolved, in slot order
//   call <name> <result>    with --call: the result of every slot that takes no arguments
//   module <0|1>            whether the library was loaded
//   resolved <count>
#include "platform/Desktop.h"
#include "platform/DeviceServices.h"
#include "platform/InitOrder.h"
#include "sdk/SdkApi.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

// The texts reported are ASCII; anything else shows as '?'.
std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

struct SeenBox {
    std::u16string text;
    std::u16string caption;
};

// Plays the operator from before the binding loads: records every message box once and
// answers it with OK.
class BoxAnswerer {
public:
    BoxAnswerer() : m_thread([this] { Run(); }) {}
    ~BoxAnswerer() { Stop(); }

    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    std::vector<SeenBox> Boxes() {
        std::lock_guard lock(m_mutex);
        return m_boxes;
    }

private:
    void Run() {
        using namespace kobalt::desktop;
        std::set<HWND> seen;
        std::set<HWND> answered;
        while (!m_stop) {
            Snapshot snapshot = TakeSnapshot();
            for (const WindowView& window : snapshot.windows) {
                if (window.kind != WindowKind::MessageBox || answered.contains(window.hwnd)) {
                    continue;
                }
                if (seen.insert(window.hwnd).second) {
                    std::lock_guard lock(m_mutex);
                    m_boxes.push_back({window.text, window.caption});
                }
                if (AnswerBox(window.hwnd, IDOK) == InputResult::Ok) {
                    answered.insert(window.hwnd);
                }
            }
            // Bounded so that Stop is noticed without a desktop change.
            WaitForChange(snapshot.version, std::chrono::milliseconds(50));
        }
    }

    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<SeenBox> m_boxes;
    std::thread m_thread; // last, so it starts once the members above exist
};

BoxAnswerer g_BoxAnswerer KOBALT_INIT_ORDER(KOBALT_INIT_FRONTEND);

template <class Slot> void ReportCall(const char* name, const Slot& slot) {
    if constexpr (std::is_same_v<typename Slot::Function, int (*)()>) {
        std::printf("call %s %d\n", name, slot());
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool call = argc > 1 && std::string_view(argv[1]) == "--call";
    g_BoxAnswerer.Stop();

    for (const SeenBox& box : g_BoxAnswerer.Boxes()) {
        std::printf("box %s\t%s\n", Narrow(box.text).c_str(), Narrow(box.caption).c_str());
    }
    for (const std::u16string& line : kobalt::device::DebugLines()) {
        std::printf("debug %s\n", Narrow(line).c_str());
    }
    int resolved = 0;
#define KOBALT_PROBE_SLOT(name, fn, failure)                                                       \
    std::printf("slot %s %d\n", #name, static_cast<bool>(g_SdkApi.name) ? 1 : 0);                  \
    resolved += static_cast<bool>(g_SdkApi.name) ? 1 : 0;                                          \
    if (call) {                                                                                    \
        ReportCall(#name, g_SdkApi.name);                                                          \
    }
    KOBALT_SDK_ENTRY_POINTS(KOBALT_PROBE_SLOT)
#undef KOBALT_PROBE_SLOT
    std::printf("module %d\n", g_SdkApi.m_hModule != nullptr ? 1 : 0);
    std::printf("resolved %d\n", resolved);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
