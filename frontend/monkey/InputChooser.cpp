#include "frontend/monkey/InputChooser.h"

#include "frontend/common/DesktopDump.h"
#include "frontend/common/ScriptText.h"

#include <vector>

namespace kobalt::monkey {

using desktop::ControlKind;
using desktop::ControlView;
using desktop::Snapshot;
using desktop::WindowKind;
using desktop::WindowView;

namespace {

// Steps the stress test may run before the monkey stops it: it loops Init/UnInit for ever.
constexpr int kStressStepsAllowed = 2;

const ControlView* FindControl(const WindowView& window, int id) {
    for (const ControlView& control : window.controls) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

std::u16string Repeat(std::u16string_view unit, std::size_t times) {
    std::u16string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += unit;
    }
    return text;
}

} // namespace

bool IsMainWindow(const WindowView& window) {
    return window.kind == WindowKind::Dialog &&
           (window.templateId == kMainDialog || window.templateId == kMainDialogWide);
}

const WindowView* ActiveWindow(const Snapshot& snapshot) {
    for (const WindowView& window : snapshot.windows) {
        if (window.active && window.enabled) {
            return &window;
        }
    }
    return nullptr;
}

bool IsWorkable(const WindowView& window, const ControlView& control) {
    if (!control.enabled || !control.visible) {
        return false;
    }
    if (IsMainWindow(window) && control.id == kMainQuitButton) {
        return false;
    }
    switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::RadioButton:
    case ControlKind::Edit:
        return true;
    case ControlKind::ListBox:
    case ControlKind::ListView:
        return control.lineCount > 0;
    default:
        return false;
    }
}

bool StressTestRunning(const WindowView& window) {
    if (window.templateId != kStressTestDialog) {
        return false;
    }
    const ControlView* onOff = FindControl(window, kStressTestOnOff);
    return onOff != nullptr && onOff->text.find(u"OnOff") == std::u16string::npos;
}

Input ChooseInput(const Snapshot& snapshot, Random& random, ChooserState& state) {
    Input input;
    const WindowView* window = ActiveWindow(snapshot);
    if (window == nullptr) {
        return input;
    }
    input.window = window->hwnd;

    if (window->kind == WindowKind::MessageBox) {
        const std::size_t roll = random.Below(10);
        if (roll < 7) {
            input.kind = Input::Kind::AnswerBox;
            input.id = IDOK;
        } else if (roll < 9) {
            input.kind = Input::Kind::AnswerBox;
            input.id = IDCANCEL;
        } else {
            input.kind = Input::Kind::Close;
        }
        return input;
    }

    if (StressTestRunning(*window)) {
        if (++state.stressSteps > kStressStepsAllowed) {
            state.stressSteps = 0;
            const ControlView* onOff = FindControl(*window, kStressTestOnOff);
            if (onOff != nullptr && onOff->enabled && random.Percent(70)) {
                input.kind = Input::Kind::Click;
                input.control = onOff->hwnd;
                input.id = onOff->id;
            } else {
                input.kind = Input::Kind::Close;
            }
            return input;
        }
    } else {
        state.stressSteps = 0;
    }

    std::vector<const ControlView*> workable;
    for (const ControlView& control : window->controls) {
        if (IsWorkable(*window, control)) {
            workable.push_back(&control);
        }
    }
    const bool mayClose = !IsMainWindow(*window);
    if (workable.empty() || (mayClose && random.Percent(8))) {
        if (mayClose) {
            input.kind = Input::Kind::Close;
        }
        return input;
    }

    const ControlView& control = *workable[random.Below(workable.size())];
    input.control = control.hwnd;
    input.id = control.id;
    switch (control.kind) {
    case ControlKind::Edit:
        input.kind = Input::Kind::Type;
        input.text = ChooseText(random);
        break;
    case ControlKind::ListBox:
    case ControlKind::ListView:
        input.kind = Input::Kind::Select;
        input.index = random.Percent(10) ? -1 : static_cast<int>(random.Below(control.lineCount));
        break;
    default:
        input.kind = Input::Kind::Click;
        break;
    }
    return input;
}

std::u16string ChooseText(Random& random) {
    static constexpr std::u16string_view kDigits = u"0123456789";
    static constexpr std::u16string_view kDtmf = u"0123456789*#ABCD";
    static constexpr std::u16string_view kWords[] = {
        u"Pixel 7", u"Иван Петров",     u"王小明",   u"김민준", u"O'Brien \"Jr\"",
        u"a\tb",    u"\U0001F4DE call", u"+8610086", u"%s%n%d", u"0000"};
    std::u16string text;
    switch (random.Below(8)) {
    case 0:
        return text;
    case 1:
    case 2: {
        if (random.Percent(30)) {
            text += u'+';
        }
        const std::size_t length = 1 + random.Below(16);
        for (std::size_t i = 0; i < length; ++i) {
            text += kDigits[random.Below(kDigits.size())];
        }
        return text;
    }
    case 3:
        text += kDtmf[random.Below(kDtmf.size())];
        return text;
    case 4:
    case 5:
        return std::u16string(random.Pick(kWords));
    case 6:
        return Repeat(u"9", 30 + random.Below(300));
    default:
        return Repeat(random.Pick(kWords), 1 + random.Below(40));
    }
}

std::string DescribeInput(const Input& input, const Snapshot& snapshot) {
    const WindowView* window = nullptr;
    const ControlView* control = nullptr;
    for (const WindowView& candidate : snapshot.windows) {
        if (candidate.hwnd == input.window) {
            window = &candidate;
            for (const ControlView& view : candidate.controls) {
                if (view.hwnd == input.control && input.control != nullptr) {
                    control = &view;
                }
            }
        }
    }
    const std::string where =
        window != nullptr ? " in " + script::DescribeWindowView(*window) : std::string();
    const std::string what = control != nullptr ? script::DescribeControlView(*control)
                                                : "control " + std::to_string(input.id);
    switch (input.kind) {
    case Input::Kind::None:
        return "nothing";
    case Input::Kind::Click:
        return "click " + what + where;
    case Input::Kind::Select:
        return "select " + std::to_string(input.index) + " of " + what + where;
    case Input::Kind::Type:
        return "type " + script::Quoted(input.text) + " into " + what + where;
    case Input::Kind::Close:
        return "close" + where;
    case Input::Kind::AnswerBox:
        return std::string("answer ") + (input.id == IDOK ? "OK" : "Cancel") + where;
    }
    return "?";
}

} // namespace kobalt::monkey
