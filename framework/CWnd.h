// A window as the framework sees it: a handle plus wrappers that message it.
//
// Every wrapper is a message or a window service call on m_hWnd, so it may be called from any
// thread; the window's owner thread carries it out. A wrapper of a detached CWnd (null handle)
// does nothing and returns 0 / FALSE.
#pragma once

#include "common/AtomicPtr.h"
#include "framework/CCmdTarget.h"
#include "framework/CString.h"

#include <map>
#include <memory>
#include <mutex>

class CDataExchange;
class CFont;

class CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)

public:
    CWnd() = default;
    // A CWnd that is still attached to a window made by the framework (a dialog) destroys it;
    // a control wrapper never destroys its control.
    ~CWnd() override;

    // Read from any thread; written by the owner thread (attach, destroy).
    AtomicPtr<HWND> m_hWnd;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // FALSE when `hWnd` is null or this object is already attached.
    BOOL Attach(HWND hWnd);
    HWND Detach();

    // Message dispatch, on the owner thread: the message map first, then DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // TRUE when the message map handled the message; its result is in *pResult.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void DoDataExchange(CDataExchange* pDX);
    // Runs DoDataExchange (load: FALSE, save: TRUE); DDX_Control binds controls.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // FALSE for a detached CWnd (a null handle would post to the calling thread).
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    void SetWindowText(LPCWSTR lpszString);
    int GetWindowText(LPWSTR lpszStringBuf, int nMaxCount) const;
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const;
    BOOL EnableWindow(BOOL bEnable = TRUE); // TRUE when the window was disabled before
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL DestroyWindow();

    // The child control `nID` of this window, or null when there is none. The object stays
    // valid as long as this CWnd: it is the control bound by DDX_Control when there is one,
    // else a wrapper this CWnd keeps for that id, of the control's framework class (CButton,
    // CListBox, ... as GetDlgItemClass tells), so `static_cast<CButton*>(GetDlgItem(id))` is
    // sound. Safe to call from any thread.
    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;

    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    // The CFont object that created the window's font, or null (no font, or not a CFont's).
    CFont* GetFont() const;
    // Sets the large (bBigIcon TRUE) or small icon; returns the previous one.
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    // A message box owned by this window; with no caption, the application's name.
    int MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption = nullptr, UINT nType = MB_OK);

    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(const RECT* lpRect, BOOL bRepaint = TRUE);
    void GetWindowRect(RECT* lpRect) const;
    DWORD GetStyle() const;
    // Removes then adds style bits; TRUE when the style changed.
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    void MapDialogRect(RECT* lpRect) const;

    // Default handlers for ON_WM_SIZE / ON_WM_DESTROY entries; they do nothing.
    void OnSize(UINT nType, int cx, int cy);
    void OnDestroy();

    // Framework use (DDX_Control): GetDlgItem(nID) returns `pControl` from now on.
    void BindDlgItem(int nID, CWnd* pControl);

protected:
    // The window class of child control `nID` (WC_BUTTON, ...), or null when unknown. CDialog
    // reads it from its template.
    virtual const WCHAR* GetDlgItemClass(int nID) const;

private:
    friend LRESULT AfxDlgProc(HWND, UINT, WPARAM, LPARAM);

    // After WM_DESTROY: the window and the controls handed out for it are detached.
    void DetachAfterDestroy(HWND hWnd);

    struct ChildSlot {
        CWnd* bound = nullptr;           // bound by DDX_Control; owned by the dialog object
        std::unique_ptr<CWnd> temporary; // made by GetDlgItem for an unbound id
    };
    mutable std::mutex m_childLock;              // guards m_children
    mutable std::map<int, ChildSlot> m_children; // by control id; never shrinks
};

// The window procedure of framework dialogs: finds the CWnd through GWLP_USERDATA, attaches it on
// its first message, dispatches through WindowProc, and detaches it after WM_DESTROY.
LRESULT AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
