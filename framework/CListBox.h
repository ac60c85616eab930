// A list box control. Indexes are zero-based; LB_ERR (-1) reports a bad index or no selection.
#pragma once

#include "framework/CWnd.h"

class CListBox : public CWnd {
    DECLARE_DYNAMIC(CListBox)

public:
    // A sorted list box places the string at its sorted position; returns that index.
    int AddString(LPCWSTR lpszItem);
    // Inserts at nIndex (-1: at the end) without sorting; returns the index.
    int InsertString(int nIndex, LPCWSTR lpszItem);
    int DeleteString(UINT nIndex); // the remaining count, or LB_ERR
    void ResetContent();
    int GetCount() const;

    int GetTextLen(int nIndex) const;
    // Copies the text into `lpszBuffer`, which must hold GetTextLen(nIndex) + 1 characters.
    int GetText(int nIndex, LPWSTR lpszBuffer) const;
    // The text of entry nIndex; empty for a bad index.
    void GetText(int nIndex, CString& rString) const;

    int GetCurSel() const;
    int SetCurSel(int nSelect); // -1 clears the selection

    DWORD_PTR GetItemData(int nIndex) const;
    int SetItemData(int nIndex, DWORD_PTR dwItemData);
    void* GetItemDataPtr(int nIndex) const;
    int SetItemDataPtr(int nIndex, void* pData);

    int GetTopIndex() const;
    int SetTopIndex(int nIndex);
};
