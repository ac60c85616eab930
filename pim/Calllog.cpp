#include "pim/Calllog.h"

#include "framework/CDataExchange.h"
#include "pim/NameNumberList.h"
#include "pim/PimMessages.h"
#include "pim/RecordBuffer.h"
#include "pim/RecordField.h"
#include "sdk/EventReport.h"
#include "sdk/SdkApi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

std::atomic<HWND> g_hCalllogWnd{nullptr};
uint32_t g_CalllogCount = 0;

namespace {

constexpr std::size_t kNameUnits = 32;
// The number runs to the end of the record.
constexpr std::size_t kNumberUnits =
    (KOBALT_CALLLOG_RECORD_SIZE - KOBALT_CALLLOG_NUMBER) / sizeof(WCHAR);

bool IsCalllogEvent(int32_t event) {
    return event == KOBALT_PIM_FAIL || event == KOBALT_PIM_CALLLOG_DONE ||
           event == KOBALT_PARAM_INVALID || event == KOBALT_NO_CONN ||
           event == KOBALT_CALL_ALREADYEXIST;
}

} // namespace

void CalllogSyncCallback(int32_t event) {
    if (IsCalllogEvent(event))
        PostMessageW(g_hCalllogWnd.load(), WM_CALLLOG_EVENT, static_cast<WPARAM>(event), 0);
}

IMPLEMENT_DYNAMIC(CCalllog, CDialog)

BEGIN_MESSAGE_MAP(CCalllog, CDialog)
    ON_BN_CLICKED(IDC_CALLLOG_INCOMING, &CCalllog::OnInComing)
    ON_MESSAGE(WM_CALLLOG_EVENT, &CCalllog::OnPimEvent)
    ON_BN_CLICKED(IDC_CALLLOG_MISSED, &CCalllog::OnMissCall)
    ON_BN_CLICKED(IDC_CALLLOG_OUTGOING, &CCalllog::OnOutGoing)
END_MESSAGE_MAP()

CCalllog::CCalllog(CWnd* pParent) : CDialog(IDD, pParent) {}

CCalllog::~CCalllog() = default;

void CCalllog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CALLLOG_LIST, m_list);
}

BOOL CCalllog::OnInitDialog() {
    CDialog::OnInitDialog();
    SetUpNameNumberList(m_list, m_font);

    g_hCalllogWnd = GetSafeHwnd();
    return TRUE;
}

void CCalllog::StartDownload(CalllogType type) {
    m_list.DeleteAllItems();
    g_SdkApi.KOBALT_PIMRegisterCallback(&CalllogSyncCallback);
    g_SdkApi.KOBALT_PIMStartUpdateCalllogEx(type);
    SetWindowText(u"Syncing...");
}

void CCalllog::OnInComing() {
    StartDownload(kIncoming);
}
void CCalllog::OnOutGoing() {
    StartDownload(kOutgoing);
}
void CCalllog::OnMissCall() {
    StartDownload(kMissed);
}

bool CCalllog::ListRecords() {
    if (g_SdkApi.KOBALT_PIMGetCalllogs(nullptr, &g_CalllogCount) != 0)
        return true;
    // The fill may leave any count behind; only the records allocated here are read.
    const uint32_t capacity = g_CalllogCount;
    if (capacity == 0)
        return true;
    RecordBuffer records(capacity, KOBALT_CALLLOG_RECORD_SIZE, u"Call logs");
    if (records.Data() == nullptr)
        return false;
    g_SdkApi.KOBALT_PIMGetCalllogs(records.Data(), &g_CalllogCount);
    const uint32_t listed = std::min(g_CalllogCount, capacity);
    for (uint32_t i = 0; i < listed; ++i) {
        const unsigned char* record = records.Record(i);
        CString name = ReadTextField(record, KOBALT_CALLLOG_NAME, kNameUnits);
        CString number = ReadTextField(record, KOBALT_CALLLOG_NUMBER, kNumberUnits);
        if (!name.IsEmpty()) {
            int row = m_list.InsertItem(0, name);
            if (!number.IsEmpty())
                m_list.SetItemText(row, 1, number);
        } else if (!number.IsEmpty()) {
            // Second row; in an empty list the list view appends it as the first.
            m_list.InsertItem(1, number);
        }
    }
    return true;
}

LRESULT CCalllog::OnPimEvent(WPARAM wParam, LPARAM) {
    kobalt::events::ReportPim(static_cast<int32_t>(wParam));
    switch (wParam) {
    case KOBALT_PIM_FAIL:
        MessageBox(u" NO Item Value");
        break;
    case KOBALT_PIM_CALLLOG_DONE:
        if (!ListRecords())
            return 0; // the caption keeps "Syncing..."
        break;
    case KOBALT_PARAM_INVALID:
        MessageBox(u"KOBALT_PARAM_INVALID");
        break;
    case KOBALT_NO_CONN:
        MessageBox(u"KOBALT_NO_CONN");
        break;
    case KOBALT_CALL_ALREADYEXIST:
        MessageBox(u"KOBALT_CALL_ALREADYEXIST");
        break;
    default:
        break;
    }
    SetWindowText(u"CallLog");
    return 1;
}
