#include "tools/Setting.h"

#include "framework/CDataExchange.h"
#include "sdk/SdkApi.h"
#include "ui/DeviceText.h"
#include "ui/EventText.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// `text` in the ANSI code page, cut to what `buffer` holds with its terminator. The code page
// is single-byte, so the cut never splits a character.
void ToAnsiPin(LPCWSTR text, char (&buffer)[Setting::kPinBytes]) {
    std::memset(buffer, 0, sizeof buffer);
    int needed = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 1)
        return;
    std::vector<char> converted(static_cast<std::size_t>(needed), 0);
    WideCharToMultiByte(CP_ACP, 0, text, -1, converted.data(), needed, nullptr, nullptr);
    std::size_t length =
        std::min<std::size_t>(static_cast<std::size_t>(needed) - 1, sizeof buffer - 1);
    std::memcpy(buffer, converted.data(), length);
}

} // namespace

IMPLEMENT_DYNAMIC(Setting, CDialog)

// clang-format off
BEGIN_MESSAGE_MAP(Setting, CDialog)
    ON_BN_CLICKED(IDC_SETTING_SAVE, &Setting::OnBnClickedSave)
END_MESSAGE_MAP()
// clang-format on

Setting::Setting(CWnd* pParent) : CDialog(IDD, pParent) {}

Setting::~Setting() = default;

void Setting::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SETTING_PIN, m_editPin);
    DDX_Control(pDX, IDC_SETTING_NAME, m_editName);
    DDX_Control(pDX, IDC_SETTING_MODULE, m_editModule);
    DDX_Control(pDX, IDC_SETTING_ADDR, m_editAddr);
}

BOOL Setting::OnInitDialog() {
    CDialog::OnInitDialog();

    char pin[kPinBytes] = {};
    uint32_t length = kPinBytes;
    g_SdkApi.KOBALT_GetDefaultPinCode(pin, &length);
    pin[kPinBytes - 1] = 0; // whatever the SDK wrote, the PIN ends inside the buffer
    // A PIN longer than the field's 254 characters is cut there rather than lost.
    m_editPin.SetWindowText(Utf8ToWide(pin, kPinCharacters));

    KOBALT_WCHAR name[kNameLength] = {};
    g_SdkApi.KOBALT_GetLocalName(name, kNameLength);
    KOBALT_WCHAR version[kVersionLength] = {};
    g_SdkApi.KOBALT_GetSofewareVersion(version);
    KOBALT_BdAddr addr{};
    g_SdkApi.KOBALT_GetLocalBTAddr(&addr);

    const BYTE* b = addr.b;
    NKDbgPrintfW(u"[Wayfarer]addr--%02X:%02X:%02X:%02X:%02X:%02X\r\n", b[5], b[4], b[3], b[2], b[1],
                 b[0]);

    m_editName.SetWindowText(NameFromField(name, kNameLength));
    m_editModule.SetWindowText(NameFromField(version, kVersionLength));
    m_editAddr.SetWindowText(FormatAddress(b));
    return TRUE;
}

void Setting::OnBnClickedSave() {
    CString pinText;
    m_editPin.GetWindowText(pinText);
    char pin[kPinBytes];
    ToAnsiPin(pinText, pin);
    g_SdkApi.KOBALT_SetDefaultPinCode(pin, kPinBytes);

    CString name;
    m_editName.GetWindowText(name);
    g_SdkApi.KOBALT_SetLocalName(name);
}
