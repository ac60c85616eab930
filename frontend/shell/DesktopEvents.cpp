#include "frontend/shell/DesktopEvents.h"

#include "frontend/common/DesktopDump.h"
#include "frontend/common/ScriptText.h"

#include <algorithm>
#include <map>

namespace kobalt::shell {

namespace {

using desktop::ControlKind;
using desktop::ControlView;
using desktop::WindowKind;
using desktop::WindowView;
using script::Quoted;

const WindowView* FindWindow(const desktop::Snapshot& snapshot, HWND hwnd) {
    for (const WindowView& window : snapshot.windows) {
        if (window.hwnd == hwnd) {
            return &window;
        }
    }
    return nullptr;
}

const ControlView* FindControl(const WindowView& window, HWND hwnd) {
    for (const ControlView& control : window.controls) {
        if (control.hwnd == hwnd) {
            return &control;
        }
    }
    return nullptr;
}

bool IsList(ControlKind kind) {
    return kind == ControlKind::ListBox || kind == ControlKind::ListView;
}

std::string Opened(const WindowView& window) {
    if (window.kind == WindowKind::MessageBox) {
        return "[NEW] box " + Quoted(window.text) + ' ' + Quoted(window.caption);
    }
    return "[NEW] " + script::DescribeWindowView(window);
}

// The lines of `after` that `before` did not have, counted as a multiset of texts: a list
// that scrolls or sorts reports only what is new in it.
void ListChanges(const ControlView& before, const ControlView& after,
                 std::vector<std::string>& events) {
    const std::string id = std::to_string(after.id);
    if (after.lineCount == 0) {
        if (before.lineCount != 0) {
            events.push_back("[CLR] " + id);
        }
        return;
    }
    std::map<std::u16string_view, std::size_t> seen;
    for (const std::u16string& line : before.lines) {
        ++seen[line];
    }
    std::vector<const std::u16string*> added;
    for (const std::u16string& line : after.lines) {
        auto it = seen.find(line);
        if (it != seen.end() && it->second > 0) {
            --it->second;
        } else {
            added.push_back(&line);
        }
    }
    // Lines beyond the copied window that the count says are new.
    std::size_t unnamed = 0;
    if (after.lineCount > before.lineCount && after.lineCount - before.lineCount > added.size()) {
        unnamed = after.lineCount - before.lineCount - added.size();
    }
    const std::size_t named = std::min(added.size(), kNamedLines);
    for (std::size_t i = 0; i < named; ++i) {
        events.push_back("[ADD] " + id + ' ' + Quoted(*added[i]));
    }
    unnamed += added.size() - named;
    if (unnamed > 0) {
        events.push_back("[ADD] " + id + " and " + std::to_string(unnamed) + " more line" +
                         (unnamed == 1 ? "" : "s"));
    }
}

void WindowChanges(const WindowView& before, const WindowView& after,
                   std::vector<std::string>& events) {
    if (before.caption != after.caption) {
        events.push_back("[CHG] caption " + Quoted(before.caption) + " -> " +
                         Quoted(after.caption));
    }
    for (const ControlView& control : after.controls) {
        const ControlView* old = FindControl(before, control.hwnd);
        if (old == nullptr) {
            continue;
        }
        if (IsList(control.kind)) {
            ListChanges(*old, control, events);
        } else if (control.kind != ControlKind::Edit && old->text != control.text) {
            events.push_back("[CHG] " + std::to_string(control.id) + " text " +
                             Quoted(control.text));
        }
    }
}

} // namespace

std::vector<std::string> DescribeChanges(const desktop::Snapshot& before,
                                         const desktop::Snapshot& after) {
    std::vector<std::string> events;
    // Closed first, bottom-up as they were stacked; then changes and openings, bottom-up, so
    // a window opened over another reads after it.
    for (auto it = before.windows.rbegin(); it != before.windows.rend(); ++it) {
        if (FindWindow(after, it->hwnd) == nullptr) {
            events.push_back("[DEL] " + (it->kind == WindowKind::MessageBox
                                             ? "box " + Quoted(it->text)
                                             : script::DescribeWindowView(*it)));
        }
    }
    for (auto it = after.windows.rbegin(); it != after.windows.rend(); ++it) {
        if (const WindowView* old = FindWindow(before, it->hwnd)) {
            WindowChanges(*old, *it, events);
        } else {
            events.push_back(Opened(*it));
        }
    }
    return events;
}

} // namespace kobalt::shell
