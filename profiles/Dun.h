// Dial-up networking: list the SDK's countries, then a country's providers, and dial or hang up
// an internet connection to the opener's current device.
#pragma once

#include "framework/CDialog.h"
#include "framework/CListBox.h"
#include "res/resource.h"
#include "sdk/KobaltAbi.h"

class CDun : public CDialog {
    DECLARE_DYNAMIC(CDun)

public:
    enum { IDD = IDD_DUN };
    // Characters of each connection parameter buffer, terminator included.
    static constexpr int kParamLength = 260;
    // The most entries a country or provider listing takes from the SDK. A larger count is
    // treated as an allocation failure rather than trusted to size an allocation.
    static constexpr uint32_t kMaxListEntries = 0x10000;

    explicit CDun(CWnd* pParent = nullptr);
    ~CDun() override;

    // The opener's current address block; not owned, set before DoModal.
    KOBALT_BdAddr* m_pDevAddr = nullptr;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    void OnBnClickedGetCountry();
    void OnBnClickedGetProvider();
    void OnBnClickedDial();
    void OnBnClickedHangUp();

    // The id stored with the selected entry; 0xFFFFFFFF (LB_ERR) when nothing is selected.
    uint32_t SelectedId() const;
    // Adds the entries with a name, each with its id as item data. Reads no more than
    // `allocated` entries whatever `reported` says, and no name past its 64-unit field.
    void ListEntries(const KOBALT_DunListEntry* entries, uint32_t allocated, uint32_t reported);

    DECLARE_MESSAGE_MAP()

public:
    CListBox m_list;
};
