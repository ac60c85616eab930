#include "Operator.h"

#include "platform/Windows.h"

namespace kobalt::test {

bool Operator::WaitUntil(const std::function<bool(const desktop::Snapshot&)>& condition,
                         std::chrono::milliseconds bound) {
    auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        desktop::Snapshot s = desktop::TakeSnapshot();
        if (condition(s))
            return true;
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        desktop::WaitForChange(
            s.version, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
    }
}

std::optional<desktop::WindowView> Operator::WaitActive(int templateId,
                                                        std::chrono::milliseconds bound) {
    std::optional<desktop::WindowView> found;
    WaitUntil(
        [&](const desktop::Snapshot& s) {
            for (const auto& w : s.windows)
                if (w.active && w.templateId == templateId) {
                    found = w;
                    return true;
                }
            return false;
        },
        bound);
    return found;
}

std::optional<desktop::WindowView> Operator::WaitBox() {
    std::optional<desktop::WindowView> found;
    WaitUntil([&](const desktop::Snapshot& s) {
        for (const auto& w : s.windows)
            if (w.active && w.kind == desktop::WindowKind::MessageBox) {
                found = w;
                return true;
            }
        return false;
    });
    return found;
}

std::optional<desktop::ControlView> Operator::Control(HWND window, int id) {
    for (const auto& w : desktop::TakeSnapshot().windows)
        if (w.hwnd == window)
            for (const auto& c : w.controls)
                if (c.id == id)
                    return c;
    return std::nullopt;
}

desktop::InputResult Operator::Press(HWND window, int id) {
    auto r = desktop::Click(GetDlgItem(window, id));
    desktop::WaitInputSettled(kTimeout);
    return r;
}

desktop::InputResult Operator::Close(HWND window) {
    auto r = desktop::Close(window);
    desktop::WaitInputSettled(kTimeout);
    return r;
}

desktop::InputResult Operator::Answer(HWND box) {
    auto r = desktop::AnswerBox(box, IDOK);
    desktop::WaitInputSettled(kTimeout);
    return r;
}

} // namespace kobalt::test
