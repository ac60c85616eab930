#include "app/MainDlg.h"

#include "app/MainApp.h"
#include "app/PowerMonitor.h"
#include "app/SdkCallbacks.h"
#include "framework/CButton.h"
#include "framework/CDataExchange.h"
#include "framework/Relayout.h"
#include "handsfree/HandFree.h"
#include "pim/PhoneBook.h"
#include "platform/InitOrder.h"
#include "profiles/A2DP.h"
#include "profiles/Dun.h"
#include "sdk/EventReport.h"
#include "tools/AutoTest.h"
#include "tools/Setting.h"
#include "ui/DeviceText.h"
#include "ui/DialogFont.h"
#include "ui/EventText.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

// The radio buttons have no members of their own; a button object is attached for one call.
class DlgButton {
public:
    DlgButton(CWnd& dialog, int id) {
        if (CWnd* item = dialog.GetDlgItem(id))
            m_button.Attach(item->GetSafeHwnd());
    }
    ~DlgButton() { m_button.Detach(); }
    DlgButton(const DlgButton&) = delete;
    DlgButton& operator=(const DlgButton&) = delete;
    CButton* operator->() { return &m_button; }

private:
    CButton m_button;
};

} // namespace

UINT g_uDialerStateMsg = 0;
std::atomic<HWND> g_hMainWnd{nullptr};

namespace {
// Obtains the id in its place in the order of static initialisation.
struct DialerStateMsgRegistrar {
    DialerStateMsgRegistrar() {
        g_uDialerStateMsg = RegisterWindowMessageW(u"WM_QRVOUTMSG_DIALERSTATE");
    }
} s_dialerStateMsg KOBALT_INIT_ORDER(KOBALT_INIT_MAIN_MESSAGE);
} // namespace

BEGIN_MESSAGE_MAP(CMainDlg, CDialog)
    ON_WM_SIZE()
    ON_WM_DESTROY()
    ON_BN_CLICKED(IDC_MAIN_START, &CMainDlg::OnBnClickedStart)
    ON_BN_CLICKED(IDC_MAIN_QUIT, &CMainDlg::OnBnClickedQuit)
    ON_BN_CLICKED(IDC_MAIN_SEARCH, &CMainDlg::OnBnClickedSearch)
    ON_BN_CLICKED(IDC_MAIN_CONNECT, &CMainDlg::OnBnClickedConnect)
    ON_BN_CLICKED(IDC_MAIN_DISCONNECT, &CMainDlg::OnBnClickedDisconnect)
    ON_BN_CLICKED(IDC_MAIN_SETTING, &CMainDlg::OnBnClickedSetting)
    ON_BN_CLICKED(IDC_MAIN_TEST, &CMainDlg::OnBnClickedTest)
    ON_BN_CLICKED(IDC_MAIN_RECORD, &CMainDlg::OnBnClickedRecord)
    ON_BN_CLICKED(IDC_MAIN_SIRI, &CMainDlg::OnBnClickedSiri)
    ON_BN_CLICKED(IDC_MAIN_ENDSIRI, &CMainDlg::OnBnClickedEndSiri)
    ON_BN_CLICKED(IDC_MAIN_SPP, &CMainDlg::OnBnClickedSpp)
    ON_BN_CLICKED(IDC_MAIN_DIAL, &CMainDlg::OnBnClickedDial)
    ON_BN_CLICKED(IDC_MAIN_A2DP, &CMainDlg::OnBnClickedA2dp)
    ON_BN_CLICKED(IDC_MAIN_PHONEBOOK, &CMainDlg::OnBnClickedPhoneBook)
    ON_BN_CLICKED(IDC_MAIN_CLEAR, &CMainDlg::OnBnClickedClear)
    ON_REGISTERED_MESSAGE(g_uDialerStateMsg, &CMainDlg::OnDialerState)
    ON_BN_CLICKED(IDC_MAIN_DUN, &CMainDlg::OnBnClickedDun)
    ON_MESSAGE(WM_APP_CONNECT_EVENT, &CMainDlg::OnConnectEventMessage)
    ON_MESSAGE(WM_APP_PAIR_EVENT, &CMainDlg::OnPairEventMessage)
    ON_MESSAGE(WM_APP_DEVICE_FOUND, &CMainDlg::OnDeviceFoundMessage)
    ON_MESSAGE(WM_APP_DISCOVERY_DONE, &CMainDlg::OnDiscoveryDoneMessage)
END_MESSAGE_MAP()

CMainDlg::CMainDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_pHandFreeDlg(nullptr), m_nDeviceCount(0), m_bStarted(FALSE) {
    m_hIcon = theApp.LoadIcon(IDR_MAINFRAME);
    // The block's content stays unset until a device is selected or an event names one; it is
    // zeroed here so that a command before then names 00:00:00:00:00:00 rather than garbage.
    m_pCurAddr = new BYTE[sizeof(BdAddr)]();
}

CMainDlg::~CMainDlg() {
    delete[] m_pCurAddr; // null when OnDestroy freed it
}

void CMainDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MAIN_STATUSLIST, m_StatusList);
}

BOOL CMainDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    g_hMainWnd = GetSafeHwnd();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // Connection commands wait for START and for the events that make them meaningful.
    for (int id : {IDC_MAIN_DIAL, IDC_MAIN_A2DP, IDC_MAIN_CONNECT, IDC_MAIN_DISCONNECT,
                   IDC_MAIN_PHONEBOOK, IDC_MAIN_DUN, IDC_MAIN_SPP})
        GetDlgItem(id)->EnableWindow(FALSE);

    DlgButton(*this, IDC_MAIN_MODE_DEFAULT)->SetCheck(1);

    CreateDialogFont(m_font, 16);
    m_StatusList.SetFont(&m_font, TRUE);

    StartPowerMonitor();

    std::memset(&m_SppAddr, 0, sizeof m_SppAddr);
    m_bSppConnected = FALSE;
    return TRUE;
}

void CMainDlg::OnSize(UINT nType, int cx, int cy) {
    CDialog::OnSize(nType, cx, cy);
    if (!AfxIsResolutionAwareRelayout())
        return;
    bool portrait = GetSystemMetrics(SM_CYSCREEN) > GetSystemMetrics(SM_CXSCREEN);
    AfxRelayoutDialog(this, portrait ? IDD_KOBALTDEMO_DIALOG : IDD_KOBALTDEMO_DIALOG_WIDE);
}

void CMainDlg::OnDestroy() {
    // SDK events from now on find no window; only this window's own handle is withdrawn.
    HWND self = GetSafeHwnd();
    g_hMainWnd.compare_exchange_strong(self, nullptr);
    StopPowerMonitor();
    if (m_bStarted) {
        g_SdkApi.KOBALT_UnInit();
        m_bStarted = FALSE;
    }
    delete[] m_pCurAddr;
    m_pCurAddr = nullptr;
    CDialog::OnDestroy();
}

void CMainDlg::OnBnClickedStart() {
    GetDlgItem(IDC_MAIN_START)->EnableWindow(FALSE);

    if (DlgButton(*this, IDC_MAIN_MODE_140)->GetCheck())
        g_SdkApi.KOBALT_SetIntegrateTL(2);
    else if (DlgButton(*this, IDC_MAIN_MODE_173)->GetCheck())
        g_SdkApi.KOBALT_SetIntegrateTL(1);

    if (g_SdkApi.KOBALT_Init() != 0) {
        GetDlgItem(IDC_MAIN_START)->EnableWindow(TRUE);
        m_StatusList.AddString(u"BlueTooth StartFail");
        return;
    }
    GetDlgItem(IDC_MAIN_CONNECT)->EnableWindow(TRUE);
    GetDlgItem(IDC_MAIN_SPP)->EnableWindow(TRUE);
    m_StatusList.ResetContent();
    g_SdkApi.KOBALT_RegisterConnectCallback(&ConnectEventCallback);
    g_SdkApi.KOBALT_RegisterPairCallback(&PairEventCallback);
    g_SdkApi.KOBALT_HFAP_RegisterCallback(0, &HfEventCallback);
    m_StatusList.AddString(u"BlueTooth Start");
    m_bStarted = TRUE;
}

void CMainDlg::OnBnClickedQuit() {
    if (m_bStarted) {
        g_SdkApi.KOBALT_UnInit();
        m_bStarted = FALSE;
    }
    GetDlgItem(IDC_MAIN_START)->EnableWindow(TRUE);
    CDialog::OnCancel();
}

void CMainDlg::OnBnClickedClear() {
    m_StatusList.ResetContent();
}

// ---------------------------------------------------------------------------------------------
// Device and connection commands
// ---------------------------------------------------------------------------------------------

void CMainDlg::ApplySelection() {
    int selected = m_StatusList.GetCurSel();
    if (selected == LB_ERR)
        return;
    // Device entries point at a slot of m_DevAddr or m_ShortcutAddr; status lines carry null.
    auto* addr = static_cast<const BdAddr*>(m_StatusList.GetItemDataPtr(selected));
    if (addr == nullptr || addr == reinterpret_cast<const BdAddr*>(LB_ERR))
        return;
    std::memcpy(m_pCurAddr, addr, sizeof(BdAddr));
}

void CMainDlg::OnBnClickedSearch() {
    m_StatusList.ResetContent();
    m_StatusList.AddString(u"Wait a moment ,Search....");
    m_nDeviceCount = 0;
    g_SdkApi.KOBALT_DeviceDiscovery(&DiscoveryCallback);
}

void CMainDlg::OnBnClickedRecord() {
    m_StatusList.ResetContent();
    uint32_t count = 0;
    g_SdkApi.KOBALT_GetAllShortCuts(nullptr, &count);
    if (count == 0 || count > kMaxShortcuts)
        return;
    // The fill may report any count; only the records allocated here are read.
    const uint32_t capacity = count;
    std::unique_ptr<KOBALT_DeviceRecord[]> records(new (std::nothrow)
                                                       KOBALT_DeviceRecord[capacity]());
    if (!records)
        return;
    g_SdkApi.KOBALT_GetAllShortCuts(records.get(), &count);
    const uint32_t listed = std::min(count, capacity);
    for (uint32_t i = 0; i < listed; ++i) {
        const KOBALT_DeviceRecord& record = records[i];
        int index = m_StatusList.InsertString(static_cast<int>(i), NameFromField(record.name, 64));
        // Entries past the table are listed without an address.
        if (index >= 0 && index < kMaxDevices) {
            m_ShortcutAddr[index] = record.addr;
            m_StatusList.SetItemDataPtr(index, &m_ShortcutAddr[index]);
        }
    }
}

void CMainDlg::OnBnClickedConnect() {
    ApplySelection();
    if (g_SdkApi.KOBALT_Connect(CurrentAddress(), KOBALT_SERVICE_HF) != 0)
        MessageBox(u"Connect HF Fail");
}

void CMainDlg::OnBnClickedDisconnect() {
    ApplySelection();
    g_SdkApi.KOBALT_Disconnect(CurrentAddress(), KOBALT_SERVICE_HF);
}

void CMainDlg::OnBnClickedSpp() {
    if (m_bSppConnected) {
        g_SdkApi.KOBALT_Disconnect(&m_SppAddr, KOBALT_SERVICE_SPP);
        return;
    }
    ApplySelection();
    if (g_SdkApi.KOBALT_Connect(CurrentAddress(), KOBALT_SERVICE_SPP) != 0)
        MessageBox(u"Connect SPP Fail");
}

void CMainDlg::OnBnClickedSiri() {
    g_SdkApi.KOBALT_StartVoiceRecog();
}

void CMainDlg::OnBnClickedEndSiri() {
    g_SdkApi.KOBALT_StopVoiceRecog();
}

// ---------------------------------------------------------------------------------------------
// SDK events
// ---------------------------------------------------------------------------------------------

LRESULT CMainDlg::OnConnectEventMessage(WPARAM, LPARAM lParam) {
    const auto& data = *reinterpret_cast<const ConnectEventData*>(lParam);
    kobalt::events::ReportConnect(data.connected, data.addr ? &*data.addr : nullptr, data.service);
    OnConnectEvent(data);
    return 1;
}

LRESULT CMainDlg::OnPairEventMessage(WPARAM, LPARAM lParam) {
    const auto& data = *reinterpret_cast<const PairEventData*>(lParam);
    kobalt::events::ReportPair(data.success, data.addr ? &*data.addr : nullptr);
    OnPairEvent(data);
    return 1;
}

LRESULT CMainDlg::OnDeviceFoundMessage(WPARAM, LPARAM lParam) {
    const auto& record = *reinterpret_cast<const KOBALT_DeviceRecord*>(lParam);
    kobalt::events::ReportDiscovery(0, record);
    OnDeviceFound(FALSE, record);
    return 0;
}

LRESULT CMainDlg::OnDiscoveryDoneMessage(WPARAM, LPARAM lParam) {
    // The callback passes the record it was given; a sender without one passes null.
    const auto* record = reinterpret_cast<const KOBALT_DeviceRecord*>(lParam);
    kobalt::events::ReportDiscovery(1, record != nullptr ? *record : KOBALT_DeviceRecord{});
    OnDeviceFound(TRUE, KOBALT_DeviceRecord{});
    return 0;
}

namespace {

// The connect and disconnect texts of each service; null where a service shows nothing.
struct ServiceTexts {
    short service;
    const WCHAR* onConnect;
    const WCHAR* onDisconnect;
};

constexpr ServiceTexts kServiceTexts[] = {
    {KOBALT_SERVICE_HF, u"Connect  with %s And service is HF",
     u"Disconnect  with %s And service is HF"},
    {KOBALT_SERVICE_A2DP, u"Connect  with %s And service is A2DP",
     u"Disconnect  with %s And service is A2DP"},
    {KOBALT_SERVICE_INTERNET, u"Connect  with %s And service is Internet",
     u"Disconnect  with %s And service is Internet"},
    {KOBALT_SERVICE_FTP, u"Connect  with %s And service is Ftp",
     u"Disconnect  with %s And service is Ftp"},
    {KOBALT_SERVICE_SPP, u"Connect  with %s And service is SPP(%d)",
     u"Disconnect  with %s And service is SPP"},
    {KOBALT_SERVICE_A2DP_STREAMING, u"A2DP streaming Start", u"A2DP streaming Over"},
    {KOBALT_SERVICE_NFC, u"NFC Nearby", u"NFC Leave"},
};

const ServiceTexts* FindServiceTexts(short service) {
    for (const auto& t : kServiceTexts)
        if (t.service == service)
            return &t;
    return nullptr;
}

} // namespace

void CMainDlg::OnConnectEvent(const ConnectEventData& event) {
    CString text;
    const BOOL bConnected = event.connected;
    const short service = event.service;
    if (event.addr)
        std::memcpy(m_pCurAddr, &*event.addr, sizeof(BdAddr));
    CString remoteName = NameFromField(event.name, kRemoteNameUnits);

    if (const ServiceTexts* texts = FindServiceTexts(service)) {
        if (service == KOBALT_SERVICE_SPP && bConnected) {
            if (event.addr)
                m_SppAddr = *event.addr;
            m_bSppConnected = TRUE;
            CString caption;
            caption.Format(u"SPP(%d)", event.captionPort);
            GetDlgItem(IDC_MAIN_SPP)->SetWindowText(caption);
            text.Format(texts->onConnect, static_cast<LPCWSTR>(remoteName), event.textPort);
        } else {
            if (service == KOBALT_SERVICE_SPP) {
                m_bSppConnected = FALSE;
                GetDlgItem(IDC_MAIN_SPP)->SetWindowText(u"SPP");
            }
            text.Format(bConnected ? texts->onConnect : texts->onDisconnect,
                        static_cast<LPCWSTR>(remoteName));
        }
    }
    if (!text.IsEmpty())
        SetWindowText(text);

    if (service == KOBALT_SERVICE_HF) {
        GetDlgItem(IDC_MAIN_DIAL)->EnableWindow(bConnected);
        GetDlgItem(IDC_MAIN_CONNECT)->EnableWindow(!bConnected);
        GetDlgItem(IDC_MAIN_DISCONNECT)->EnableWindow(bConnected);
        GetDlgItem(IDC_MAIN_PHONEBOOK)->EnableWindow(bConnected);
        GetDlgItem(IDC_MAIN_DUN)->EnableWindow(bConnected);
    } else if (service == KOBALT_SERVICE_A2DP) {
        GetDlgItem(IDC_MAIN_A2DP)->EnableWindow(bConnected);
    }
}

void CMainDlg::OnPairEvent(const PairEventData& event) {
    if (!event.success) {
        MessageBox(u"Pair Error!");
        return;
    }
    // The operator sees the pairing in the status list, among the other status lines.
    CString text;
    text.Format(u"Paired with %s ",
                static_cast<LPCWSTR>(NameFromField(event.name, kRemoteNameUnits)));
    m_StatusList.AddString(text);
}

void CMainDlg::OnDeviceFound(BOOL bFinished, const KOBALT_DeviceRecord& record) {
    if (bFinished) {
        m_StatusList.DeleteString(static_cast<UINT>(m_nDeviceCount));
        return;
    }
    CString name = NameFromField(record.name, 64);
    CString entry = name.IsEmpty() ? FormatAddress(record.addr.b) : name;
    int index = m_StatusList.InsertString(m_nDeviceCount, entry);
    if (index < 0)
        return; // refused (the list was cleared during the search): not listed, not counted
    // Entries past the table are listed without an address.
    if (index < kMaxDevices) {
        m_DevAddr[index] = record.addr;
        m_StatusList.SetItemDataPtr(index, &m_DevAddr[index]);
    }
    ++m_nDeviceCount;
}

// ---------------------------------------------------------------------------------------------
// The hands-free dialog and dialer-state events
// ---------------------------------------------------------------------------------------------

void CMainDlg::RunHandFree() {
    HandFree dlg(nullptr);
    m_pHandFreeDlg = &dlg;
    dlg.DoModal();
    m_pHandFreeDlg = nullptr;
}

void CMainDlg::OnBnClickedDial() {
    RunHandFree();
}

void CMainDlg::OnBnClickedPhoneBook() {
    PhoneBook dlg(nullptr);
    dlg.DoModal();
}

LRESULT CMainDlg::OnDialerState(WPARAM wParam, LPARAM lParam) {
    // While the hands-free dialog's window exists, every event is its own, in the order the SDK
    // sent them.
    if (m_pHandFreeDlg != nullptr && IsWindow(m_pHandFreeDlg->GetSafeHwnd())) {
        m_pHandFreeDlg->SendMessage(g_uHandFreeDialerStateMsg, wParam, lParam);
        return 1;
    }
    // Otherwise this window shows it, also while the dialog is being made or is already gone.
    ReportDialerStateEvent(wParam, lParam);
    switch (wParam) {
    case 7:
    case 8:
        // The event that opens the dialog is consumed; the dialog shows the ones after it. A
        // dialog that is opening or closing is never run a second time over itself.
        if (m_pHandFreeDlg == nullptr)
            RunHandFree();
        else
            NKDbgPrintfW(u"[KOBALT][HF]Call state %u while the telephone opens or closes\r\n",
                         static_cast<unsigned>(wParam));
        break;
    case 15:
        m_StatusList.AddString(u"[Extend]NetWorkAvailable");
        break;
    case 16:
        m_StatusList.AddString(u"[Extend]NetWork UnAvailable");
        break;
    case 17:
    case 18: {
        const auto* level = reinterpret_cast<const BYTE*>(lParam);
        if (level == nullptr)
            break; // nothing was sent, so nothing is shown
        WCHAR line[20] = {};
        wsprintfW(line, wParam == 17 ? u"Sngl(%d)" : u"Battch(%d)", static_cast<int>(*level));
        m_StatusList.AddString(line);
        break;
    }
    case 21: {
        char text[260];
        if (CopyEventText(lParam, text))
            m_StatusList.AddString(Utf8ToWide(text, 50)); // at most 49 characters
        break;
    }
    default:
        break;
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Sub-dialogs: settings, stress test, AVRCP remote control, dial-up networking
// ---------------------------------------------------------------------------------------------

void CMainDlg::OnBnClickedSetting() {
    Setting dlg(nullptr);
    dlg.DoModal();
}

void CMainDlg::OnBnClickedTest() {
    CAutoTest dlg(nullptr);
    g_pAutoTestDlg = &dlg;
    dlg.DoModal();
    g_pAutoTestDlg = nullptr;
}

void CMainDlg::OnBnClickedA2dp() {
    // The SDK answers in the low 8 bits.
    auto isConnected = [this](short service) {
        return static_cast<BYTE>(g_SdkApi.KOBALT_IsConnected(CurrentAddress(), service)) != 0;
    };
    if (!isConnected(KOBALT_SERVICE_AVRCP) && !isConnected(KOBALT_SERVICE_AVRCP_TARGET) &&
        g_SdkApi.KOBALT_Connect(CurrentAddress(), KOBALT_SERVICE_AVRCP_TARGET) != 0) {
        MessageBox(u"Connect AVRCP Fail");
        return;
    }
    // A successful connect opens the remote control at once, without waiting for its event.
    A2DP dlg(nullptr);
    dlg.DoModal();
}

void CMainDlg::OnBnClickedDun() {
    if (static_cast<BYTE>(g_SdkApi.KOBALT_IsConnected(CurrentAddress(), KOBALT_SERVICE_HF)) != 0)
        g_SdkApi.KOBALT_Disconnect(CurrentAddress(), KOBALT_SERVICE_HF);
    CDun dlg(nullptr);
    dlg.m_pDevAddr = CurrentAddress(); // the block itself: later events may change it
    dlg.DoModal();
}
