// A button control: push, radio or check button.
#pragma once

#include "framework/CWnd.h"

class CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)

public:
    int GetCheck() const;      // BST_UNCHECKED or BST_CHECKED
    void SetCheck(int nCheck); // BST_CHECKED (1) checks it; radio buttons uncheck their group
};
