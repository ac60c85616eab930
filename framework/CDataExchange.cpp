#include "framework/CDataExchange.h"

#include "framework/CWnd.h"

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

HWND CDataExchange::PrepareCtrl(int nIDC) const {
    const HWND hDlg = m_pDlgWnd ? m_pDlgWnd->GetSafeHwnd() : nullptr;
    return hDlg ? ::GetDlgItem(hDlg, nIDC) : nullptr;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.GetSafeHwnd() != nullptr) {
        return;
    }
    const HWND hCtrl = pDX->PrepareCtrl(nIDC);
    if (hCtrl == nullptr) {
        ::NKDbgPrintfW(u"DDX_Control: no control %d\r\n", nIDC);
        return;
    }
    rControl.Attach(hCtrl);
    pDX->m_pDlgWnd->BindDlgItem(nIDC, &rControl);
}
