#include "framework/CDialog.h"

#include "platform/DialogTemplate.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
    const DialogTemplate* tmpl = ::FindDialogTemplate(static_cast<int>(m_nIDTemplate));
    if (tmpl == nullptr) {
        return -1;
    }
    const HWND hParent = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    const HWND hWnd = ::CreateDialogIndirectParamW(
        nullptr, tmpl, hParent, &AfxDlgProc, reinterpret_cast<LPARAM>(static_cast<CWnd*>(this)));
    if (hWnd == nullptr) {
        return -1;
    }
    return ::RunModalDialog(hWnd);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult) {
    const HWND hWnd = m_hWnd;
    if (hWnd != nullptr) {
        ::EndDialog(hWnd, nResult);
    }
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefDlgProcW(m_hWnd, message, wParam, lParam);
}

const WCHAR* CDialog::GetDlgItemClass(int nID) const {
    if (const DialogTemplate* tmpl = ::FindDialogTemplate(static_cast<int>(m_nIDTemplate))) {
        for (const DialogControlTemplate& control : tmpl->controls) {
            if (control.id == nID) {
                return control.kind;
            }
        }
    }
    return nullptr;
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    return OnInitDialog();
}
