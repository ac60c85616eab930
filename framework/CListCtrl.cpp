#include "framework/CListCtrl.h"

#include <vector>

IMPLEMENT_DYNAMIC(CListCtrl, CWnd)

int CListCtrl::InsertColumn(int nCol, LPCWSTR lpszColumnHeading, int nFormat, int nWidth,
                            int nSubItem) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.fmt = nFormat;
    column.pszText = const_cast<LPWSTR>(lpszColumnHeading ? lpszColumnHeading : u"");
    if (nWidth != -1) {
        column.mask |= LVCF_WIDTH;
        column.cx = nWidth;
    }
    column.iSubItem = nSubItem;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(nCol),
                                        reinterpret_cast<LPARAM>(&column)));
}

BOOL CListCtrl::SetColumnWidth(int nCol, int cx) {
    // The width travels in the low word.
    const auto width = static_cast<LPARAM>(static_cast<WORD>(static_cast<short>(cx)));
    return SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(nCol), width) ? TRUE : FALSE;
}

int CListCtrl::GetColumnWidth(int nCol) const {
    return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(nCol)));
}

int CListCtrl::InsertItem(int nItem, LPCWSTR lpszItem) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = const_cast<LPWSTR>(lpszItem ? lpszItem : u"");
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCWSTR lpszText) {
    LVITEMW item{};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<LPWSTR>(lpszText ? lpszText : u"");
    return SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(nItem),
                       reinterpret_cast<LPARAM>(&item))
               ? TRUE
               : FALSE;
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const {
    // The message reports how much it copied, not how long the text is: grow until it fits.
    std::vector<WCHAR> buffer(256);
    for (;;) {
        LVITEMW item{};
        item.iSubItem = nSubItem;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        buffer[0] = 0;
        const int copied = static_cast<int>(SendMessage(
            LVM_GETITEMTEXTW, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)));
        if (copied < static_cast<int>(buffer.size()) - 1) {
            return CString(buffer.data(), copied < 0 ? 0 : copied);
        }
        buffer.assign(buffer.size() * 2, 0);
    }
}

BOOL CListCtrl::DeleteItem(int nItem) {
    return SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(nItem)) ? TRUE : FALSE;
}

BOOL CListCtrl::DeleteAllItems() {
    return SendMessage(LVM_DELETEALLITEMS) ? TRUE : FALSE;
}

int CListCtrl::GetItemCount() const {
    return static_cast<int>(SendMessage(LVM_GETITEMCOUNT));
}

int CListCtrl::GetNextItem(int nItem, int nFlags) const {
    return static_cast<int>(
        SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(nItem), static_cast<LPARAM>(nFlags)));
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
    LVITEMW item{};
    item.mask = LVIF_STATE;
    item.state = nState;
    item.stateMask = nMask;
    return SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(nItem),
                       reinterpret_cast<LPARAM>(&item))
               ? TRUE
               : FALSE;
}

UINT CListCtrl::GetItemState(int nItem, UINT nMask) const {
    return static_cast<UINT>(
        SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(nItem), static_cast<LPARAM>(nMask)));
}

int CListCtrl::GetTopIndex() const {
    return static_cast<int>(SendMessage(LVM_GETTOPINDEX));
}

BOOL CListCtrl::EnsureVisible(int nItem, BOOL bPartialOK) {
    return SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(nItem), bPartialOK) ? TRUE : FALSE;
}
