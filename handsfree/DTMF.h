// The DTMF keypad: each key sends one tone character to the phone and shows it.
#pragma once

#include "framework/CDialog.h"
#include "framework/CEdit.h"
#include "framework/CFont.h"
#include "framework/CString.h"
#include "res/resource.h"

class DTMF : public CDialog {
    DECLARE_DYNAMIC(DTMF)

public:
    enum { IDD = IDD_DTMF };

    explicit DTMF(CWnd* pParent = nullptr);
    ~DTMF() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    // Shows `key` and sends it as the ANSI byte of the character.
    void SendKey(WCHAR key);
    void OnBnClickedKey1();
    void OnBnClickedKey2();
    void OnBnClickedKey3();
    void OnBnClickedKey4();
    void OnBnClickedKey5();
    void OnBnClickedKey6();
    void OnBnClickedKey7();
    void OnBnClickedKey8();
    void OnBnClickedKey9();
    void OnBnClickedKey0();
    void OnBnClickedKeyStar();
    void OnBnClickedKeyHash();

    DECLARE_MESSAGE_MAP()

public:
    CEdit m_editDisplay;
    CString m_strKey; // the last key pressed
    CFont m_font;
};
