// The telephone: number field and keypad, dial, redial, answer, hang up, mute, call-audio
// transfer, three-way calling, and the call state that the SDK's dialer-state events show.
#pragma once

#include "framework/CDialog.h"
#include "framework/CEdit.h"
#include "framework/CFont.h"
#include "framework/CListBox.h"
#include "framework/CString.h"
#include "res/resource.h"

// The hands-free dialog's copy of the registered message "WM_QRVOUTMSG_DIALERSTATE".
extern UINT g_uHandFreeDialerStateMsg;

class HandFree : public CDialog {
    DECLARE_DYNAMIC(HandFree)

public:
    enum { IDD = IDD_HANDFREE };
    static constexpr int kDialBufferSize = 255; // the dial string with its terminator

    explicit HandFree(CWnd* pParent = nullptr);
    ~HandFree() override;

    // A dialer-state event (code, data); always 1.
    LRESULT OnDialerState(WPARAM wParam, LPARAM lParam);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void AppendKey(WCHAR key);
    void OnBnClickedKey1();
    void OnBnClickedKey2();
    void OnBnClickedKey3();
    void OnBnClickedKey4();
    void OnBnClickedKey5();
    void OnBnClickedKey6();
    void OnBnClickedKey7();
    void OnBnClickedKey8();
    void OnBnClickedKey9();
    void OnBnClickedKey0();
    void OnBnClickedKeyStar();
    void OnBnClickedKeyHash();
    void OnBnClickedClear();
    void OnBnClickedDial();
    void OnBnClickedRedial();
    void OnBnClickedAnswer();
    void OnBnClickedHangUp();
    void OnBnClickedMute();
    void OnBnClickedUnMute();
    void OnBnClickedTransfer();
    void OnBnClickedDtmf();
    void OnBnClickedCalllog();
    void OnBnClickedQuit();
    void OnBnClickedHoldToAnswer();
    void OnBnClickedReleaseToAnswer();
    void OnBnClickedHoldInComing();
    void OnBnClickedRejectInComing();
    void OnBnClickedAcceptHoldInComing();
    void OnBnClickedRejectHoldInComing();
    void OnBnClickedGetCurrentCalls();

    // Empties the state list and shows `line` as its only line.
    void ShowState(LPCWSTR line);

    DECLARE_MESSAGE_MAP()

public:
    CEdit m_editNumber;
    CListBox m_listState;
    CString m_strNumber; // the keypad's own number buffer
    CFont m_font;
};
