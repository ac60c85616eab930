#include "framework/WindowClass.h"

#include "framework/CButton.h"
#include "framework/CEdit.h"
#include "framework/CListBox.h"
#include "framework/CListCtrl.h"
#include "framework/CStatic.h"

#include <string_view>

namespace kobalt::framework {

bool SameWindowClass(const WCHAR* a, const WCHAR* b) {
    if (a == nullptr || b == nullptr) {
        return false;
    }
    const std::u16string_view x(a), y(b);
    if (x.size() != y.size()) {
        return false;
    }
    const auto lower = [](WCHAR c) {
        return c >= u'A' && c <= u'Z' ? WCHAR(c + (u'a' - u'A')) : c;
    };
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (lower(x[i]) != lower(y[i])) {
            return false;
        }
    }
    return true;
}

std::unique_ptr<CWnd> MakeControlWrapper(const WCHAR* windowClass) {
    if (SameWindowClass(windowClass, WC_BUTTON)) {
        return std::make_unique<CButton>();
    }
    if (SameWindowClass(windowClass, WC_LISTBOX)) {
        return std::make_unique<CListBox>();
    }
    if (SameWindowClass(windowClass, WC_LISTVIEW)) {
        return std::make_unique<CListCtrl>();
    }
    if (SameWindowClass(windowClass, WC_EDIT)) {
        return std::make_unique<CEdit>();
    }
    if (SameWindowClass(windowClass, WC_STATIC)) {
        return std::make_unique<CStatic>();
    }
    return std::make_unique<CWnd>();
}

} // namespace kobalt::framework
