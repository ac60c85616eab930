// The front ends' view of the desktop: snapshots, the change signal and input.

#include "platform/Desktop.h"

#include "platform/ControlClasses.h"
#include "platform/ThreadQueue.h"
#include "platform/WindowRecords.h"

#include <atomic>
#include <thread>

namespace kobalt::desktop {
namespace {

using platform::FindWindowLocked;
using platform::Window;

ControlView DescribeControlLocked(const Window& w, HWND focus, const SnapshotOptions& options) {
    ControlView view;
    view.hwnd = w.handle;
    view.id = w.id;
    view.kind = w.cls ? w.cls->kindFor(w.style) : ControlKind::Other;
    view.text = w.text;
    view.style = w.style;
    view.rect = w.rect;
    view.enabled = w.enabled;
    view.visible = w.visible;
    view.focused = focus == w.handle;
    if (w.font) {
        LOGFONTW font;
        if (platform::FontInfoLocked(w.font, font)) {
            view.fontFace = font.lfFaceName;
            view.fontHeight = font.lfHeight;
        }
    }
    if (w.state)
        w.state->Describe(view, options);
    return view;
}

// The input target must be alive, enabled, visible and in the active window.
InputResult CheckTarget(HWND hwnd, bool isTopLevel) {
    auto lock = platform::LockDesktop();
    Window* w = FindWindowLocked(hwnd);
    if (!w || w->destroying)
        return InputResult::NoWindow;
    if (isTopLevel != (w->parent == nullptr))
        return InputResult::WrongKind;
    HWND top = platform::TopLevelOfLocked(hwnd);
    if (top != platform::ActiveWindowLocked())
        return InputResult::NotActive;
    if (!w->enabled || !w->visible)
        return InputResult::Disabled;
    return InputResult::Ok;
}

ControlKind KindOf(HWND hwnd) {
    auto lock = platform::LockDesktop();
    Window* w = FindWindowLocked(hwnd);
    return (w && w->cls) ? w->cls->kindFor(w->style) : ControlKind::Other;
}

InputResult Deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                    std::shared_ptr<const std::u16string> payload = nullptr) {
    return platform::PostInput(hwnd, msg, wParam, lParam, std::move(payload))
               ? InputResult::Ok
               : InputResult::NoWindow;
}

} // namespace

Snapshot TakeSnapshot(const SnapshotOptions& options) {
    Snapshot snapshot;
    auto lock = platform::LockDesktop();
    snapshot.version = platform::DesktopVersion();
    HWND active = platform::ActiveWindowLocked();
    for (HWND h : platform::ZOrderLocked()) {
        Window* w = FindWindowLocked(h);
        if (!w || !w->visible || w->destroying)
            continue;
        WindowView view;
        view.hwnd = h;
        view.kind = w->kind;
        view.templateId = w->templateId;
        view.caption = w->text;
        view.text = w->boxText;
        view.style = w->style;
        view.exStyle = w->exStyle;
        view.rect = w->rect;
        view.enabled = w->enabled;
        view.active = h == active;
        view.ownerThread = w->ownerThread;
        for (HWND child : w->children)
            if (Window* c = FindWindowLocked(child))
                view.controls.push_back(DescribeControlLocked(*c, w->focus, options));
        snapshot.windows.push_back(std::move(view));
    }
    return snapshot;
}

std::uint64_t Version() {
    return platform::DesktopVersion();
}

bool WaitForChange(std::uint64_t seen, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (platform::DesktopVersion() == seen) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

const char* InputResultName(InputResult result) {
    switch (result) {
    case InputResult::Ok:
        return "ok";
    case InputResult::NoWindow:
        return "no such window";
    case InputResult::Disabled:
        return "disabled";
    case InputResult::NotActive:
        return "not in the active window";
    case InputResult::WrongKind:
        return "wrong kind of control";
    case InputResult::BadIndex:
        return "no such entry";
    }
    return "?";
}

InputResult Click(HWND control) {
    InputResult r = CheckTarget(control, false);
    if (r != InputResult::Ok)
        return r;
    ControlKind kind = KindOf(control);
    if (kind != ControlKind::PushButton && kind != ControlKind::RadioButton)
        return InputResult::WrongKind;
    return Deliver(control, BM_CLICK, 0, 0);
}

InputResult Select(HWND control, int index) {
    InputResult r = CheckTarget(control, false);
    if (r != InputResult::Ok)
        return r;
    ControlKind kind = KindOf(control);
    if (kind != ControlKind::ListBox && kind != ControlKind::ListView)
        return InputResult::WrongKind;
    if (index < -1)
        return InputResult::BadIndex;
    if (index >= 0) {
        // The count comes from the desktop's state, not from a message, so a busy owner
        // thread does not block the operator.
        Snapshot s = TakeSnapshot(SnapshotOptions{0});
        for (const auto& win : s.windows)
            for (const auto& c : win.controls)
                if (c.hwnd == control && static_cast<std::size_t>(index) >= c.lineCount)
                    return InputResult::BadIndex;
    }
    return Deliver(control, platform::KM_INPUT_SELECT, static_cast<WPARAM>(index), 0);
}

InputResult TypeText(HWND edit, const std::u16string& text) {
    InputResult r = CheckTarget(edit, false);
    if (r != InputResult::Ok)
        return r;
    if (KindOf(edit) != ControlKind::Edit)
        return InputResult::WrongKind;
    return Deliver(edit, platform::KM_INPUT_TYPE, 0, 0,
                   std::make_shared<const std::u16string>(text));
}

InputResult Close(HWND topLevel) {
    InputResult r = CheckTarget(topLevel, true);
    if (r != InputResult::Ok)
        return r;
    return Deliver(topLevel, WM_CLOSE, 0, 0);
}

InputResult AnswerBox(HWND messageBox, int buttonId) {
    InputResult r = CheckTarget(messageBox, true);
    if (r != InputResult::Ok)
        return r;
    {
        auto lock = platform::LockDesktop();
        Window* w = FindWindowLocked(messageBox);
        if (!w || w->kind != WindowKind::MessageBox)
            return InputResult::WrongKind;
    }
    if (!GetDlgItem(messageBox, buttonId))
        return InputResult::BadIndex;
    return Deliver(messageBox, WM_COMMAND, static_cast<WPARAM>(buttonId), 0);
}

InputResult Scroll(HWND list, int topIndex) {
    InputResult r = CheckTarget(list, false);
    if (r != InputResult::Ok)
        return r;
    ControlKind kind = KindOf(list);
    if (kind != ControlKind::ListBox && kind != ControlKind::ListView)
        return InputResult::WrongKind;
    return Deliver(list, platform::KM_INPUT_SCROLL,
                   static_cast<WPARAM>(topIndex < 0 ? 0 : topIndex), 0);
}

InputResult Focus(HWND control) {
    InputResult r = CheckTarget(control, false);
    if (r != InputResult::Ok)
        return r;
    return Deliver(control, WM_SETFOCUS, 0, 0);
}

InputResult SetCaret(HWND edit, int position) {
    InputResult r = CheckTarget(edit, false);
    if (r != InputResult::Ok)
        return r;
    if (KindOf(edit) != ControlKind::Edit)
        return InputResult::WrongKind;
    // The edit keeps only a caret: an empty selection at `position` moves it there.
    const auto at = static_cast<WPARAM>(position < 0 ? 0 : position);
    return Deliver(edit, EM_SETSEL, at, static_cast<LPARAM>(at));
}

void SetScreenSize(int width, int height) {
    platform::SetScreenSizePixels(width, height);
    std::vector<HWND> tops;
    {
        auto lock = platform::LockDesktop();
        tops = platform::ZOrderLocked();
    }
    auto size = static_cast<LPARAM>((static_cast<std::uint32_t>(height & 0xFFFF) << 16) |
                                    static_cast<std::uint32_t>(width & 0xFFFF));
    for (HWND h : tops)
        PostMessageW(h, WM_SIZE, SIZE_RESTORED, size);
    platform::NotifyDesktopChanged();
}

namespace {
std::atomic<HandledEventObserver> g_handledEventObserver{nullptr};
} // namespace

void SetHandledEventObserver(HandledEventObserver observer) {
    g_handledEventObserver.store(observer, std::memory_order_release);
}

bool HandledEventObserved() {
    return g_handledEventObserver.load(std::memory_order_relaxed) != nullptr;
}

void ReportHandledEvent(std::string_view line) {
    if (HandledEventObserver observer = g_handledEventObserver.load(std::memory_order_acquire))
        observer(line);
}

} // namespace kobalt::desktop
