#include "platform/controls/Static.h"

#include "platform/ControlServices.h"
namespace kobalt::platform {

namespace {

// Private state of a static control: its text is the window text, so there is none.
struct StaticState final : ControlState {
    void Describe(desktop::ControlView&, const desktop::SnapshotOptions&) const override {}
};

LRESULT StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

desktop::ControlKind StaticKind(DWORD) {
    return desktop::ControlKind::Static;
}

std::unique_ptr<ControlState> CreateStatic(DWORD) {
    return std::make_unique<StaticState>();
}

} // namespace

const ControlClass& StaticClass() {
    static const ControlClass staticText{WC_STATIC, StaticProc, StaticKind, CreateStatic};
    return staticText;
}

} // namespace kobalt::platform
