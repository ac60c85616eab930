// Hands-free events with their data, as the SDK's callback delivers them: to the main window
// while no hands-free dialog runs, and through it to the hands-free dialog while one does.
//
// Input: events of [flags][code][data]. Flags bit 0 routes the event to the hands-free dialog,
// bit 1 sends no data (a null pointer). The data is a text for the text-carrying codes (NUL
// terminated unless it is longer than what the console reads) and one level byte for 17/18.

#include "FuzzInput.h"

#include "app/MainApp.h"
#include "app/MainDlg.h"
#include "handsfree/HandFree.h"

#include <memory>

using namespace kobalt::fuzz;

namespace {

CMainDlg* g_main = nullptr;
HandFree* g_handFree = nullptr;

// The longest text the console reads of an event (it copies at most 259 bytes).
constexpr std::size_t kReadLimit = 259;

bool IsHighSurrogate(WCHAR c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

// Lines and the number field stay within their buffers and never end in half a pair.
void CheckShown() {
    for (int i = 0, n = g_main->m_StatusList.GetCount(); i < n; ++i) {
        CString line;
        g_main->m_StatusList.GetText(i, line);
        FUZZ_CHECK(line.GetLength() <= 49);
        FUZZ_CHECK(line.IsEmpty() || !IsHighSurrogate(line[line.GetLength() - 1]));
    }
    CString number;
    g_handFree->m_editNumber.GetWindowText(number);
    FUZZ_CHECK(number.GetLength() <= 254);
    FUZZ_CHECK(number.IsEmpty() || !IsHighSurrogate(number[number.GetLength() - 1]));
    FUZZ_CHECK(g_handFree->m_listState.GetCount() <= 1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    UnbindSdk();
    g_main = new CMainDlg(nullptr);
    g_handFree = new HandFree(nullptr);
    if (!CreateModeless(*g_main) || !CreateModeless(*g_handFree))
        std::abort();
    theApp.m_pMainWnd = g_main;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    while (!in.Empty()) {
        const uint8_t flags = in.Byte();
        const WPARAM code = in.Byte();
        // Codes 3 and 4 (call audio on and off) carry no data, and each adds a debug line that
        // the platform keeps for the whole process: a long run would only grow that record.
        if (code == 3 || code == 4)
            continue;
        const bool toHandFree = (flags & 1) != 0;
        // Codes 7 and 8 on the main window run the hands-free dialog modally; here the dialog
        // is already open, which is where the following events go in the console as well.
        const bool opensDialog = code == 7 || code == 8;
        g_main->m_pHandFreeDlg = (toHandFree || opensDialog) ? g_handFree : nullptr;

        std::unique_ptr<char[]> payload;
        if (!(flags & 2)) {
            std::vector<uint8_t> text = in.Block(2 * kReadLimit);
            if (code == 17 || code == 18) {
                payload.reset(new char[1]);
                payload[0] = static_cast<char>(text.empty() ? 0 : text[0]);
            } else {
                // Exactly as long as sent: a text the console may stop reading without a
                // terminator ends where the SDK's buffer ends.
                const bool terminated = text.size() < kReadLimit || (flags & 4);
                payload.reset(new char[text.size() + (terminated ? 1 : 0)]);
                std::copy(text.begin(), text.end(), payload.get());
                if (terminated)
                    payload[text.size()] = 0;
            }
        }
        LRESULT result =
            g_main->SendMessage(g_uDialerStateMsg, code, reinterpret_cast<LPARAM>(payload.get()));
        FUZZ_CHECK(result == 1);
    }
    CheckShown();
    // Back to empty windows, so that an input frees what it allocated and the leak check only
    // runs when something really was lost.
    g_main->m_pHandFreeDlg = nullptr;
    g_main->m_StatusList.ResetContent();
    g_handFree->m_listState.ResetContent();
    g_handFree->m_editNumber.SetWindowText(u"");
    return 0;
}
