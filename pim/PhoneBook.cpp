#include "pim/PhoneBook.h"

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

std::atomic<HWND> g_hPhoneBookWnd{nullptr};
uint32_t g_ContactCount = 0;

namespace {

// Slots of a pushed contact shown as numbers, in the order they are inserted at the top.
constexpr int kPushedNumberSlots[] = {2, 4, 3, 1, 6, 7};
constexpr std::size_t kOppSlotUnits = KOBALT_OPP_SLOT_SIZE / sizeof(WCHAR);
constexpr std::size_t kNameUnits = 32;
constexpr std::size_t kNumberUnits = 41;

bool IsSyncEvent(int32_t event) {
    return event == KOBALT_PIM_CONTACTS_DONE || event == KOBALT_PIM_FAIL ||
           event == KOBALT_PARAM_INVALID || event == KOBALT_NO_CONN ||
           event == KOBALT_CALL_ALREADYEXIST;
}

} // namespace

void PhoneBookPushCallback(int32_t event) {
    if (event == KOBALT_PIM_OPP_CONTACTS)
        PostMessageW(g_hPhoneBookWnd.load(), WM_PHONEBOOK_EVENT, KOBALT_PIM_OPP_CONTACTS, 0);
}

void PhoneBookSyncCallback(int32_t event) {
    if (IsSyncEvent(event))
        PostMessageW(g_hPhoneBookWnd.load(), WM_PHONEBOOK_EVENT, static_cast<WPARAM>(event), 0);
}

IMPLEMENT_DYNAMIC(PhoneBook, CDialog)

BEGIN_MESSAGE_MAP(PhoneBook, CDialog)
    ON_BN_CLICKED(IDC_PHONEBOOK_SYNC, &PhoneBook::OnSync)
    ON_BN_CLICKED(IDC_PHONEBOOK_STOP, &PhoneBook::OnStop)
    ON_MESSAGE(WM_PHONEBOOK_EVENT, &PhoneBook::OnPimEvent)
END_MESSAGE_MAP()

PhoneBook::PhoneBook(CWnd* pParent) : CDialog(IDD, pParent) {}

PhoneBook::~PhoneBook() = default;

void PhoneBook::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PHONEBOOK_HIDDEN, m_listHidden);
    DDX_Control(pDX, IDC_PHONEBOOK_LIST, m_listContacts);
    DDX_Control(pDX, IDC_PHONEBOOK_SYNC, m_btnSync);
}

BOOL PhoneBook::OnInitDialog() {
    CDialog::OnInitDialog();
    SetUpNameNumberList(m_listContacts, m_font);
    g_hPhoneBookWnd = GetSafeHwnd();

    g_SdkApi.KOBALT_PIMRegisterCallback(&PhoneBookPushCallback);
    ListStoredContacts(Listing::Opening);
    return TRUE;
}

void PhoneBook::InsertRow(LPCWSTR label, LPCWSTR number) {
    int row = m_listContacts.InsertItem(0, label);
    m_listContacts.SetItemText(row, 1, number);
}

bool PhoneBook::ListStoredContacts(Listing when) {
    if (g_SdkApi.KOBALT_PIMGetContacts(nullptr, &g_ContactCount) != 0)
        return true;
    // The fill may leave any count behind; only the records allocated here are read.
    const uint32_t capacity = g_ContactCount;
    RecordBuffer records(capacity, KOBALT_CONTACT_RECORD_SIZE, u"Contacts");
    if (capacity != 0 && records.Data() == nullptr)
        return false;
    if (capacity != 0)
        g_SdkApi.KOBALT_PIMGetContacts(records.Data(), &g_ContactCount);
    if (when == Listing::Downloaded)
        m_listContacts.DeleteAllItems();
    const uint32_t listed = std::min(g_ContactCount, capacity);
    for (uint32_t i = 0; i < listed; ++i) {
        const unsigned char* record = records.Record(i);
        CString name = ReadTextField(record, KOBALT_CONTACT_NAME, kNameUnits);
        if (name.IsEmpty())
            continue;
        struct Number {
            std::size_t offset;
            const WCHAR* suffix;
        };
        for (const Number& n :
             {Number{KOBALT_CONTACT_CELL, u"(Cell)"}, Number{KOBALT_CONTACT_HOME, u"(Home)"},
              Number{KOBALT_CONTACT_WORK, u"(Work)"}}) {
            CString number = ReadTextField(record, n.offset, kNumberUnits);
            if (number.IsEmpty())
                continue;
            WCHAR label[260] = {};
            wsprintfW(label, u"%s%s", static_cast<LPCWSTR>(name), n.suffix);
            InsertRow(label, number);
        }
    }
    return true;
}

void PhoneBook::ListPushedContacts() {
    uint32_t count = 0;
    g_SdkApi.KOBALT_PIMGetOppContacts(nullptr, &count);
    const uint32_t capacity = count;
    RecordBuffer records(capacity, KOBALT_OPP_RECORD_SIZE, u"Pushed contacts");
    if (records.Data() != nullptr)
        g_SdkApi.KOBALT_PIMGetOppContacts(records.Data(), &count);
    m_listContacts.DeleteAllItems();
    if (records.Data() == nullptr)
        return;
    const uint32_t listed = std::min(count, capacity);
    for (uint32_t i = 0; i < listed; ++i) {
        const unsigned char* record = records.Record(i);
        CString name = ReadTextField(record, 0, kOppSlotUnits);
        if (name.IsEmpty())
            continue;
        for (int slot : kPushedNumberSlots) {
            CString number = ReadTextField(
                record, static_cast<std::size_t>(slot) * KOBALT_OPP_SLOT_SIZE, kOppSlotUnits);
            if (!number.IsEmpty())
                InsertRow(name, number);
        }
    }
}

void PhoneBook::OnSync() {
    m_btnSync.EnableWindow(FALSE);
    m_listContacts.DeleteAllItems();
    g_SdkApi.KOBALT_PIMRegisterCallback(&PhoneBookSyncCallback);
    g_SdkApi.KOBALT_PIMStartUpdateContacts(0);
}

void PhoneBook::OnStop() {
    g_SdkApi.KOBALT_PIMStopUpdate();
    m_btnSync.EnableWindow(TRUE);
}

LRESULT PhoneBook::OnPimEvent(WPARAM wParam, LPARAM) {
    kobalt::events::ReportPim(static_cast<int32_t>(wParam));
    m_btnSync.EnableWindow(TRUE);
    switch (wParam) {
    case KOBALT_PIM_CONTACTS_DONE:
        if (!ListStoredContacts(Listing::Downloaded))
            return 0;
        break;
    case KOBALT_PIM_FAIL:
        MessageBox(u"KOBALT_PIM_FAIL");
        break;
    case KOBALT_PIM_OPP_CONTACTS:
        ListPushedContacts();
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
    return 1;
}
