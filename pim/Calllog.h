// The call logs: downloads the phone's incoming, outgoing or missed calls and lists them.
#pragma once

#include "framework/CDialog.h"
#include "framework/CFont.h"
#include "framework/CListCtrl.h"
#include "res/resource.h"

#include <atomic>
#include <cstdint>

// The call-log dialog's window, for the PIM callback (written on the user-interface thread,
// read on the SDK's).
extern std::atomic<HWND> g_hCalllogWnd;
// The number of call-log records of the last fetch.
extern uint32_t g_CalllogCount;

void CalllogSyncCallback(int32_t event);

class CCalllog : public CDialog {
    DECLARE_DYNAMIC(CCalllog)

public:
    enum { IDD = IDD_CALLLOG };
    // Call-log types of KOBALT_PIMStartUpdateCalllogEx.
    enum CalllogType { kIncoming = 0, kOutgoing = 1, kMissed = 2 };

    explicit CCalllog(CWnd* pParent = nullptr);
    ~CCalllog() override;

    // A PIM event posted by the callback; 0 when the records could not be fetched.
    LRESULT OnPimEvent(WPARAM wParam, LPARAM lParam);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnInComing();
    void OnOutGoing();
    void OnMissCall();
    void StartDownload(CalllogType type);
    // Lists the records the SDK holds; false when their buffer could not be allocated.
    bool ListRecords();

    DECLARE_MESSAGE_MAP()

public:
    CListCtrl m_list;
    CFont m_font;
};
