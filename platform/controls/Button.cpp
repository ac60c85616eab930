#include "platform/controls/Button.h"

#include "platform/ControlServices.h"
#include <algorithm>
#include <vector>

namespace kobalt::platform {

namespace {

// Private state of a button.
struct ButtonState final : ControlState {
    void Describe(desktop::ControlView& view, const desktop::SnapshotOptions&) const override {
        view.checked = checked;
    }

    bool checked = false; // radio buttons only: the button is checked
};

DWORD StyleOf(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
}

bool IsAutoRadio(DWORD style) {
    return (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

// The other auto radio buttons of the button's group: its siblings in creation order from the
// nearest WS_GROUP control at or before it up to the next WS_GROUP control. Call without the
// lock.
std::vector<HWND> OtherRadiosOfGroup(HWND button) {
    const std::vector<HWND> siblings = ChildrenOf(GetParent(button));
    const auto self = std::find(siblings.begin(), siblings.end(), button);
    if (self == siblings.end()) {
        return {};
    }
    std::vector<DWORD> styles;
    styles.reserve(siblings.size());
    for (HWND sibling : siblings) {
        styles.push_back(StyleOf(sibling));
    }
    std::size_t first = static_cast<std::size_t>(self - siblings.begin());
    while (first > 0 && !(styles[first] & WS_GROUP)) {
        --first;
    }
    std::size_t end = static_cast<std::size_t>(self - siblings.begin()) + 1;
    while (end < siblings.size() && !(styles[end] & WS_GROUP)) {
        ++end;
    }
    std::vector<HWND> radios;
    auto lock = LockDesktop();
    for (std::size_t i = first; i < end; ++i) {
        if (siblings[i] != button && IsAutoRadio(styles[i]) &&
            ControlStateAs<ButtonState>(siblings[i]) != nullptr) {
            radios.push_back(siblings[i]);
        }
    }
    return radios;
}

// Checks or unchecks a radio button; push buttons have no check. Call without the lock.
void SetCheck(HWND hwnd, bool checked) {
    if (!IsAutoRadio(StyleOf(hwnd))) {
        return;
    }
    auto lock = LockDesktop();
    if (auto* s = ControlStateAs<ButtonState>(hwnd); s != nullptr && s->checked != checked) {
        s->checked = checked;
        NotifyDesktopChanged();
    }
}

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case BM_CLICK:
        // A disabled button ignores clicks, as on the device.
        if (!IsWindowEnabled(hwnd)) {
            return 0;
        }
        if (IsAutoRadio(StyleOf(hwnd))) {
            SetCheck(hwnd, true);
            // Sent, so a sibling of another thread changes on its own thread.
            for (HWND other : OtherRadiosOfGroup(hwnd)) {
                SendMessageW(other, BM_SETCHECK, static_cast<WPARAM>(BST_UNCHECKED), 0);
            }
        }
        NotifyParent(hwnd, BN_CLICKED);
        return 0;
    case BM_SETCHECK:
        SetCheck(hwnd, wParam == static_cast<WPARAM>(BST_CHECKED));
        return 0;
    case BM_GETCHECK: {
        auto lock = LockDesktop();
        const auto* s = ControlStateAs<ButtonState>(hwnd);
        return s != nullptr && s->checked ? BST_CHECKED : BST_UNCHECKED;
    }
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

desktop::ControlKind ButtonKind(DWORD style) {
    return IsAutoRadio(style) ? desktop::ControlKind::RadioButton
                              : desktop::ControlKind::PushButton;
}

std::unique_ptr<ControlState> CreateButton(DWORD) {
    return std::make_unique<ButtonState>();
}

} // namespace

const ControlClass& ButtonClass() {
    static const ControlClass button{WC_BUTTON, ButtonProc, ButtonKind, CreateButton};
    return button;
}

} // namespace kobalt::platform
