// The main window: the status list, the device tables behind it, the current device address and
// the enable state of the connection buttons.
#pragma once

#include "app/AppMessages.h"
#include "framework/CDialog.h"
#include "framework/CFont.h"
#include "framework/CListBox.h"
#include "framework/CString.h"
#include "res/resource.h"
#include "sdk/SdkApi.h"

#include <atomic>

class HandFree;

using BdAddr = KOBALT_BdAddr;

// The id of the registered message "WM_QRVOUTMSG_DIALERSTATE", obtained during static
// initialisation; the main window's message map and the hands-free callback use it.
extern UINT g_uDialerStateMsg;

// The main window's handle while it exists, null otherwise: published on the user-interface
// thread when the window is made and cleared when it is destroyed, read by the SDK's threads,
// which use nothing of the window but this handle.
extern std::atomic<HWND> g_hMainWnd;

class CMainDlg : public CDialog {
public:
    enum { IDD = IDD_KOBALTDEMO_DIALOG };
    static constexpr int kMaxDevices = 255; // slots of the device and shortcut tables
    // The most shortcuts Record takes from the SDK, far more than a stack keeps pairings for; a
    // larger count lists none rather than sizing an allocation.
    static constexpr uint32_t kMaxShortcuts = 1024;

    explicit CMainDlg(CWnd* pParent = nullptr);
    ~CMainDlg() override;

    // SDK events, on the user-interface thread (the callbacks send them here with what they
    // read of the SDK on its thread).
    void OnConnectEvent(const ConnectEventData& event);
    void OnPairEvent(const PairEventData& event);
    void OnDeviceFound(BOOL bFinished, const KOBALT_DeviceRecord& record);

    // A dialer-state event (code, data); always 1.
    LRESULT OnDialerState(WPARAM wParam, LPARAM lParam);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnSize(UINT nType, int cx, int cy);
    void OnDestroy();
    void OnBnClickedStart();
    void OnBnClickedQuit();
    void OnBnClickedClear();
    void OnBnClickedSearch();
    void OnBnClickedRecord();
    void OnBnClickedConnect();
    void OnBnClickedDisconnect();
    void OnBnClickedSpp();
    void OnBnClickedSiri();
    void OnBnClickedEndSiri();
    void OnBnClickedDial();
    void OnBnClickedSetting();
    void OnBnClickedTest();
    void OnBnClickedA2dp();
    void OnBnClickedDun();
    void OnBnClickedPhoneBook();

    // Runs the hands-free dialog modally, with m_pHandFreeDlg pointing at it meanwhile.
    void RunHandFree();

    LRESULT OnConnectEventMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnPairEventMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeviceFoundMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnDiscoveryDoneMessage(WPARAM wParam, LPARAM lParam);

    // Copies the selected entry's address into the current address; no entry, or an entry
    // without an address (a status line), leaves it as it is.
    void ApplySelection();
    // The current address as the SDK takes it.
    BdAddr* CurrentAddress() { return reinterpret_cast<BdAddr*>(m_pCurAddr); }

    DECLARE_MESSAGE_MAP()

public:
    HICON m_hIcon;
    CListBox m_StatusList;
    // The hands-free dialog while it runs. Used on the user-interface thread only: dialer-state
    // events always reach the main window first, which hands them on while the dialog's window
    // exists and shows them itself before it is made and after it is gone.
    HandFree* m_pHandFreeDlg;
    int m_nDeviceCount;
    BYTE* m_pCurAddr;                     // 6 bytes: the address device commands work on
    BdAddr m_SppAddr{};                   // where SPP is connected
    BdAddr m_DevAddr[kMaxDevices]{};      // discovered devices, by list position
    BdAddr m_ShortcutAddr[kMaxDevices]{}; // paired-device shortcuts, by list position
    BOOL m_bSppConnected{FALSE};
    BOOL m_bStarted;
    CFont m_font;
};
