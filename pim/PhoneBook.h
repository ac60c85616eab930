// The phonebook: the contacts the SDK holds, a download of the phone's contacts, and the
// contacts the phone pushes while the dialog is open.
#pragma once

#include "framework/CButton.h"
#include "framework/CDialog.h"
#include "framework/CFont.h"
#include "framework/CListCtrl.h"
#include "res/resource.h"

#include <atomic>
#include <cstdint>

// The phonebook dialog's window, for the PIM callbacks (written on the user-interface thread,
// read on the SDK's).
extern std::atomic<HWND> g_hPhoneBookWnd;
// The number of contact records of the last fetch.
extern uint32_t g_ContactCount;

void PhoneBookPushCallback(int32_t event);
void PhoneBookSyncCallback(int32_t event);

class PhoneBook : public CDialog {
    DECLARE_DYNAMIC(PhoneBook)

public:
    enum { IDD = IDD_PHONEBOOK };

    explicit PhoneBook(CWnd* pParent = nullptr);
    ~PhoneBook() override;

    // A PIM event posted by the callbacks; 0 when the contacts could not be fetched.
    LRESULT OnPimEvent(WPARAM wParam, LPARAM lParam);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnSync();
    void OnStop();

    enum class Listing { Opening, Downloaded };
    // Lists the contacts the SDK holds; false when their buffer could not be allocated.
    bool ListStoredContacts(Listing when);
    void ListPushedContacts();
    // A new top row: `label` in the first column, `number` in the second.
    void InsertRow(LPCWSTR label, LPCWSTR number);

    DECLARE_MESSAGE_MAP()

public:
    CListCtrl m_listHidden;
    CListCtrl m_listContacts;
    CButton m_btnSync;
    CFont m_font;
};
