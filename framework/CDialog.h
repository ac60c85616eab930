// A dialog made from a dialog template and run modally.
#pragma once

#include "framework/CWnd.h"

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)

public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Creates the dialog from template m_nIDTemplate, runs it modally on the calling thread and
    // returns the EndDialog result; -1 when the template is missing or creation fails. The
    // window is destroyed (and m_hWnd null) when it returns.
    virtual INT_PTR DoModal();
    // Binds the controls (UpdateData(FALSE)); TRUE lets the dialog set the focus.
    virtual BOOL OnInitDialog();
    // IDOK and IDCANCEL commands that the message map does not handle land here.
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int nResult);

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

protected:
    const WCHAR* GetDlgItemClass(int nID) const override;
    LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
