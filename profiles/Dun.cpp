#include "profiles/Dun.h"

#include "framework/CDataExchange.h"
#include "sdk/SdkApi.h"
#include "ui/DeviceText.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

// A zero-filled array of `count` entries; null when the count is out of bounds or memory is short.
std::unique_ptr<KOBALT_DunListEntry[]> AllocateEntries(uint32_t count) {
    if (count > CDun::kMaxListEntries)
        return nullptr;
    return std::unique_ptr<KOBALT_DunListEntry[]>(new (std::nothrow) KOBALT_DunListEntry[count]());
}

} // namespace

IMPLEMENT_DYNAMIC(CDun, CDialog)

// clang-format off
BEGIN_MESSAGE_MAP(CDun, CDialog)
    ON_BN_CLICKED(IDC_DUN_GET_COUNTRY, &CDun::OnBnClickedGetCountry)
    ON_BN_CLICKED(IDC_DUN_GET_PROVIDER, &CDun::OnBnClickedGetProvider)
    ON_BN_CLICKED(IDC_DUN_DIAL, &CDun::OnBnClickedDial)
    ON_BN_CLICKED(IDC_DUN_HANGUP, &CDun::OnBnClickedHangUp)
END_MESSAGE_MAP()
// clang-format on

CDun::CDun(CWnd* pParent) : CDialog(IDD, pParent) {}

CDun::~CDun() = default;

void CDun::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DUN_LIST, m_list);
}

uint32_t CDun::SelectedId() const {
    return static_cast<uint32_t>(m_list.GetItemData(m_list.GetCurSel()));
}

void CDun::ListEntries(const KOBALT_DunListEntry* entries, uint32_t allocated, uint32_t reported) {
    const uint32_t listed = std::min(allocated, reported);
    for (uint32_t i = 0; i < listed; ++i) {
        CString name = NameFromField(entries[i].name, 64);
        if (name.IsEmpty())
            continue;
        // The list sorts: the index AddString returns is the only way to the new entry.
        int index = m_list.AddString(name);
        if (index >= 0)
            m_list.SetItemData(index, entries[i].id);
    }
}

void CDun::OnBnClickedGetCountry() {
    CWnd* button = GetDlgItem(IDC_DUN_GET_COUNTRY);
    button->EnableWindow(FALSE);
    m_list.AddString(u"reading file....");

    uint32_t count = 0;
    g_SdkApi.KOBALT_DUNGetCountry(nullptr, &count);
    if (auto entries = AllocateEntries(count)) {
        // No countries: the list shows none. With nothing allocated there is nothing to fill.
        const uint32_t allocated = count;
        if (allocated != 0)
            g_SdkApi.KOBALT_DUNGetCountry(entries.get(), &count);
        m_list.ResetContent();
        if (allocated != 0)
            ListEntries(entries.get(), allocated, count);
    }
    button->EnableWindow(TRUE);
}

void CDun::OnBnClickedGetProvider() {
    uint32_t count = 0;
    const uint32_t countryId = SelectedId();
    g_SdkApi.KOBALT_DUNGetProvider(countryId, nullptr, &count);
    auto entries = AllocateEntries(count);
    m_list.ResetContent();
    if (entries && count != 0) {
        const uint32_t allocated = count;
        g_SdkApi.KOBALT_DUNGetProvider(countryId, entries.get(), &count);
        ListEntries(entries.get(), allocated, count);
    }
}

void CDun::OnBnClickedDial() {
    const uint32_t providerId = SelectedId();
    KOBALT_WCHAR params[5][kParamLength] = {};
    g_SdkApi.KOBALT_DUNGetParams(providerId, params[0], params[1], params[2], params[3], params[4]);
    // Passed on as filled, but never without a terminator.
    for (auto& param : params)
        param[kParamLength - 1] = 0;
    if (g_SdkApi.KOBALT_DUNConnect(m_pDevAddr, params[0], params[1], params[2], params[3],
                                   params[4]) == 0)
        MessageBox(u"INTERNET OK");
    else
        MessageBox(u"INTERNET error!");
}

void CDun::OnBnClickedHangUp() {
    if (g_SdkApi.KOBALT_Disconnect(m_pDevAddr, KOBALT_SERVICE_INTERNET) == 0)
        MessageBox(u"KOBALT_INTERNET Dis OK");
    else
        MessageBox(u"Dun Dis ERROR");
}
