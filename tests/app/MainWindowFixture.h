// The main window run modally on the test thread against a fake SDK, with an operator on
// another thread.
#pragma once

#include "Operator.h"

#include "app/MainApp.h"
#include "app/MainDlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kobalt::test {

using kobalt::desktop::ControlView;
using kobalt::desktop::InputResult;

// Records what the console asks of the SDK and answers as a test sets it up. Called on the
// user-interface thread; tests read it after the window has closed or under the mutex.
struct FakeSdk {
    struct ConnectionCall {
        std::string entry; // "Connect" or "Disconnect"
        KOBALT_BdAddr addr;
        int16_t service;
    };

    static inline std::atomic<int> initCalls{0};
    static inline std::atomic<int> uninitCalls{0};
    static inline std::atomic<int> initResult{0};
    static inline std::atomic<int> connectResult{0};
    static inline std::atomic<int> clientPort{3};
    static inline std::atomic<int> voiceStarts{0};
    static inline std::atomic<int> voiceStops{0};
    static inline std::atomic<int> shortcutFills{0};
    static inline std::atomic<int> remoteNameReads{0}; // GetRemoteName calls
    static inline std::atomic<KOBALT_DiscoveryCallback> discovery{nullptr};
    static inline std::atomic<KOBALT_ConnectCallback> connectCallback{nullptr};
    static inline std::atomic<KOBALT_PairCallback> pairCallback{nullptr};
    static inline std::atomic<KOBALT_HfCallback> hfCallback{nullptr};
    static inline std::mutex mutex;
    static inline std::vector<int> modes;                  // KOBALT_SetIntegrateTL arguments
    static inline std::vector<ConnectionCall> connections; // Connect / Disconnect calls
    static inline std::u16string remoteName = u"Pixel";    // what GetRemoteName fills
    static inline bool unterminatedName = false;           // fill all 64 units, no terminator
    static inline std::vector<KOBALT_DeviceRecord> shortcuts;
    static inline uint32_t shortcutCountAfterFill = UINT32_MAX; // what the fill reports
    static inline uint32_t shortcutCountQuery = 0; // what the count query reports; 0: the truth

    static void Reset() {
        initCalls = 0;
        uninitCalls = 0;
        initResult = 0;
        connectResult = 0;
        clientPort = 3;
        voiceStarts = 0;
        voiceStops = 0;
        shortcutFills = 0;
        remoteNameReads = 0;
        discovery = nullptr;
        connectCallback = nullptr;
        pairCallback = nullptr;
        hfCallback = nullptr;
        std::lock_guard<std::mutex> lock(mutex);
        modes.clear();
        connections.clear();
        remoteName = u"Pixel";
        unterminatedName = false;
        shortcuts.clear();
        shortcutCountAfterFill = UINT32_MAX;
        shortcutCountQuery = 0;
    }

    static int Init() {
        ++initCalls;
        return initResult;
    }
    static int UnInit() {
        ++uninitCalls;
        return 0;
    }
    static int SetIntegrateTL(int mode) {
        std::lock_guard<std::mutex> lock(mutex);
        modes.push_back(mode);
        return 0;
    }
    static int RegisterConnect(KOBALT_ConnectCallback cb) {
        connectCallback = cb;
        return 0;
    }
    static int RegisterPair(KOBALT_PairCallback cb) {
        pairCallback = cb;
        return 0;
    }
    static int RegisterHf(int, KOBALT_HfCallback cb) {
        hfCallback = cb;
        return 0;
    }
    static int GetRemoteName(KOBALT_BdAddr*, KOBALT_WCHAR* name) {
        ++remoteNameReads;
        std::lock_guard<std::mutex> lock(mutex);
        if (unterminatedName) {
            for (int i = 0; i < 64; ++i)
                name[i] = u'A';
            return 0;
        }
        std::size_t n = std::min<std::size_t>(remoteName.size(), 63);
        std::copy_n(remoteName.data(), n, name);
        name[n] = 0;
        return 0;
    }
    static int GetClientPort() { return clientPort; }
    static int Connect(KOBALT_BdAddr* addr, int16_t service) {
        std::lock_guard<std::mutex> lock(mutex);
        connections.push_back({"Connect", *addr, service});
        return connectResult;
    }
    static int Disconnect(KOBALT_BdAddr* addr, int16_t service) {
        std::lock_guard<std::mutex> lock(mutex);
        connections.push_back({"Disconnect", *addr, service});
        return 0;
    }
    static int DeviceDiscovery(KOBALT_DiscoveryCallback cb) {
        discovery = cb;
        return 0;
    }
    static int GetAllShortCuts(KOBALT_DeviceRecord* records, uint32_t* count) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!records) {
            *count =
                shortcutCountQuery ? shortcutCountQuery : static_cast<uint32_t>(shortcuts.size());
            return 0;
        }
        ++shortcutFills;
        std::size_t n = std::min<std::size_t>(*count, shortcuts.size());
        std::copy_n(shortcuts.data(), n, records);
        *count = shortcutCountAfterFill == UINT32_MAX ? static_cast<uint32_t>(n)
                                                      : shortcutCountAfterFill;
        return 0;
    }
    static int StartVoice() {
        ++voiceStarts;
        return 0;
    }
    static int StopVoice() {
        ++voiceStops;
        return 0;
    }

    // Puts every fake into its slot.
    static void Install() {
        g_SdkApi.KOBALT_Init = &Init;
        g_SdkApi.KOBALT_UnInit = &UnInit;
        g_SdkApi.KOBALT_SetIntegrateTL = &SetIntegrateTL;
        g_SdkApi.KOBALT_RegisterConnectCallback = &RegisterConnect;
        g_SdkApi.KOBALT_RegisterPairCallback = &RegisterPair;
        g_SdkApi.KOBALT_HFAP_RegisterCallback = &RegisterHf;
        g_SdkApi.KOBALT_GetRemoteName = &GetRemoteName;
        g_SdkApi.KOBALT_GetClientPort = &GetClientPort;
        g_SdkApi.KOBALT_Connect = &Connect;
        g_SdkApi.KOBALT_Disconnect = &Disconnect;
        g_SdkApi.KOBALT_DeviceDiscovery = &DeviceDiscovery;
        g_SdkApi.KOBALT_GetAllShortCuts = &GetAllShortCuts;
        g_SdkApi.KOBALT_StartVoiceRecog = &StartVoice;
        g_SdkApi.KOBALT_StopVoiceRecog = &StopVoice;
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFakes(); }

    void ResetFakes() {
        FakeSdk::Reset();
        FakeSdk::Install();
    }

    // Runs the main window modally on this thread while `operate` plays the operator on another.
    // Whatever `operate` leaves open is closed afterwards, so a failed step cannot hang the test.
    INT_PTR Run(CMainDlg& dlg, const std::function<void(HWND)>& operate) {
        std::thread operatorThread([&] {
            auto window = m_operator.WaitActive(IDD_KOBALTDEMO_DIALOG);
            if (window)
                operate(window->hwnd);
            else
                ADD_FAILURE() << "the main window did not open";
            CloseEverything();
        });
        theApp.m_pMainWnd = &dlg;
        INT_PTR result = dlg.DoModal();
        theApp.m_pMainWnd = nullptr;
        operatorThread.join();
        return result;
    }

    void CloseEverything() {
        for (int attempt = 0; attempt < 20; ++attempt) {
            auto s = kobalt::desktop::TakeSnapshot();
            if (s.windows.empty())
                return;
            const auto& top = s.windows.front();
            if (top.kind == kobalt::desktop::WindowKind::MessageBox)
                m_operator.Answer(top.hwnd);
            else
                m_operator.Close(top.hwnd);
            m_operator.WaitUntil([&](const kobalt::desktop::Snapshot& now) {
                return now.windows.empty() || now.windows.front().hwnd != top.hwnd;
            });
        }
    }

    static bool Enabled(HWND window, int id) {
        auto c = Operator::Control(window, id);
        return c && c->enabled;
    }

    static std::vector<std::u16string> Lines(HWND window) {
        auto c = Operator::Control(window, IDC_MAIN_STATUSLIST);
        return c ? c->lines : std::vector<std::u16string>{};
    }

    Operator m_operator;
};

} // namespace kobalt::test
