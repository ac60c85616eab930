// Data exchange between a dialog and its member objects (DoDataExchange).
#pragma once

#include "platform/Windows.h"

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    // The handle of control `nIDC` of the dialog, or null when the dialog has none.
    HWND PrepareCtrl(int nIDC) const;

    BOOL m_bSaveAndValidate; // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;         // the dialog being exchanged
};

// Attaches control `nIDC` of the dialog to `rControl` unless it is attached already, and makes
// the dialog's GetDlgItem(nIDC) return `rControl`. A missing control leaves `rControl` detached
// (its calls then do nothing).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
