// Window class names of the controls, as dialog templates name them.
#pragma once

#include "platform/Windows.h"

#include <memory>

class CWnd;

namespace kobalt::framework {

// Window class names compare case-insensitively (ASCII); a null name matches nothing.
bool SameWindowClass(const WCHAR* a, const WCHAR* b);

// A detached wrapper of the framework class for that window class: CButton for WC_BUTTON,
// CListBox, CListCtrl, CEdit, CStatic; a plain CWnd for anything else or null.
std::unique_ptr<CWnd> MakeControlWrapper(const WCHAR* windowClass);

} // namespace kobalt::framework
