#include "framework/CWnd.h"

#include "framework/CDataExchange.h"
#include "framework/CFont.h"
#include "framework/CWinApp.h"
#include "framework/WindowClass.h"

#include <vector>

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

namespace {
constexpr WPARAM kIconSmall = 0;
constexpr WPARAM kIconBig = 1;
} // namespace

CWnd::~CWnd() {
    const HWND hWnd = m_hWnd.exchange(nullptr);
    if (hWnd != nullptr && ::GetWindowLongPtrW(hWnd, GWLP_USERDATA) ==
                               reinterpret_cast<LONG_PTR>(static_cast<CWnd*>(this))) {
        // The derived parts are gone: the window must not reach this object again.
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hWnd);
    }
}

BOOL CWnd::Attach(HWND hWnd) {
    if (hWnd == nullptr || m_hWnd != nullptr) {
        return FALSE;
    }
    m_hWnd = hWnd;
    return TRUE;
}

HWND CWnd::Detach() {
    return m_hWnd.exchange(nullptr);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) {
        result = DefWindowProc(message, wParam, lParam);
    }
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    return DispatchThroughMessageMap(message, wParam, lParam, pResult);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    const HWND hWnd = m_hWnd;
    return hWnd ? ::SendMessageW(hWnd, message, wParam, lParam) : 0;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    const HWND hWnd = m_hWnd;
    return hWnd ? ::PostMessageW(hWnd, message, wParam, lParam) : FALSE;
}

void CWnd::SetWindowText(LPCWSTR lpszString) {
    SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpszString ? lpszString : u""));
}

int CWnd::GetWindowText(LPWSTR lpszStringBuf, int nMaxCount) const {
    if (lpszStringBuf == nullptr || nMaxCount <= 0) {
        return 0;
    }
    lpszStringBuf[0] = 0;
    return static_cast<int>(SendMessage(WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                        reinterpret_cast<LPARAM>(lpszStringBuf)));
}

void CWnd::GetWindowText(CString& rString) const {
    // The text may change between the two messages when another thread sets it; WM_GETTEXT
    // is bounded by the capacity, so the result is then cut, never overrun.
    const int length = GetWindowTextLength();
    std::vector<WCHAR> buffer(static_cast<std::size_t>(length > 0 ? length : 0) + 1, 0);
    const int copied = GetWindowText(buffer.data(), static_cast<int>(buffer.size()));
    rString = CString(buffer.data(), copied);
}

int CWnd::GetWindowTextLength() const {
    return static_cast<int>(SendMessage(WM_GETTEXTLENGTH));
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    return ::EnableWindow(m_hWnd, bEnable);
}

BOOL CWnd::IsWindowEnabled() const {
    return ::IsWindowEnabled(m_hWnd);
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::IsWindowVisible() const {
    return ::IsWindowVisible(m_hWnd);
}

BOOL CWnd::DestroyWindow() {
    const HWND hWnd = m_hWnd;
    return hWnd ? ::DestroyWindow(hWnd) : FALSE;
}

CWnd* CWnd::GetDlgItem(int nID) const {
    const HWND hWnd = m_hWnd;
    const HWND hChild = hWnd ? ::GetDlgItem(hWnd, nID) : nullptr;
    if (hChild == nullptr) {
        return nullptr;
    }
    std::lock_guard lock(m_childLock);
    ChildSlot& slot = m_children[nID];
    if (slot.bound != nullptr && slot.bound->m_hWnd == hChild) {
        return slot.bound;
    }
    if (!slot.temporary) {
        slot.temporary = kobalt::framework::MakeControlWrapper(GetDlgItemClass(nID));
    }
    slot.temporary->m_hWnd = hChild;
    return slot.temporary.get();
}

const WCHAR* CWnd::GetDlgItemClass(int) const {
    return nullptr;
}

int CWnd::GetDlgCtrlID() const {
    return ::GetDlgCtrlID(m_hWnd);
}

void CWnd::BindDlgItem(int nID, CWnd* pControl) {
    std::lock_guard lock(m_childLock);
    m_children[nID].bound = pControl;
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
    const HFONT hFont = pFont ? pFont->GetSafeHandle() : nullptr;
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hFont), bRedraw ? TRUE : FALSE);
}

CFont* CWnd::GetFont() const {
    return CFont::FromHandle(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? kIconBig : kIconSmall, reinterpret_cast<LPARAM>(hIcon)));
}

int CWnd::MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType) {
    return ::MessageBoxW(m_hWnd, lpszText, lpszCaption ? lpszCaption : AfxGetAppName(), nType);
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
    ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

void CWnd::MoveWindow(const RECT* lpRect, BOOL bRepaint) {
    MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left,
               lpRect->bottom - lpRect->top, bRepaint);
}

void CWnd::GetWindowRect(RECT* lpRect) const {
    if (!::GetWindowRect(m_hWnd, lpRect)) {
        *lpRect = RECT{};
    }
}

DWORD CWnd::GetStyle() const {
    return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE));
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    const HWND hWnd = m_hWnd;
    if (hWnd == nullptr) {
        return FALSE;
    }
    const DWORD style = GetStyle();
    const DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (newStyle == style) {
        return FALSE;
    }
    ::SetWindowLongW(hWnd, GWL_STYLE, static_cast<LONG>(newStyle));
    if (nFlags != 0) {
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | nFlags);
    }
    return TRUE;
}

void CWnd::MapDialogRect(RECT* lpRect) const {
    ::MapDialogRect(m_hWnd, lpRect);
}

void CWnd::OnSize(UINT, int, int) {}

void CWnd::OnDestroy() {}

void CWnd::DetachAfterDestroy(HWND hWnd) {
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
    {
        std::lock_guard lock(m_childLock);
        for (auto& entry : m_children) {
            ChildSlot& slot = entry.second;
            // The objects stay: another thread may still hold one; their calls now do nothing.
            if (slot.bound != nullptr) {
                slot.bound->m_hWnd = nullptr;
            }
            if (slot.temporary) {
                slot.temporary->m_hWnd = nullptr;
            }
        }
    }
    m_hWnd = nullptr;
}

LRESULT AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (wnd == nullptr) {
        return ::DefDlgProcW(hWnd, message, wParam, lParam);
    }
    if (wnd->m_hWnd == nullptr) {
        wnd->m_hWnd = hWnd;
    }
    const LRESULT result = wnd->WindowProc(message, wParam, lParam);
    if (message == WM_DESTROY) {
        wnd->DetachAfterDestroy(hWnd);
    }
    return result;
}
