#include "frontend/common/DesktopDump.h"

#include "frontend/common/ScriptText.h"

namespace kobalt::script {

using desktop::ControlKind;
using desktop::WindowKind;

namespace {

bool IsList(ControlKind kind) {
    return kind == ControlKind::ListBox || kind == ControlKind::ListView;
}

void DumpControl(std::string& out, const desktop::ControlView& control) {
    out += "  ";
    out += DescribeControlView(control);
    out += control.enabled ? " enabled" : " disabled";
    if (!control.visible) {
        out += " hidden";
    }
    if (control.focused) {
        out += " focused";
    }
    if (control.kind == ControlKind::RadioButton) {
        out += control.checked ? " checked" : " unchecked";
    }
    if (!IsList(control.kind)) {
        out += '\n';
        return;
    }
    out += " selected " + std::to_string(control.selected);
    out += " lines " + std::to_string(control.lineCount);
    out += '\n';
    if (!control.columns.empty()) {
        out += "    columns";
        for (const desktop::ListViewColumn& column : control.columns) {
            out += ' ';
            out += Quoted(column.header);
        }
        out += '\n';
    }
    if (control.firstLine > 0) {
        out += "    ... " + std::to_string(control.firstLine) + " lines above\n";
    }
    for (std::size_t i = 0; i < control.lines.size(); ++i) {
        out +=
            "    " + std::to_string(control.firstLine + i) + ' ' + Quoted(control.lines[i]) + '\n';
    }
    const std::size_t shownEnd = control.firstLine + control.lines.size();
    if (shownEnd < control.lineCount) {
        out += "    ... " + std::to_string(control.lineCount - shownEnd) + " lines below\n";
    }
}

} // namespace

const char* ControlKindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::PushButton:
        return "button";
    case ControlKind::RadioButton:
        return "radio";
    case ControlKind::Static:
        return "static";
    case ControlKind::Edit:
        return "edit";
    case ControlKind::ListBox:
        return "listbox";
    case ControlKind::ListView:
        return "listview";
    case ControlKind::Other:
        break;
    }
    return "other";
}

const char* WindowKindName(WindowKind kind) {
    switch (kind) {
    case WindowKind::Dialog:
        return "dialog";
    case WindowKind::MessageBox:
        return "messagebox";
    case WindowKind::Other:
        break;
    }
    return "other";
}

std::string DescribeControlView(const desktop::ControlView& control) {
    return std::to_string(control.id) + ' ' + ControlKindName(control.kind) + ' ' +
           Quoted(control.text);
}

std::string DescribeWindowView(const desktop::WindowView& window) {
    std::string out = "window " + Quoted(window.caption) + ' ' + WindowKindName(window.kind);
    if (window.templateId != 0) {
        out += ' ' + std::to_string(window.templateId);
    }
    return out;
}

std::string DumpDesktop(const desktop::Snapshot& snapshot) {
    if (snapshot.windows.empty()) {
        return "no windows\n";
    }
    std::string out;
    for (const desktop::WindowView& window : snapshot.windows) {
        out += DescribeWindowView(window);
        if (window.active) {
            out += " active";
        }
        if (!window.enabled) {
            out += " disabled";
        }
        out += '\n';
        if (window.kind == WindowKind::MessageBox) {
            out += "  text " + Quoted(window.text) + '\n';
        }
        for (const desktop::ControlView& control : window.controls) {
            DumpControl(out, control);
        }
    }
    return out;
}

} // namespace kobalt::script
