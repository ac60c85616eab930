#include "platform/controls/Edit.h"

#include "platform/ControlServices.h"
#include <algorithm>
#include <string>

namespace kobalt::platform {

namespace {

// Private state of an edit; the text itself is the window text.
struct EditState final : ControlState {
    void Describe(desktop::ControlView& view, const desktop::SnapshotOptions&) const override {
        view.caret = std::min(caret, static_cast<int>(view.text.size()));
    }

    int caret = 0; // caret position in characters, 0..text length
};

// Sets the caret of the edit; `place(length)` gives the new position from the text's length.
template <class Place> void MoveCaret(HWND hwnd, Place place) {
    auto lock = LockDesktop();
    auto* s = ControlStateAs<EditState>(hwnd);
    const std::u16string* text = WindowTextLocked(hwnd);
    if (s != nullptr && text != nullptr) {
        s->caret =
            std::clamp(place(static_cast<int>(text->size())), 0, static_cast<int>(text->size()));
        NotifyDesktopChanged();
    }
}

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SETTEXT: {
        // The caret goes to the start and the parent hears EN_CHANGE, as on the device.
        const LRESULT result = DefWindowProcW(hwnd, msg, wParam, lParam);
        if (!result) {
            return result;
        }
        MoveCaret(hwnd, [](int) { return 0; });
        NotifyParent(hwnd, EN_CHANGE);
        return result;
    }
    case KM_INPUT_TYPE: {
        // The operator typed the whole text: the caret ends after it.
        const auto* typed = reinterpret_cast<const std::u16string*>(lParam);
        if (typed == nullptr) {
            return 0;
        }
        {
            auto lock = LockDesktop();
            auto* s = ControlStateAs<EditState>(hwnd);
            std::u16string* text = WindowTextLocked(hwnd);
            if (s == nullptr || text == nullptr) {
                return 0;
            }
            *text = *typed;
            s->caret = static_cast<int>(text->size());
            NotifyDesktopChanged();
        }
        NotifyParent(hwnd, EN_CHANGE);
        return 0;
    }
    case EM_SETSEL: {
        // Only the caret is kept: it goes to the end of the selection; a start of -1 keeps it,
        // an end of -1 means the end of the text.
        const int start = static_cast<int>(wParam);
        const int end = static_cast<int>(lParam);
        if (start != -1) {
            MoveCaret(hwnd, [end](int length) { return end < 0 ? length : end; });
        }
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

desktop::ControlKind EditKind(DWORD) {
    return desktop::ControlKind::Edit;
}

std::unique_ptr<ControlState> CreateEdit(DWORD) {
    return std::make_unique<EditState>();
}

} // namespace

const ControlClass& EditClass() {
    static const ControlClass edit{WC_EDIT, EditProc, EditKind, CreateEdit};
    return edit;
}

} // namespace kobalt::platform
