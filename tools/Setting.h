// The local adapter's settings as the SDK reports them: PIN code, name, software version and
// address. The PIN code and the name can be saved back.
#pragma once

#include "framework/CDialog.h"
#include "framework/CEdit.h"
#include "res/resource.h"

class Setting : public CDialog {
    DECLARE_DYNAMIC(Setting)

public:
    enum { IDD = IDD_SETTING };
    static constexpr int kPinBytes = 260;      // narrow PIN buffer, terminator included
    static constexpr int kPinCharacters = 255; // the PIN as shown, terminator included
    static constexpr int kNameLength = 64;
    static constexpr int kVersionLength = 40;

    explicit Setting(CWnd* pParent = nullptr);
    ~Setting() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    // Sends the PIN (ANSI code page, at most 259 bytes) and the name; shows nothing.
    void OnBnClickedSave();

    DECLARE_MESSAGE_MAP()

public:
    CEdit m_editPin;
    CEdit m_editName;
    CEdit m_editModule;
    CEdit m_editAddr;
};
