#include "tools/AutoTest.h"

#include "framework/CDataExchange.h"
#include "sdk/SdkApi.h"

#include <mutex>
#include <utility>
#include <vector>

CAutoTest* g_pAutoTestDlg = nullptr;
std::atomic<BOOL> g_bTestRunning{FALSE};
HANDLE g_hTestDone = nullptr;

namespace {

// The current cycle, from 1. The worker's alone; workers never overlap.
int nCount = 0;

// A worker was started and its done signal has not been taken yet. User-interface thread only,
// which is the only thread that waits on g_hTestDone, so every signal is taken exactly once.
bool s_bWorkerPending = false;

// Lines on their way from the worker to the dialog's list. The worker never waits for the
// dialog: it appends under a short lock and posts a wake-up when the box was empty; the dialog
// takes every waiting line on its own thread, in order. While no dialog receives, lines are
// dropped.
class LineMailbox {
public:
    // Lines go to `target` from now on; lines still waiting stay, in order.
    void Open(HWND target) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_target = target;
    }
    // No more lines are taken; waiting ones are dropped.
    void Close() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_target = nullptr;
        m_lines.clear();
    }
    void Append(CString line) {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_target == nullptr)
            return;
        m_lines.push_back(std::move(line));
        // A wake-up is on its way while earlier lines wait.
        if (m_lines.size() == 1 && !PostMessageW(m_target, WM_AUTOTEST_LINES, 0, 0)) {
            m_target = nullptr; // the window is gone
            m_lines.clear();
        }
    }
    std::vector<CString> Take() {
        std::lock_guard<std::mutex> lock(m_lock);
        return std::exchange(m_lines, {});
    }

private:
    std::mutex m_lock;
    HWND m_target = nullptr;
    std::vector<CString> m_lines;
};

// Never destroyed: a worker may still append while the process exits.
LineMailbox& Mailbox() {
    static LineMailbox* mailbox = new LineMailbox;
    return *mailbox;
}

// True when no worker is left: none was started since the last signal was taken, or the last
// one signals within kStopWait.
bool AwaitWorker() {
    if (!s_bWorkerPending)
        return true;
    if (WaitForSingleObject(g_hTestDone, CAutoTest::kStopWait) != WAIT_OBJECT_0)
        return false;
    s_bWorkerPending = false;
    return true;
}

void Log(LPCWSTR format, int count) {
    CString line;
    line.Format(format, count);
    Mailbox().Append(std::move(line));
}

} // namespace

DWORD AutoTestThread(LPVOID) {
    nCount = 1;
    while (g_bTestRunning.load()) {
        Mailbox().Append(CString(u"Initing..."));
        Log(g_SdkApi.KOBALT_Init() == 0 ? u"Init Suc(nCount = %d)" : u"Init Fail(nCount = %d)",
            nCount);
        Sleep(2000);
        Mailbox().Append(CString(u"Uninit..."));
        Log(g_SdkApi.KOBALT_UnInit() == 0 ? u"Uninit Suc(nCount = %d)"
                                          : u"Uninit Fail(nCount = %d)",
            nCount);
        ++nCount;
        Sleep(2000);
    }
    SetEvent(g_hTestDone);
    return 1;
}

IMPLEMENT_DYNAMIC(CAutoTest, CDialog)

// clang-format off
BEGIN_MESSAGE_MAP(CAutoTest, CDialog)
    ON_BN_CLICKED(IDC_AUTOTEST_ONOFF, &CAutoTest::OnBnClickedOnOff)
    ON_MESSAGE(WM_AUTOTEST_LINES, &CAutoTest::OnWorkerLines)
    ON_WM_DESTROY()
END_MESSAGE_MAP()
// clang-format on

CAutoTest::CAutoTest(CWnd* pParent) : CDialog(IDD, pParent) {
    // Made before any worker exists, so workers only ever read the handle.
    if (g_hTestDone == nullptr)
        g_hTestDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

CAutoTest::~CAutoTest() = default;

void CAutoTest::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_AUTOTEST_LIST, m_list);
    DDX_Control(pDX, IDC_AUTOTEST_ONOFF, m_btnOnOff);
}

void CAutoTest::OnBnClickedOnOff() {
    CString caption;
    m_btnOnOff.GetWindowText(caption);
    if (caption.Find(u"OnOff") >= 0)
        Start();
    else
        Stop();
}

void CAutoTest::Start() {
    // Without the event a worker could never be seen to end.
    if (g_hTestDone == nullptr || !AwaitWorker())
        return;
    Mailbox().Open(GetSafeHwnd());
    g_bTestRunning = TRUE;
    m_btnOnOff.SetWindowText(u"Cancle");
    HANDLE thread = CreateThread(nullptr, 0, &AutoTestThread, nullptr, 0, nullptr);
    if (thread == nullptr) {
        // No worker: the dialog does not pretend that one runs.
        g_bTestRunning = FALSE;
        m_btnOnOff.SetWindowText(u"OnOff");
        return;
    }
    CloseHandle(thread);
    s_bWorkerPending = true;
}

void CAutoTest::Stop() {
    g_bTestRunning = FALSE;
    AwaitWorker();
    m_btnOnOff.SetWindowText(u"OnOff");
}

void CAutoTest::OnDestroy() {
    Mailbox().Close();
    g_bTestRunning = FALSE;
    AwaitWorker();
    CDialog::OnDestroy();
}

LRESULT CAutoTest::OnWorkerLines(WPARAM, LPARAM) {
    for (const CString& line : Mailbox().Take())
        m_list.AddString(line);
    return 0;
}
