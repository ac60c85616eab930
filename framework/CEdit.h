// A single-line edit control. Its text is CWnd's window text.
#pragma once

#include "framework/CWnd.h"

class CEdit : public CWnd {
    DECLARE_DYNAMIC(CEdit)

public:
    // Selects characters nStartChar up to nEndChar; (0, -1) selects all, (-1, 0) none.
    void SetSel(int nStartChar, int nEndChar);
};
