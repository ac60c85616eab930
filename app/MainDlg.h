// The main window: the status list, the device tables behind it, the current device address and
// the enable state of the connection buttons.
#pragma once

#include "framework/CDialog.h"
#include "framework/CFont.h"
#include "framework/CListBox.h"
#include "res/resource.h"
#include "sdk/SdkApi.h"

#include <atomic>

class HandFree;

using BdAddr = KOBALT_BdAddr;

// The id of the registered message "WM_QRVOUTMSG_DIALERSTATE", obtained during static
// initialisation; the main window's message map and the hands-free callback use it.
extern UINT g_uDialerStateMsg;

class CMainDlg : public CDialog {
public:
    enum { IDD = IDD_KOBALTDEMO_DIALOG };
    static constexpr int kMaxDevices = 255; // slots of the device and shortcut tables

    explicit CMainDlg(CWnd* pParent = nullptr);
    ~CMainDlg() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnSize(UINT nType, int cx, int cy);
    void OnDestroy();
    void OnBnClickedStart();
    void OnBnClickedQuit();
    void OnBnClickedClear();

    DECLARE_MESSAGE_MAP()

public:
    HICON m_hIcon;
    CListBox m_StatusList;
    // The hands-free dialog while it runs; read by the hands-free callback on SDK threads.
    std::atomic<HandFree*> m_pHandFreeDlg{nullptr};
    int m_nDeviceCount;
    BYTE* m_pCurAddr;                  // 6 bytes: the address device commands work on
    BdAddr m_SppAddr{};                // where SPP is connected
    BdAddr m_DevAddr[kMaxDevices]{};   // discovered devices, by list position
    BdAddr m_ShortcutAddr[kMaxDevices]{}; // paired-device shortcuts, by list position
    BOOL m_bSppConnected{FALSE};
    BOOL m_bStarted;
    CFont m_font;
};
