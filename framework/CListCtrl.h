// A list view control (report view: rows of texts under column headings).
#pragma once

#include "framework/CWnd.h"

class CListCtrl : public CWnd {
    DECLARE_DYNAMIC(CListCtrl)

public:
    // Inserts a column at nCol; nWidth -1 leaves the width to the control. Returns the index,
    // or -1.
    int InsertColumn(int nCol, LPCWSTR lpszColumnHeading, int nFormat = LVCFMT_LEFT,
                     int nWidth = -1, int nSubItem = -1);
    BOOL SetColumnWidth(int nCol, int cx);
    int GetColumnWidth(int nCol) const;

    // Inserts a row whose first column is `lpszItem` at nItem (past the end: appended).
    // Returns the row's index, or -1.
    int InsertItem(int nItem, LPCWSTR lpszItem);
    BOOL SetItemText(int nItem, int nSubItem, LPCWSTR lpszText);
    CString GetItemText(int nItem, int nSubItem) const; // empty for a bad row or column
    BOOL DeleteItem(int nItem);
    BOOL DeleteAllItems();
    int GetItemCount() const;

    // The next row after nItem (-1: from the start) with the LVNI_* flags, or -1.
    int GetNextItem(int nItem, int nFlags) const;
    // The selected row, or -1.
    int GetSelectedItem() const { return GetNextItem(-1, LVNI_SELECTED); }
    BOOL SetItemState(int nItem, UINT nState, UINT nMask); // nItem -1: every row
    UINT GetItemState(int nItem, UINT nMask) const;
    int GetTopIndex() const;
    BOOL EnsureVisible(int nItem, BOOL bPartialOK);
};
