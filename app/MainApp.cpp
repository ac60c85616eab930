#include "app/MainApp.h"

#include "app/MainDlg.h"
#include "platform/InitOrder.h"

BEGIN_MESSAGE_MAP(CMainApp, CWinApp)
END_MESSAGE_MAP()

// The application has no name of its own: its message boxes show the executable's name.
CMainApp::CMainApp() : CWinApp(nullptr) {}

CMainApp::~CMainApp() = default;

CMainApp theApp KOBALT_INIT_ORDER(KOBALT_INIT_APPLICATION);

BOOL CMainApp::InitInstance() {
    SetRegistryKey(u"Local AppWizard-Generated Applications");

    CMainDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // SDK threads find the main window only through g_hMainWnd, which the window withdrew
    // when it was destroyed; nothing of theirs points at this dialog any more.
    m_pMainWnd = nullptr;
    return FALSE;
}
