// What front ends see of the desktop: the views a snapshot is made of. The window server fills
// them in; Desktop.h takes and delivers them.
#pragma once

#include "platform/WindowsTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kobalt::desktop {

enum class ControlKind { PushButton, RadioButton, Static, Edit, ListBox, ListView, Other };

struct ListViewColumn {
    std::u16string header;
    int width = 0; // pixels
};

struct ControlView {
    HWND hwnd = nullptr;
    int id = 0;
    ControlKind kind = ControlKind::Other;
    std::u16string text; // caption, static text, edit text
    DWORD style = 0;
    RECT rect{}; // pixels, relative to the dialog's client area
    bool enabled = true;
    bool visible = true;
    bool checked = false; // radio buttons
    bool focused = false;
    int caret = 0; // edits: caret position in characters
    // List boxes: one line each. List views: one row each, the columns joined by a tab.
    std::vector<std::u16string> lines;
    std::size_t lineCount = 0; // all lines, also when `lines` holds only a window of them
    std::size_t firstLine = 0; // index of lines[0]
    int selected = -1;
    int topIndex = 0;
    std::vector<ListViewColumn> columns; // list views in report view
    std::u16string fontFace;             // from WM_SETFONT, empty when none
    int fontHeight = 0;
};

enum class WindowKind { Dialog, MessageBox, Other };

struct WindowView {
    HWND hwnd = nullptr;
    WindowKind kind = WindowKind::Other;
    int templateId = 0; // the dialog template it was made from, 0 when none
    std::u16string caption;
    std::u16string text; // message boxes: the message
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};         // pixels on the screen
    bool enabled = true; // false while a modal window above it runs
    bool active = false; // the topmost window that takes input
    DWORD ownerThread = 0;
    std::vector<ControlView> controls; // in creation (tab) order
};

struct SnapshotOptions {
    // At most this many lines of each list are copied, starting at the list's top index
    // (front ends draw only what is visible). SIZE_MAX copies every line.
    std::size_t maxLinesPerList = SIZE_MAX;
};

struct Snapshot {
    std::uint64_t version = 0;
    std::vector<WindowView> windows; // visible top-level windows, topmost first
};

} // namespace kobalt::desktop
