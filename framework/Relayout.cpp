#include "framework/Relayout.h"

#include "framework/CWnd.h"
#include "framework/WindowClass.h"
#include "platform/DialogTemplate.h"

#include <atomic>
#include <vector>

namespace {

using kobalt::framework::SameWindowClass;

std::atomic<bool> g_resolutionAwareRelayout{false};

struct ListedControl {
    HWND hwnd;
    const DialogControlTemplate* item;
};

} // namespace

void AfxSetResolutionAwareRelayout(bool enabled) {
    g_resolutionAwareRelayout.store(enabled);
}

bool AfxIsResolutionAwareRelayout() {
    return g_resolutionAwareRelayout.load();
}

void AfxRelayoutDialog(CWnd* dialog, UINT templateId) {
    const HWND hDlg = dialog ? dialog->GetSafeHwnd() : nullptr;
    const DialogTemplate* tmpl = ::FindDialogTemplate(static_cast<int>(templateId));
    if (hDlg == nullptr || tmpl == nullptr) {
        return;
    }
    std::vector<ListedControl> listed;
    for (const DialogControlTemplate& item : tmpl->controls) {
        if (item.id == -1) {
            continue;
        }
        if (const HWND hCtrl = ::GetDlgItem(hDlg, item.id)) {
            listed.push_back({hCtrl, &item});
        }
    }

    HDWP hdwp = ::BeginDeferWindowPos(static_cast<int>(listed.size()));
    for (const ListedControl& c : listed) {
        RECT r{c.item->x, c.item->y, c.item->x + c.item->cx, c.item->y + c.item->cy};
        ::MapDialogRect(hDlg, &r);
        if (hdwp != nullptr) {
            hdwp = ::DeferWindowPos(hdwp, c.hwnd, nullptr, r.left, r.top, r.right - r.left,
                                    r.bottom - r.top, SWP_NOZORDER);
        }
    }
    if (hdwp != nullptr) {
        ::EndDeferWindowPos(hdwp);
    }

    for (const ListedControl& c : listed) {
        if (SameWindowClass(c.item->kind, WC_STATIC) || SameWindowClass(c.item->kind, WC_BUTTON)) {
            ::SendMessageW(c.hwnd, WM_SETTEXT, 0,
                           reinterpret_cast<LPARAM>(c.item->caption ? c.item->caption : u""));
        } else if (SameWindowClass(c.item->kind, WC_LISTBOX)) {
            const LRESULT selection = ::SendMessageW(c.hwnd, LB_GETCURSEL, 0, 0);
            ::SendMessageW(c.hwnd, LB_SETCURSEL, static_cast<WPARAM>(selection), 0);
        }
    }
}
