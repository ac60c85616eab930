#include "frontend/terminal/Accelerators.h"

#include "frontend/terminal/Renderer.h"
#include "res/resource.h"

namespace kobalt::terminal {

namespace {

using desktop::ControlKind;
using desktop::ControlView;
using desktop::WindowView;

constexpr Accelerator kMainKeys[] = {
    {U's', IDC_MAIN_START, "S", "START"},     {U'f', IDC_MAIN_SEARCH, "F", "SearchDevice"},
    {U'c', IDC_MAIN_CONNECT, "C", "Connect"}, {U'x', IDC_MAIN_DISCONNECT, "X", "DisConnect"},
    {U'd', IDC_MAIN_DIAL, "D", "Dail"},
};

constexpr Accelerator kTelephoneKeys[] = {
    {U'1', IDC_HF_KEY_1, "1", "1"},       {U'2', IDC_HF_KEY_2, "2", "2"},
    {U'3', IDC_HF_KEY_3, "3", "3"},       {U'4', IDC_HF_KEY_4, "4", "4"},
    {U'5', IDC_HF_KEY_5, "5", "5"},       {U'6', IDC_HF_KEY_6, "6", "6"},
    {U'7', IDC_HF_KEY_7, "7", "7"},       {U'8', IDC_HF_KEY_8, "8", "8"},
    {U'9', IDC_HF_KEY_9, "9", "9"},       {U'0', IDC_HF_KEY_0, "0", "0"},
    {U'*', IDC_HF_KEY_STAR, "*", "*"},    {U'#', IDC_HF_KEY_HASH, "#", "#"},
    {U'a', IDC_HF_ANSWER, "A", "Answer"}, {U'h', IDC_HF_HANGUP, "H", "HangUp"},
    {U'd', IDC_HF_DIAL, "D", "Dail"},     {U't', IDC_HF_TRANSFER, "T", "Transfer"},
};

constexpr std::size_t kKeypadKeys = 12; // the telephone's first keys: its keypad

bool IsTelephone(const WindowView& window) {
    return window.templateId == IDD_HANDFREE;
}

const ControlView* FocusedControl(const WindowView& window) {
    for (const ControlView& control : window.controls) {
        if (control.focused) {
            return &control;
        }
    }
    return nullptr;
}

const ControlView* ControlWithId(const WindowView& window, int id) {
    for (const ControlView& control : window.controls) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

char32_t Folded(char32_t ch) {
    return ch >= U'A' && ch <= U'Z' ? ch - U'A' + U'a' : ch;
}

std::string Padded(std::string_view text, std::size_t width) {
    std::string out(text);
    out.resize(std::max(width, text.size()), ' ');
    return out;
}

} // namespace

std::vector<Accelerator> AcceleratorsOf(const WindowView& window) {
    if (IsMainWindow(window)) {
        return {std::begin(kMainKeys), std::end(kMainKeys)};
    }
    if (IsTelephone(window)) {
        return {std::begin(kTelephoneKeys), std::end(kTelephoneKeys)};
    }
    return {};
}

std::vector<Action> MapAccelerator(const KeyEvent& key, const WindowView& window) {
    if (key.key != Key::Char) {
        return {};
    }
    if (!key.alt) {
        const ControlView* focused = FocusedControl(window);
        if (focused != nullptr && focused->kind == ControlKind::Edit) {
            return {}; // typed into the edit
        }
    }
    const char32_t ch = Folded(key.ch);
    for (const Accelerator& accelerator : AcceleratorsOf(window)) {
        if (accelerator.key != ch) {
            continue;
        }
        const ControlView* button = ControlWithId(window, accelerator.control);
        if (button == nullptr || !button->visible || !button->enabled) {
            return {};
        }
        return {Action{Action::Kind::Click, button->hwnd, 0, {}}};
    }
    return {};
}

bool IsMainWindow(const WindowView& window) {
    return window.templateId == IDD_KOBALTDEMO_DIALOG ||
           window.templateId == IDD_KOBALTDEMO_DIALOG_WIDE;
}

bool QuitNeedsConfirmation(const desktop::Snapshot& snapshot) {
    for (const WindowView& window : snapshot.windows) {
        if (IsTelephone(window)) {
            return true;
        }
        if (IsMainWindow(window)) {
            const ControlView* start = ControlWithId(window, IDC_MAIN_START);
            if (start != nullptr && !start->enabled) {
                return true;
            }
        }
    }
    return false;
}

std::string StatusKeyHelp(const WindowView* top) {
    if (top == nullptr) {
        return kKeyHelp;
    }
    const std::vector<Accelerator> keys = AcceleratorsOf(*top);
    if (keys.empty()) {
        return kKeyHelp;
    }
    // F10 and the rest are in the F1 list: the line is short.
    std::string help = "F1 Keys";
    std::size_t i = 0;
    if (IsTelephone(*top)) {
        help += "  0-9*# Keypad";
        i = kKeypadKeys;
    }
    for (; i < keys.size(); ++i) {
        help += "  ";
        help += keys[i].keyName;
        help += ' ';
        help += keys[i].label;
    }
    return help;
}

std::vector<std::string> KeysPanelLines(const WindowView* top) {
    std::vector<std::string> lines;
    const std::vector<Accelerator> keys =
        top != nullptr ? AcceleratorsOf(*top) : std::vector<Accelerator>{};
    if (!keys.empty()) {
        lines.emplace_back(IsTelephone(*top) ? "The telephone's keys" : "The main window's keys");
        std::size_t i = 0;
        if (IsTelephone(*top)) {
            lines.push_back(Padded("0-9 * #", 16) + "the keypad's buttons");
            i = kKeypadKeys;
        }
        for (; i < keys.size(); ++i) {
            lines.push_back(Padded(keys[i].keyName, 16) + std::string(keys[i].label));
        }
        lines.emplace_back("In an edit these keys type; Alt and the key press the button.");
        lines.emplace_back();
    }
    lines.emplace_back("Everywhere");
    const std::pair<std::string_view, std::string_view> general[] = {
        {"Tab, Shift-Tab", "next, previous control"},
        {"Enter, Space", "press the focused button"},
        {"Arrows", "move in a list or a radio group"},
        {"Esc", "close the dialog or message box (not the main window)"},
        {"F1", "these keys"},
        {"F2, Ctrl-P", "the device's power: suspend, resume"},
        {"F3, Ctrl-G", "the event log"},
        {"F10, Ctrl-Q", "quit; asks first while the stack is started or a call is up"},
        {"Ctrl-C", "quit; twice ends at once"},
    };
    for (const auto& [key, what] : general) {
        lines.push_back(Padded(key, 16) + std::string(what));
    }
    lines.emplace_back();
    lines.emplace_back("Any key closes this list.");
    return lines;
}

} // namespace kobalt::terminal
