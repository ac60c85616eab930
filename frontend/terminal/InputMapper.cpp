#include "frontend/terminal/InputMapper.h"

#include "frontend/common/Utf8.h"
#include "frontend/terminal/Accelerators.h"

#include <algorithm>
#include <optional>

namespace kobalt::terminal {

namespace {

using desktop::ControlKind;
using desktop::ControlView;
using desktop::WindowKind;
using desktop::WindowView;
using Kind = Action::Kind;

constexpr char32_t kCtrlC = 0x03;
constexpr char32_t kCtrlG = 0x07;
constexpr char32_t kCtrlP = 0x10;
constexpr char32_t kCtrlQ = 0x11;
constexpr int kWheelLines = 3;
constexpr int kShiftColumns = 4; // a list's horizontal scroll per key or wheel step

Action Make(Kind kind, HWND target = nullptr, int value = 0, std::u16string text = {}) {
    return Action{kind, target, value, std::move(text)};
}

bool TakesInput(const ControlView& control) {
    return control.visible && control.enabled;
}

bool IsTabStop(const ControlView& control) {
    return TakesInput(control) && (control.style & WS_TABSTOP) != 0;
}

bool IsButton(const ControlView& control) {
    return control.kind == ControlKind::PushButton || control.kind == ControlKind::RadioButton;
}

bool IsList(const ControlView& control) {
    return control.kind == ControlKind::ListBox || control.kind == ControlKind::ListView;
}

// The window that takes input and its place, or nulls.
struct Target {
    const WindowView* window = nullptr;
    const WindowPlace* place = nullptr;
};

Target ActiveTarget(const InputContext& context) {
    if (context.layout.active < 0 || context.layout.tooSmall) {
        return {};
    }
    const auto index = static_cast<std::size_t>(context.layout.active);
    return Target{&context.snapshot.windows[index], &context.layout.windows[index]};
}

int FocusedIndex(const WindowView& window) {
    for (std::size_t i = 0; i < window.controls.size(); ++i) {
        if (window.controls[i].focused) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The next (`step` 1) or previous (-1) tab stop after `from`, wrapping; -1 when none.
int NextTabStop(const WindowView& window, int from, int step) {
    const int count = static_cast<int>(window.controls.size());
    int at = from;
    for (int tries = 0; tries < count; ++tries) {
        if (at < 0) {
            at = step > 0 ? 0 : count - 1;
        } else {
            at = (at + step + count) % count;
        }
        if (IsTabStop(window.controls[static_cast<std::size_t>(at)])) {
            return at;
        }
    }
    return -1;
}

// An edit reached by Tab has its whole text selected, the caret at its end, as a dialog's
// edit has: what is typed next replaces the text, as the script front end's `type` does.
std::vector<Action> MoveFocus(const WindowView& window, int from, int step, bool byTab = false) {
    const int next = NextTabStop(window, from, step);
    if (next < 0 || next == from) {
        return {};
    }
    const ControlView& control = window.controls[static_cast<std::size_t>(next)];
    if (!byTab || control.kind != ControlKind::Edit) {
        return {Make(Kind::Focus, control.hwnd)};
    }
    return {Make(Kind::Focus, control.hwnd),
            Make(Kind::Caret, control.hwnd, static_cast<int>(control.text.size())),
            Make(Kind::SelectAll, control.hwnd)};
}

// Radio buttons form groups: a group starts at a WS_GROUP radio button or after any other
// control. Arrow keys move to the next enabled one in the group, wrapping, and check it.
std::vector<Action> MoveInRadioGroup(const WindowView& window, int from, int step) {
    const auto isRadio = [&window](int i) {
        return window.controls[static_cast<std::size_t>(i)].kind == ControlKind::RadioButton;
    };
    const auto startsGroup = [&window](int i) {
        return (window.controls[static_cast<std::size_t>(i)].style & WS_GROUP) != 0;
    };
    int first = from;
    while (first > 0 && !startsGroup(first) && isRadio(first - 1)) {
        --first;
    }
    int last = from;
    const int count = static_cast<int>(window.controls.size());
    while (last + 1 < count && isRadio(last + 1) && !startsGroup(last + 1)) {
        ++last;
    }
    const int size = last - first + 1;
    for (int offset = 1; offset < size; ++offset) {
        const int at = first + ((from - first + step * offset) % size + size) % size;
        const ControlView& radio = window.controls[static_cast<std::size_t>(at)];
        if (TakesInput(radio)) {
            return {Make(Kind::Focus, radio.hwnd), Make(Kind::Click, radio.hwnd)};
        }
    }
    return {};
}

// Length in code units of the code point that ends at `at` (before) or starts at `at`.
int UnitsBefore(const std::u16string& text, int at) {
    if (at >= 2 && text[static_cast<std::size_t>(at) - 1] >= 0xDC00 &&
        text[static_cast<std::size_t>(at) - 1] <= 0xDFFF &&
        text[static_cast<std::size_t>(at) - 2] >= 0xD800 &&
        text[static_cast<std::size_t>(at) - 2] <= 0xDBFF) {
        return 2;
    }
    return at > 0 ? 1 : 0;
}

int UnitsAfter(const std::u16string& text, int at) {
    const auto size = static_cast<int>(text.size());
    if (at + 1 < size && text[static_cast<std::size_t>(at)] >= 0xD800 &&
        text[static_cast<std::size_t>(at)] <= 0xDBFF &&
        text[static_cast<std::size_t>(at) + 1] >= 0xDC00 &&
        text[static_cast<std::size_t>(at) + 1] <= 0xDFFF) {
        return 2;
    }
    return at < size ? 1 : 0;
}

std::u16string Utf16(char32_t cp) {
    std::u16string text;
    frontend::AppendUtf16(text, cp);
    return text;
}

// The new text, and the caret unless it is at the end where typing leaves it.
std::vector<Action> Retype(HWND edit, std::u16string text, int caret) {
    std::vector<Action> actions;
    const bool atEnd = caret == static_cast<int>(text.size());
    actions.push_back(Make(Kind::Type, edit, 0, std::move(text)));
    if (!atEnd) {
        actions.push_back(Make(Kind::Caret, edit, caret));
    }
    return actions;
}

// Keys on an edit whose whole text is selected: a character replaces it, Backspace and Delete
// clear it, the caret keys end the selection at either end.
std::vector<Action> SelectedEditKey(const ControlView& edit, const KeyEvent& key) {
    const int length = static_cast<int>(edit.text.size());
    switch (key.key) {
    case Key::Char: {
        std::u16string typed = Utf16(key.ch);
        return Retype(edit.hwnd, typed, static_cast<int>(typed.size()));
    }
    case Key::Backspace:
    case Key::Delete:
        return length > 0 ? Retype(edit.hwnd, u"", 0) : std::vector<Action>{};
    case Key::Left:
    case Key::Home:
        return length > 0 ? std::vector<Action>{Make(Kind::Caret, edit.hwnd, 0)}
                          : std::vector<Action>{};
    default:
        return {}; // Right and End: the caret is at the end already
    }
}

std::vector<Action> EditKey(const ControlView& edit, const KeyEvent& key, const UiState& ui) {
    if (ui.selectedEdit == edit.hwnd) {
        return SelectedEditKey(edit, key);
    }
    const std::u16string& text = edit.text;
    const int length = static_cast<int>(text.size());
    const int caret = std::clamp(edit.caret, 0, length);
    const auto at = static_cast<std::size_t>(caret);
    switch (key.key) {
    case Key::Char: {
        const std::u16string typed = Utf16(key.ch);
        std::u16string next = text.substr(0, at) + typed + text.substr(at);
        return Retype(edit.hwnd, std::move(next), caret + static_cast<int>(typed.size()));
    }
    case Key::Backspace: {
        const int units = UnitsBefore(text, caret);
        if (units == 0) {
            return {};
        }
        std::u16string next = text;
        next.erase(at - static_cast<std::size_t>(units), static_cast<std::size_t>(units));
        return Retype(edit.hwnd, std::move(next), caret - units);
    }
    case Key::Delete: {
        const int units = UnitsAfter(text, caret);
        if (units == 0) {
            return {};
        }
        std::u16string next = text;
        next.erase(at, static_cast<std::size_t>(units));
        return Retype(edit.hwnd, std::move(next), caret);
    }
    case Key::Left:
        return caret > 0 ? std::vector<Action>{Make(Kind::Caret, edit.hwnd,
                                                    caret - UnitsBefore(text, caret))}
                         : std::vector<Action>{};
    case Key::Right:
        return caret < length ? std::vector<Action>{Make(Kind::Caret, edit.hwnd,
                                                         caret + UnitsAfter(text, caret))}
                              : std::vector<Action>{};
    case Key::Home:
        return caret > 0 ? std::vector<Action>{Make(Kind::Caret, edit.hwnd, 0)}
                         : std::vector<Action>{};
    case Key::End:
        return caret < length ? std::vector<Action>{Make(Kind::Caret, edit.hwnd, length)}
                              : std::vector<Action>{};
    default:
        return {};
    }
}

int MaxTop(std::size_t count, int page) {
    return count > static_cast<std::size_t>(page) ? static_cast<int>(count) - page : 0;
}

// Selects `index` as a click on it would, scrolling the least to show it.
std::vector<Action> SelectShown(const ControlView& list, int index, int page) {
    std::vector<Action> actions{Make(Kind::Select, list.hwnd, index)};
    if (index < list.topIndex) {
        actions.push_back(Make(Kind::Scroll, list.hwnd, index));
    } else if (index >= list.topIndex + page) {
        actions.push_back(Make(Kind::Scroll, list.hwnd, index - page + 1));
    }
    return actions;
}

// Scrolls a list whose lines are wider than it `step` columns to the left (negative: back).
std::vector<Action> ShiftList(const ControlView& list, const CellRect& content, int step,
                              const UiState& ui) {
    const auto known = ui.listShift.find(list.hwnd);
    const int maxShift = MaxListShift(list, content);
    const int shift = std::clamp(known == ui.listShift.end() ? 0 : known->second, 0, maxShift);
    const int next = std::clamp(shift + step, 0, maxShift);
    return next == shift ? std::vector<Action>{}
                         : std::vector<Action>{Make(Kind::ShiftList, list.hwnd, next)};
}

std::vector<Action> ListKey(const ControlView& list, const CellRect& rect, const KeyEvent& key,
                            const UiState& ui) {
    if (key.key == Key::Left || key.key == Key::Right) {
        return ShiftList(list, rect, key.key == Key::Left ? -kShiftColumns : kShiftColumns, ui);
    }
    const auto count = static_cast<int>(list.lineCount);
    if (count == 0) {
        return {};
    }
    const int page = ListPageRows(list, rect);
    const int step = std::max(page - 1, 1);
    const int selected = list.selected;
    int next = selected;
    switch (key.key) {
    case Key::Up:
        next = selected < 0 ? 0 : selected - 1;
        break;
    case Key::Down:
        next = selected < 0 ? 0 : selected + 1;
        break;
    case Key::PageUp:
        next = selected < 0 ? 0 : selected - step;
        break;
    case Key::PageDown:
        next = selected < 0 ? std::min(step, count - 1) : selected + step;
        break;
    case Key::Home:
        next = 0;
        break;
    case Key::End:
        next = count - 1;
        break;
    default:
        return {};
    }
    next = std::clamp(next, 0, count - 1);
    if (next == selected) {
        return {};
    }
    return SelectShown(list, next, page);
}

std::vector<Action> DebugKey(const KeyEvent& key, const InputContext& context) {
    const int page = std::max(DebugViewRows(context.layout.screen.rows) - 1, 1);
    switch (key.key) {
    case Key::Escape:
        return {Make(Kind::DebugView)};
    case Key::Up:
        return {Make(Kind::DebugScroll, nullptr, 1)};
    case Key::Down:
        return {Make(Kind::DebugScroll, nullptr, -1)};
    case Key::PageUp:
        return {Make(Kind::DebugScroll, nullptr, page)};
    case Key::PageDown:
        return {Make(Kind::DebugScroll, nullptr, -page)};
    case Key::Home:
        return {Make(Kind::DebugScroll, nullptr, kDebugOldest)};
    case Key::End:
        return {Make(Kind::DebugScroll, nullptr, kDebugNewest)};
    default:
        return {};
    }
}

const CellRect* PlaceOf(const WindowPlace& place, int index) {
    for (const ControlPlace& control : place.controls) {
        if (static_cast<int>(control.index) == index) {
            return &control.content;
        }
    }
    return nullptr;
}

// The keys that work everywhere; none for any other key.
std::vector<Action> DeviceKey(const KeyEvent& key) {
    const bool isChar = key.key == Key::Char;
    if (key.key == Key::F1) {
        return {Make(Kind::Keys)};
    }
    if (key.key == Key::F2 || (isChar && key.ch == kCtrlP)) {
        return {Make(Kind::Power)};
    }
    if (key.key == Key::F3 || (isChar && key.ch == kCtrlG)) {
        return {Make(Kind::DebugView)};
    }
    if (key.key == Key::F10 || (isChar && key.ch == kCtrlQ)) {
        return {Make(Kind::Quit)};
    }
    if (isChar && key.ch == kCtrlC) {
        return {Make(Kind::Interrupt)};
    }
    return {};
}

// The focused control when it takes input, else null.
const ControlView* UsableFocus(const WindowView& window, int focusedIndex) {
    if (focusedIndex < 0) {
        return nullptr;
    }
    const ControlView& focused = window.controls[static_cast<std::size_t>(focusedIndex)];
    return TakesInput(focused) ? &focused : nullptr;
}

// The keys of the window as a whole: moving the focus, closing, the default answer. None when
// the key is left to the focused control.
std::optional<std::vector<Action>> WindowKey(const KeyEvent& key, const WindowView& window,
                                             int focusedIndex) {
    switch (key.key) {
    case Key::Tab:
        return MoveFocus(window, focusedIndex, 1, true);
    case Key::BackTab:
        return MoveFocus(window, focusedIndex, -1, true);
    case Key::Escape:
        // The main window is closed on purpose only: its close box or F10.
        return IsMainWindow(window) ? std::vector<Action>{}
                                    : std::vector<Action>{Make(Kind::Close, window.hwnd)};
    case Key::Enter: {
        const ControlView* focused = UsableFocus(window, focusedIndex);
        if (focused != nullptr && IsButton(*focused)) {
            return std::vector<Action>{Make(Kind::Click, focused->hwnd)};
        }
        if (window.kind == WindowKind::MessageBox) {
            return std::vector<Action>{Make(Kind::Answer, window.hwnd, IDOK)};
        }
        return std::vector<Action>{};
    }
    default:
        return std::nullopt;
    }
}

// Space presses a button; arrows move within a radio group, or between controls.
std::vector<Action> ButtonKey(const KeyEvent& key, const WindowView& window, int focusedIndex) {
    const ControlView& button = window.controls[static_cast<std::size_t>(focusedIndex)];
    const bool radio = button.kind == ControlKind::RadioButton;
    switch (key.key) {
    case Key::Char:
        return key.ch == U' ' ? std::vector<Action>{Make(Kind::Click, button.hwnd)}
                              : std::vector<Action>{};
    case Key::Left:
    case Key::Up:
        return radio ? MoveInRadioGroup(window, focusedIndex, -1)
                     : MoveFocus(window, focusedIndex, -1);
    case Key::Right:
    case Key::Down:
        return radio ? MoveInRadioGroup(window, focusedIndex, 1)
                     : MoveFocus(window, focusedIndex, 1);
    default:
        return {};
    }
}

std::vector<Action> FocusedControlKey(const KeyEvent& key, const Target& target, int focusedIndex,
                                      const UiState& ui) {
    const ControlView* focused = UsableFocus(*target.window, focusedIndex);
    if (focused == nullptr) {
        return {};
    }
    if (focused->kind == ControlKind::Edit) {
        return EditKey(*focused, key, ui);
    }
    if (IsList(*focused)) {
        const CellRect* rect = PlaceOf(*target.place, focusedIndex);
        return rect != nullptr ? ListKey(*focused, *rect, key, ui) : std::vector<Action>{};
    }
    if (!IsButton(*focused)) {
        return {};
    }
    return ButtonKey(key, *target.window, focusedIndex);
}

std::vector<Action> DebugMouse(const MouseEvent& mouse) {
    switch (mouse.kind) {
    case MouseEvent::Kind::WheelUp:
        return {Make(Kind::DebugScroll, nullptr, kWheelLines)};
    case MouseEvent::Kind::WheelDown:
        return {Make(Kind::DebugScroll, nullptr, -kWheelLines)};
    case MouseEvent::Kind::Press:
    case MouseEvent::Kind::Release:
    case MouseEvent::Kind::WheelLeft:
    case MouseEvent::Kind::WheelRight:
        break;
    }
    return {};
}

const WindowPlace* TopmostWindowAt(const ScreenLayout& layout, int col, int row) {
    for (const WindowPlace& place : layout.windows) {
        if (place.box.Contains(col, row)) {
            return &place;
        }
    }
    return nullptr;
}

// Controls drawn later lie on top.
const ControlPlace* TopmostControlAt(const WindowPlace& place, int col, int row) {
    for (auto it = place.controls.rbegin(); it != place.controls.rend(); ++it) {
        if (it->rect.Contains(col, row)) {
            return &*it;
        }
    }
    return nullptr;
}

// Narrows a hit on a list to the line or the half of the scroll indicator under the cell; off
// them (the column headers, the border, below the last line) it stays on the control.
void ListPartAt(int col, int row, MouseHit& hit) {
    const ControlView& list = *hit.control;
    const CellRect& rect = *hit.content;
    const int page = ListPageRows(list, rect);
    const int firstRow = rect.Bottom() - page;
    if (row < firstRow || row >= rect.Bottom()) {
        return;
    }
    if (rect.cols >= 2 && col == rect.Right() - 1) {
        const bool up = row - firstRow < page / 2;
        hit.part = up ? MouseHit::Part::ScrollUp : MouseHit::Part::ScrollDown;
        return;
    }
    const long long index = static_cast<long long>(list.topIndex) + (row - firstRow);
    if (index < static_cast<long long>(list.lineCount)) {
        hit.part = MouseHit::Part::ListRow;
        hit.line = static_cast<int>(index);
    }
}

// The caret an edit gets from a click in column `col`: before the character under it.
int EditCaretAt(const ControlView& edit, const CellRect& rect, int col, const UiState& ui) {
    const std::vector<Glyph> glyphs = ToGlyphs(edit.text);
    const auto known = ui.editScroll.find(edit.hwnd);
    std::size_t i =
        known == ui.editScroll.end() ? 0 : static_cast<std::size_t>(std::max(known->second, 0));
    int at = rect.col;
    while (i < glyphs.size() && at + glyphs[i].width <= col) {
        at += glyphs[i++].width;
    }
    return i < glyphs.size() ? static_cast<int>(glyphs[i].source)
                             : static_cast<int>(edit.text.size());
}

// A click on a list: its line is selected; the scroll indicator pages up or down.
std::vector<Action> ListClick(const MouseHit& hit) {
    const ControlView& list = *hit.control;
    if (hit.part == MouseHit::Part::ListRow) {
        return {Make(Kind::Select, list.hwnd, hit.line)};
    }
    if (hit.part != MouseHit::Part::ScrollUp && hit.part != MouseHit::Part::ScrollDown) {
        return {};
    }
    const int page = ListPageRows(list, *hit.content);
    const int step = hit.part == MouseHit::Part::ScrollUp ? -page : page;
    const int top = std::clamp(list.topIndex + step, 0, MaxTop(list.lineCount, page));
    return top == list.topIndex ? std::vector<Action>{}
                                : std::vector<Action>{Make(Kind::Scroll, list.hwnd, top)};
}

std::vector<Action> Press(const MouseHit& hit, int col, const UiState& ui) {
    if (hit.part == MouseHit::Part::None) {
        return {};
    }
    if (hit.part == MouseHit::Part::CloseBox) {
        return {Make(Kind::Arm, hit.window->hwnd, 1)};
    }
    const ControlView& control = *hit.control;
    std::vector<Action> actions{Make(Kind::Focus, control.hwnd)};
    std::vector<Action> more;
    switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::RadioButton:
        more = {Make(Kind::Arm, control.hwnd)};
        break;
    case ControlKind::Edit:
        more = {Make(Kind::Caret, control.hwnd, EditCaretAt(control, *hit.content, col, ui))};
        break;
    case ControlKind::ListBox:
    case ControlKind::ListView:
        more = ListClick(hit);
        break;
    default:
        return {};
    }
    actions.insert(actions.end(), more.begin(), more.end());
    return actions;
}

// The mouse button comes up: the button or close box it went down on acts if it is still under
// the pointer (and still there and enabled); elsewhere nothing happens, as on the device.
std::vector<Action> Release(const MouseHit& hit, const UiState& ui) {
    if (ui.armed == nullptr) {
        return {};
    }
    if (ui.armedCloseBox) {
        if (hit.part != MouseHit::Part::CloseBox || hit.window->hwnd != ui.armed) {
            return {};
        }
        // Closing the main window ends the console: the front end may ask first.
        return {IsMainWindow(*hit.window) ? Make(Kind::Quit) : Make(Kind::Close, hit.window->hwnd)};
    }
    if (hit.control == nullptr || hit.control->hwnd != ui.armed) {
        return {};
    }
    return {Make(Kind::Click, ui.armed)};
}

// The wheel scrolls a list under the pointer: up and down by lines, left and right by columns.
std::vector<Action> Wheel(MouseEvent::Kind kind, const MouseHit& hit, const UiState& ui) {
    if (hit.control == nullptr || !IsList(*hit.control)) {
        return {};
    }
    const ControlView& list = *hit.control;
    const CellRect& rect = *hit.content;
    if (kind == MouseEvent::Kind::WheelLeft || kind == MouseEvent::Kind::WheelRight) {
        return ShiftList(list, rect,
                         kind == MouseEvent::Kind::WheelLeft ? -kShiftColumns : kShiftColumns, ui);
    }
    const int page = ListPageRows(list, rect);
    const int delta = kind == MouseEvent::Kind::WheelUp ? -kWheelLines : kWheelLines;
    const int top = std::clamp(list.topIndex + delta, 0, MaxTop(list.lineCount, page));
    return top == list.topIndex ? std::vector<Action>{}
                                : std::vector<Action>{Make(Kind::Scroll, list.hwnd, top)};
}

} // namespace

std::size_t ClampDebugBack(long long back, std::size_t total, int rows) {
    const auto shown = static_cast<std::size_t>(std::max(rows, 1));
    const std::size_t most = total > shown ? total - shown : 0;
    if (back <= 0) {
        return 0;
    }
    return std::min(static_cast<std::size_t>(back), most);
}

std::vector<Action> MapKey(const KeyEvent& key, const InputContext& context) {
    if (std::vector<Action> device = DeviceKey(key); !device.empty()) {
        return device;
    }
    if (context.ui.debugView) {
        return DebugKey(key, context);
    }
    if (key.key == Key::Char && Classify(key.ch) == CharClass::Control) {
        return {};
    }
    const Target target = ActiveTarget(context);
    if (target.window == nullptr) {
        return {};
    }
    if (std::vector<Action> pressed = MapAccelerator(key, *target.window); !pressed.empty()) {
        return pressed;
    }
    if (key.alt) {
        return {}; // an Alt key that stands for nothing types nothing either
    }
    const int focusedIndex = FocusedIndex(*target.window);
    if (std::optional<std::vector<Action>> actions = WindowKey(key, *target.window, focusedIndex)) {
        return *actions;
    }
    return FocusedControlKey(key, target, focusedIndex, context.ui);
}

MouseHit HitTest(int col, int row, const InputContext& context) {
    const Target target = ActiveTarget(context);
    // Only the topmost window under the pointer is hit, and only when it is the active one.
    if (target.window == nullptr || TopmostWindowAt(context.layout, col, row) != target.place) {
        return {};
    }
    const WindowPlace& place = *target.place;
    if (place.closeBox.Contains(col, row)) {
        return MouseHit{MouseHit::Part::CloseBox, target.window};
    }
    if (!place.client.Contains(col, row)) {
        return {};
    }
    const ControlPlace* hit = TopmostControlAt(place, col, row);
    if (hit == nullptr) {
        return {};
    }
    const ControlView& control = target.window->controls[hit->index];
    if (!TakesInput(control)) {
        return {};
    }
    // A click on a border counts as one inside it.
    MouseHit result{MouseHit::Part::Control, target.window, &control, &hit->content};
    if (IsList(control)) {
        ListPartAt(col, row, result);
    }
    return result;
}

std::vector<Action> MapMouse(const MouseEvent& mouse, const InputContext& context) {
    if (context.ui.debugView) {
        return DebugMouse(mouse);
    }
    const MouseHit hit = HitTest(mouse.col, mouse.row, context);
    if (mouse.kind == MouseEvent::Kind::Press) {
        return Press(hit, mouse.col, context.ui);
    }
    if (mouse.kind == MouseEvent::Kind::Release) {
        return Release(hit, context.ui);
    }
    return Wheel(mouse.kind, hit, context.ui);
}

} // namespace kobalt::terminal
