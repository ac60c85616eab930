#include "handsfree/HandFree.h"

#include "framework/CDataExchange.h"
#include "handsfree/DTMF.h"
#include "pim/Calllog.h"
#include "platform/InitOrder.h"
#include "sdk/SdkApi.h"
#include "ui/DialogFont.h"
#include "ui/EventText.h"

#include <algorithm>
#include <cstring>

UINT g_uHandFreeDialerStateMsg = 0;

namespace {
struct HandFreeMsgRegistrar {
    HandFreeMsgRegistrar() {
        g_uHandFreeDialerStateMsg = RegisterWindowMessageW(u"WM_QRVOUTMSG_DIALERSTATE");
    }
} s_handFreeMsg KOBALT_INIT_ORDER(KOBALT_INIT_HANDFREE_MESSAGE);

// Dialer-state codes that only replace the state line, with their texts.
struct StateLine {
    WPARAM code;
    const WCHAR* text;
};
constexpr StateLine kStateLines[] = {
    {5, u"HangUp"},
    {6, u"On Talking..."},
    {7, u"dailing..."},
    {8, u"Incoming..."},
    {19, u"Roaming..."},
    {20, u"NoRoaming..."},
    {22, u"NewInComing Hold..."},
    {24, u"NewInComing Active..."},
    {25, u"NewInComing Release..."},
};

constexpr UINT kAudioDriverCallAudioOn = 1069;
constexpr UINT kAudioDriverCallAudioOff = 1070;

// The number an event carries, as the number field shows it (at most 254 characters).
bool EventNumber(LPARAM data, CString& number) {
    char buffer[260];
    if (!CopyEventText(data, buffer))
        return false;
    number = Utf8ToWide(buffer, 255);
    return true;
}

} // namespace

IMPLEMENT_DYNAMIC(HandFree, CDialog)

BEGIN_MESSAGE_MAP(HandFree, CDialog)
    ON_BN_CLICKED(IDC_HF_KEY_1, &HandFree::OnBnClickedKey1)
    ON_BN_CLICKED(IDC_HF_KEY_2, &HandFree::OnBnClickedKey2)
    ON_BN_CLICKED(IDC_HF_KEY_3, &HandFree::OnBnClickedKey3)
    ON_BN_CLICKED(IDC_HF_KEY_4, &HandFree::OnBnClickedKey4)
    ON_BN_CLICKED(IDC_HF_KEY_5, &HandFree::OnBnClickedKey5)
    ON_BN_CLICKED(IDC_HF_KEY_6, &HandFree::OnBnClickedKey6)
    ON_BN_CLICKED(IDC_HF_KEY_7, &HandFree::OnBnClickedKey7)
    ON_BN_CLICKED(IDC_HF_KEY_8, &HandFree::OnBnClickedKey8)
    ON_BN_CLICKED(IDC_HF_KEY_9, &HandFree::OnBnClickedKey9)
    ON_BN_CLICKED(IDC_HF_KEY_0, &HandFree::OnBnClickedKey0)
    ON_BN_CLICKED(IDC_HF_KEY_STAR, &HandFree::OnBnClickedKeyStar)
    ON_BN_CLICKED(IDC_HF_KEY_HASH, &HandFree::OnBnClickedKeyHash)
    ON_BN_CLICKED(IDC_HF_DIAL, &HandFree::OnBnClickedDial)
    ON_BN_CLICKED(IDC_HF_CLEAR, &HandFree::OnBnClickedClear)
    ON_BN_CLICKED(IDC_HF_HANGUP, &HandFree::OnBnClickedHangUp)
    ON_BN_CLICKED(IDC_HF_ANSWER, &HandFree::OnBnClickedAnswer)
    ON_BN_CLICKED(IDC_HF_DTMF, &HandFree::OnBnClickedDtmf)
    ON_BN_CLICKED(IDC_HF_TRANSFER, &HandFree::OnBnClickedTransfer)
    ON_BN_CLICKED(IDC_HF_QUIT, &HandFree::OnBnClickedQuit)
    ON_BN_CLICKED(IDC_HF_CALLLOG, &HandFree::OnBnClickedCalllog)
    ON_BN_CLICKED(IDC_HF_MUTE, &HandFree::OnBnClickedMute)
    ON_BN_CLICKED(IDC_HF_UNMUTE, &HandFree::OnBnClickedUnMute)
    ON_BN_CLICKED(IDC_HF_REDIAL, &HandFree::OnBnClickedRedial)
    ON_BN_CLICKED(IDC_HF_HOLD_TO_ANSWER, &HandFree::OnBnClickedHoldToAnswer)
    ON_BN_CLICKED(IDC_HF_RELEASE_TO_ANSWER, &HandFree::OnBnClickedReleaseToAnswer)
    ON_BN_CLICKED(IDC_HF_HOLD_INCOMING, &HandFree::OnBnClickedHoldInComing)
    ON_BN_CLICKED(IDC_HF_REJECT_INCOMING, &HandFree::OnBnClickedRejectInComing)
    ON_BN_CLICKED(IDC_HF_ACCEPT_HELD_INCOMING, &HandFree::OnBnClickedAcceptHoldInComing)
    ON_BN_CLICKED(IDC_HF_REJECT_HELD_INCOMING, &HandFree::OnBnClickedRejectHoldInComing)
    ON_BN_CLICKED(IDC_HF_CURRENT_CALLS, &HandFree::OnBnClickedGetCurrentCalls)
    ON_REGISTERED_MESSAGE(g_uHandFreeDialerStateMsg, &HandFree::OnDialerState)
END_MESSAGE_MAP()

HandFree::HandFree(CWnd* pParent) : CDialog(IDD, pParent) {}

HandFree::~HandFree() = default;

void HandFree::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_HF_NUMBER, m_editNumber);
    DDX_Control(pDX, IDC_HF_STATE, m_listState);
}

BOOL HandFree::OnInitDialog() {
    CDialog::OnInitDialog();
    CreateDialogFont(m_font, 20);
    m_listState.SetFont(&m_font, TRUE);
    m_editNumber.SetFont(&m_font, TRUE);
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Keypad and number field
// ---------------------------------------------------------------------------------------------

void HandFree::AppendKey(WCHAR key) {
    m_strNumber += key;
    m_editNumber.SetWindowText(m_strNumber);
}

void HandFree::OnBnClickedKey1() {
    AppendKey(u'1');
}
void HandFree::OnBnClickedKey2() {
    AppendKey(u'2');
}
void HandFree::OnBnClickedKey3() {
    AppendKey(u'3');
}
void HandFree::OnBnClickedKey4() {
    AppendKey(u'4');
}
void HandFree::OnBnClickedKey5() {
    AppendKey(u'5');
}
void HandFree::OnBnClickedKey6() {
    AppendKey(u'6');
}
void HandFree::OnBnClickedKey7() {
    AppendKey(u'7');
}
void HandFree::OnBnClickedKey8() {
    AppendKey(u'8');
}
void HandFree::OnBnClickedKey9() {
    AppendKey(u'9');
}
void HandFree::OnBnClickedKey0() {
    AppendKey(u'0');
}
void HandFree::OnBnClickedKeyStar() {
    AppendKey(u'*');
}
void HandFree::OnBnClickedKeyHash() {
    AppendKey(u'#');
}

void HandFree::OnBnClickedClear() {
    m_strNumber.Empty();
    m_editNumber.SetWindowText(m_strNumber);
}

void HandFree::OnBnClickedDial() {
    CString text;
    m_editNumber.GetWindowText(text);
    // The dial path holds 254 bytes; a longer number is cut to what fits. The ANSI code page
    // takes one byte a character, so 254 characters make at most 254 bytes.
    CString fitting(static_cast<LPCWSTR>(text), std::min(text.GetLength(), kDialBufferSize - 1));
    char converted[260] = {};
    WideCharToMultiByte(CP_ACP, 0, fitting, -1, converted, sizeof converted, nullptr, nullptr);
    converted[sizeof converted - 1] = 0;
    char dial[kDialBufferSize] = {};
    std::memcpy(dial, converted, std::min(std::strlen(converted), sizeof dial - 1));
    g_SdkApi.KOBALT_HFAP_Dial(dial, static_cast<int>(std::strlen(dial)));
}

// ---------------------------------------------------------------------------------------------
// Call commands
// ---------------------------------------------------------------------------------------------

void HandFree::OnBnClickedRedial() {
    g_SdkApi.KOBALT_HFAP_LastNumRedial();
}
void HandFree::OnBnClickedAnswer() {
    g_SdkApi.KOBALT_HFAP_AnswerCall();
}
void HandFree::OnBnClickedHangUp() {
    g_SdkApi.KOBALT_HFAP_CancelCall();
}
void HandFree::OnBnClickedMute() {
    g_SdkApi.KOBALT_HFAP_MuteMic();
}
void HandFree::OnBnClickedUnMute() {
    g_SdkApi.KOBALT_HFAP_UnmuteMic();
}

void HandFree::OnBnClickedTransfer() {
    int status = g_SdkApi.KOBALT_HFAP_GetAudioStatus();
    if (status == 0) {
        if (g_SdkApi.KOBALT_HFAP_Transfer() != 0)
            MessageBox(u"Trans Fail", nullptr, 0);
    } else if (status == 1) {
        if (g_SdkApi.KOBALT_HFAP_TransferBack() != 0)
            MessageBox(u"Trans Fail", nullptr, 0);
    }
}

void HandFree::OnBnClickedDtmf() {
    DTMF dlg(nullptr);
    dlg.DoModal();
}

void HandFree::OnBnClickedCalllog() {
    CCalllog dlg(nullptr);
    dlg.DoModal();
}

void HandFree::OnBnClickedQuit() {
    CDialog::OnCancel();
}

// Three-way calling: each entry point is called only when the library has it.
void HandFree::OnBnClickedHoldToAnswer() {
    if (g_SdkApi.KOBALT_HoldActiveToAnswerInComing)
        g_SdkApi.KOBALT_HoldActiveToAnswerInComing();
}
void HandFree::OnBnClickedReleaseToAnswer() {
    if (g_SdkApi.KOBALT_ReleaseActiveToAnswerInComing)
        g_SdkApi.KOBALT_ReleaseActiveToAnswerInComing();
}
void HandFree::OnBnClickedHoldInComing() {
    if (g_SdkApi.KOBALT_HoldInComingCall)
        g_SdkApi.KOBALT_HoldInComingCall();
}
void HandFree::OnBnClickedRejectInComing() {
    if (g_SdkApi.KOBALT_RejectInComingCall)
        g_SdkApi.KOBALT_RejectInComingCall();
}
void HandFree::OnBnClickedAcceptHoldInComing() {
    if (g_SdkApi.KOBALT_AcceptHoldInComingCall)
        g_SdkApi.KOBALT_AcceptHoldInComingCall();
}
void HandFree::OnBnClickedRejectHoldInComing() {
    if (g_SdkApi.KOBALT_RejectHoldInComingCall)
        g_SdkApi.KOBALT_RejectHoldInComingCall();
}
void HandFree::OnBnClickedGetCurrentCalls() {
    if (g_SdkApi.KOBALT_GetCurrentCalls)
        g_SdkApi.KOBALT_GetCurrentCalls();
}

// ---------------------------------------------------------------------------------------------
// Dialer-state events
// ---------------------------------------------------------------------------------------------

void HandFree::ShowState(LPCWSTR line) {
    m_listState.ResetContent();
    m_listState.AddString(line);
}

LRESULT HandFree::OnDialerState(WPARAM wParam, LPARAM lParam) {
    ReportDialerStateEvent(wParam, lParam);
    const WPARAM code = wParam;
    if (code < 3 || code > 25)
        return 1;
    for (const StateLine& state : kStateLines) {
        if (state.code == code) {
            ShowState(state.text);
            return 1;
        }
    }
    switch (code) {
    case 3:
        NKDbgPrintfW(u"[Wayfarer]Sco Conn\r\n");
        waveOutMessage(nullptr, kAudioDriverCallAudioOn, 0, 0);
        break;
    case 4:
        NKDbgPrintfW(u"[Wayfarer]Sco DisConn\r\n");
        waveOutMessage(nullptr, kAudioDriverCallAudioOff, 0, 0);
        break;
    case 10:
    case 11: {
        CString number;
        if (EventNumber(lParam, number))
            m_editNumber.SetWindowText(number);
        break;
    }
    case 23: {
        CString number;
        if (EventNumber(lParam, number)) {
            CString line;
            line.Format(u"NewCall %s", static_cast<LPCWSTR>(number));
            ShowState(line);
        }
        break;
    }
    default:
        break;
    }
    return 1;
}
