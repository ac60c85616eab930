#include "app/MainDlg.h"

#include "app/MainApp.h"
#include "framework/CButton.h"
#include "framework/CDataExchange.h"
#include "framework/Relayout.h"
#include "platform/InitOrder.h"

#include <cstring>

namespace {

// The radio buttons have no members of their own; a button object is attached for one call.
class DlgButton {
public:
    DlgButton(CWnd& dialog, int id) {
        if (CWnd* item = dialog.GetDlgItem(id))
            m_button.Attach(item->GetSafeHwnd());
    }
    ~DlgButton() { m_button.Detach(); }
    DlgButton(const DlgButton&) = delete;
    DlgButton& operator=(const DlgButton&) = delete;
    CButton* operator->() { return &m_button; }

private:
    CButton m_button;
};

} // namespace

UINT g_uDialerStateMsg = 0;

namespace {
// Obtains the id in its place in the order of static initialisation.
struct DialerStateMsgRegistrar {
    DialerStateMsgRegistrar() {
        g_uDialerStateMsg = RegisterWindowMessageW(u"WM_QRVOUTMSG_DIALERSTATE");
    }
} s_dialerStateMsg KOBALT_INIT_ORDER(KOBALT_INIT_MAIN_MESSAGE);
} // namespace

BEGIN_MESSAGE_MAP(CMainDlg, CDialog)
    ON_WM_SIZE()
    ON_WM_DESTROY()
    ON_BN_CLICKED(IDC_MAIN_START, &CMainDlg::OnBnClickedStart)
    ON_BN_CLICKED(IDC_MAIN_QUIT, &CMainDlg::OnBnClickedQuit)
    ON_BN_CLICKED(IDC_MAIN_CLEAR, &CMainDlg::OnBnClickedClear)
END_MESSAGE_MAP()

CMainDlg::CMainDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_nDeviceCount(0), m_bStarted(FALSE) {
    m_hIcon = theApp.LoadIcon(IDR_MAINFRAME);
    // The block's content stays unset until a device is selected or an event names one; it is
    // zeroed here so that a command before then names 00:00:00:00:00:00 rather than garbage.
    m_pCurAddr = new BYTE[sizeof(BdAddr)]();
}

CMainDlg::~CMainDlg() {
    delete[] m_pCurAddr; // null when OnDestroy freed it
}

void CMainDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MAIN_STATUSLIST, m_StatusList);
}

BOOL CMainDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // Connection commands wait for START and for the events that make them meaningful.
    for (int id : {IDC_MAIN_DIAL, IDC_MAIN_A2DP, IDC_MAIN_CONNECT, IDC_MAIN_DISCONNECT,
                   IDC_MAIN_PHONEBOOK, IDC_MAIN_DUN, IDC_MAIN_SPP})
        GetDlgItem(id)->EnableWindow(FALSE);

    DlgButton(*this, IDC_MAIN_MODE_DEFAULT)->SetCheck(1);

    LOGFONTW lf;
    std::memset(&lf, 0, sizeof lf);
    lf.lfHeight = 16;
    std::memcpy(lf.lfFaceName, u"\u5B8B\u4F53", 3 * sizeof(WCHAR));
    m_font.CreateFontIndirect(&lf);
    m_StatusList.SetFont(&m_font, TRUE);

    std::memset(&m_SppAddr, 0, sizeof m_SppAddr);
    m_bSppConnected = FALSE;
    return TRUE;
}

void CMainDlg::OnSize(UINT nType, int cx, int cy) {
    CDialog::OnSize(nType, cx, cy);
    if (!AfxIsResolutionAwareRelayout())
        return;
    bool portrait = GetSystemMetrics(SM_CYSCREEN) > GetSystemMetrics(SM_CXSCREEN);
    AfxRelayoutDialog(this, portrait ? IDD_KOBALTDEMO_DIALOG : IDD_KOBALTDEMO_DIALOG_WIDE);
}

void CMainDlg::OnDestroy() {
    if (m_bStarted) {
        g_SdkApi.KOBALT_UnInit();
        m_bStarted = FALSE;
    }
    delete[] m_pCurAddr;
    m_pCurAddr = nullptr;
    CDialog::OnDestroy();
}

void CMainDlg::OnBnClickedStart() {
    GetDlgItem(IDC_MAIN_START)->EnableWindow(FALSE);

    if (DlgButton(*this, IDC_MAIN_MODE_140)->GetCheck())
        g_SdkApi.KOBALT_SetIntegrateTL(2);
    else if (DlgButton(*this, IDC_MAIN_MODE_173)->GetCheck())
        g_SdkApi.KOBALT_SetIntegrateTL(1);

    if (g_SdkApi.KOBALT_Init() != 0) {
        GetDlgItem(IDC_MAIN_START)->EnableWindow(TRUE);
        m_StatusList.AddString(u"BlueTooth StartFail");
        return;
    }
    GetDlgItem(IDC_MAIN_CONNECT)->EnableWindow(TRUE);
    GetDlgItem(IDC_MAIN_SPP)->EnableWindow(TRUE);
    m_StatusList.ResetContent();
    m_StatusList.AddString(u"BlueTooth Start");
    m_bStarted = TRUE;
}

void CMainDlg::OnBnClickedQuit() {
    if (m_bStarted) {
        g_SdkApi.KOBALT_UnInit();
        m_bStarted = FALSE;
    }
    GetDlgItem(IDC_MAIN_START)->EnableWindow(TRUE);
    CDialog::OnCancel();
}

void CMainDlg::OnBnClickedClear() { m_StatusList.ResetContent(); }
