// The Init/UnInit stress test: a worker thread initialises and uninitialises the SDK over and
// over, logging every attempt with its cycle number, until the operator stops it.
#pragma once

#include "framework/CButton.h"
#include "framework/CDialog.h"
#include "framework/CListBox.h"
#include "res/resource.h"

#include <atomic>

class CAutoTest;

// The open stress-test dialog, published by its opener around DoModal. User-interface thread
// only: the worker reaches the dialog's list through posted messages, never through this pointer.
extern CAutoTest* g_pAutoTestDlg;
// True while the test is to go on: written by the user-interface thread, polled by the worker
// once per cycle.
extern std::atomic<BOOL> g_bTestRunning;
// Auto-reset; each worker signals it once, when it leaves its loop. One event for the life of
// the process: the first dialog creates it and it is never closed, so a worker that outlives its
// dialog can always signal it.
extern HANDLE g_hTestDone;

// Posted by the worker to the dialog: lines are waiting to be appended to the list.
constexpr UINT WM_AUTOTEST_LINES = WM_APP + 0x110;

// The worker. Runs cycles while g_bTestRunning holds, signals g_hTestDone, returns 1.
DWORD AutoTestThread(LPVOID);

class CAutoTest : public CDialog {
    DECLARE_DYNAMIC(CAutoTest)

public:
    enum { IDD = IDD_AUTOTEST };
    static constexpr DWORD kStopWait = 30000; // ms a stop waits for the worker to end

    explicit CAutoTest(CWnd* pParent = nullptr);
    ~CAutoTest() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    // "OnOff" starts the test, "Cancle" stops it.
    void OnBnClickedOnOff();
    // Starts a worker once no earlier worker is left; a worker still finishing from a stop that
    // was given up on is waited for first, and if it still runs nothing is started.
    void Start();
    // Asks the worker to stop and waits for it (at most kStopWait).
    void Stop();
    // Closing the dialog stops the test as Cancle does; later worker lines are dropped.
    void OnDestroy();
    // Appends the lines the worker has sent.
    LRESULT OnWorkerLines(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

public:
    CListBox m_list;
    CButton m_btnOnOff;
};
