#include "handsfree/DTMF.h"

#include "framework/CDataExchange.h"
#include "sdk/SdkApi.h"
#include "ui/DialogFont.h"

#include <cstring>

IMPLEMENT_DYNAMIC(DTMF, CDialog)

BEGIN_MESSAGE_MAP(DTMF, CDialog)
    ON_BN_CLICKED(IDC_DTMF_KEY_1, &DTMF::OnBnClickedKey1)
    ON_BN_CLICKED(IDC_DTMF_KEY_2, &DTMF::OnBnClickedKey2)
    ON_BN_CLICKED(IDC_DTMF_KEY_3, &DTMF::OnBnClickedKey3)
    ON_BN_CLICKED(IDC_DTMF_KEY_4, &DTMF::OnBnClickedKey4)
    ON_BN_CLICKED(IDC_DTMF_KEY_5, &DTMF::OnBnClickedKey5)
    ON_BN_CLICKED(IDC_DTMF_KEY_6, &DTMF::OnBnClickedKey6)
    ON_BN_CLICKED(IDC_DTMF_KEY_7, &DTMF::OnBnClickedKey7)
    ON_BN_CLICKED(IDC_DTMF_KEY_8, &DTMF::OnBnClickedKey8)
    ON_BN_CLICKED(IDC_DTMF_KEY_9, &DTMF::OnBnClickedKey9)
    ON_BN_CLICKED(IDC_DTMF_KEY_0, &DTMF::OnBnClickedKey0)
    ON_BN_CLICKED(IDC_DTMF_KEY_STAR, &DTMF::OnBnClickedKeyStar)
    ON_BN_CLICKED(IDC_DTMF_KEY_HASH, &DTMF::OnBnClickedKeyHash)
END_MESSAGE_MAP()

DTMF::DTMF(CWnd* pParent) : CDialog(IDD, pParent) {
    CreateDialogFont(m_font, 20);
}

DTMF::~DTMF() = default;

void DTMF::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DTMF_DISPLAY, m_editDisplay);
}

BOOL DTMF::OnInitDialog() {
    CDialog::OnInitDialog();
    m_editDisplay.SetFont(&m_font, TRUE);
    return TRUE;
}

void DTMF::SendKey(WCHAR key) {
    m_strKey = CString(key);
    char converted[4] = {};
    WideCharToMultiByte(CP_ACP, 0, m_strKey, -1, converted, sizeof converted, nullptr, nullptr);
    m_editDisplay.SetWindowText(m_strKey);
    g_SdkApi.KOBALT_HFAP_TransmitDTMFCode(static_cast<int>(static_cast<signed char>(converted[0])));
}

void DTMF::OnBnClickedKey1() {
    SendKey(u'1');
}
void DTMF::OnBnClickedKey2() {
    SendKey(u'2');
}
void DTMF::OnBnClickedKey3() {
    SendKey(u'3');
}
void DTMF::OnBnClickedKey4() {
    SendKey(u'4');
}
void DTMF::OnBnClickedKey5() {
    SendKey(u'5');
}
void DTMF::OnBnClickedKey6() {
    SendKey(u'6');
}
void DTMF::OnBnClickedKey7() {
    SendKey(u'7');
}
void DTMF::OnBnClickedKey8() {
    SendKey(u'8');
}
void DTMF::OnBnClickedKey9() {
    SendKey(u'9');
}
void DTMF::OnBnClickedKey0() {
    SendKey(u'0');
}
void DTMF::OnBnClickedKeyStar() {
    SendKey(u'*');
}
void DTMF::OnBnClickedKeyHash() {
    SendKey(u'#');
}
