// 10,000 connect and disconnect events from the simulated phone while the operator clicks:
// every event reaches the main window, in order, and each leaves the caption it should.

#include "Operator.h"

#include "app/MainApp.h"
#include "app/MainDlg.h"
#include "app/SdkCallbacks.h"
#include "frontend/common/PhoneClient.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using kobalt::test::Operator;

constexpr int kEvents = 10000;
constexpr char16_t kConnected[] = u"Connect  with Pixel 7 And service is HF";
constexpr char16_t kDisconnected[] = u"Disconnect  with Pixel 7 And service is HF";

std::atomic<HWND> g_main{nullptr};
std::mutex g_mutex;
std::vector<int> g_seen; // the connected flag of each event, in the order they came
int g_wrongCaptions = 0; // events after which the caption did not show that event

// Stands between the library and the console's callback and checks what each event did.
int SpyConnectCallback(int connected, KOBALT_BdAddr* addr, int16_t service) {
    int result = ConnectEventCallback(connected, addr, service);
    WCHAR caption[128] = {};
    GetWindowTextW(g_main.load(), caption, 128);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_seen.push_back(connected);
    if (std::u16string(caption) != (connected ? kConnected : kDisconnected))
        ++g_wrongCaptions;
    return result;
}

TEST(ConnectStress, TenThousandEventsWhileTheOperatorClicks) {
    Operator op;
    std::atomic<bool> phoneDone{false};
    std::thread operatorThread([&] {
        auto w = op.WaitActive(IDD_KOBALTDEMO_DIALOG);
        ASSERT_TRUE(w);
        g_main = w->hwnd;
        op.Press(w->hwnd, IDC_MAIN_START);
        ASSERT_EQ(g_SdkApi.KOBALT_RegisterConnectCallback(&SpyConnectCallback), 0);

        std::thread phone([&] {
            for (int i = 0; i < kEvents; ++i) {
                std::string command = (i % 2 == 0 ? "connect" : "disconnect");
                auto answer = kobalt::script::AskPhone(command + " 66:55:44:33:22:11 hf",
                                                       std::chrono::milliseconds(10000));
                if (!answer.ok) {
                    ADD_FAILURE() << "event " << i << ": " << answer.error;
                    break;
                }
            }
            phoneDone = true;
        });
        // The operator works the window meanwhile.
        int clicks = 0;
        const int buttons[] = {IDC_MAIN_CLEAR, IDC_MAIN_SIRI, IDC_MAIN_ENDSIRI, IDC_MAIN_RECORD};
        while (!phoneDone.load())
            op.Press(w->hwnd, buttons[clicks++ % 4]);
        phone.join();
        EXPECT_GT(clicks, 0);

        EXPECT_TRUE(op.WaitUntil([&](const kobalt::desktop::Snapshot&) {
            std::lock_guard<std::mutex> lock(g_mutex);
            return g_seen.size() >= static_cast<std::size_t>(kEvents);
        }));
        EXPECT_TRUE(Operator::Control(w->hwnd, IDC_MAIN_CONNECT)->enabled);
        EXPECT_FALSE(Operator::Control(w->hwnd, IDC_MAIN_DIAL)->enabled);
        op.Press(w->hwnd, IDC_MAIN_QUIT);
    });
    CMainDlg dlg;
    theApp.m_pMainWnd = &dlg;
    dlg.DoModal();
    theApp.m_pMainWnd = nullptr;
    operatorThread.join();

    std::lock_guard<std::mutex> lock(g_mutex);
    ASSERT_EQ(g_seen.size(), static_cast<std::size_t>(kEvents));
    for (int i = 0; i < kEvents; ++i)
        ASSERT_EQ(g_seen[static_cast<std::size_t>(i)], i % 2 == 0 ? 1 : 0) << "event " << i;
    EXPECT_EQ(g_wrongCaptions, 0);
}

} // namespace
