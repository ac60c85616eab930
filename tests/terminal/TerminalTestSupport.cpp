#include "TerminalTestSupport.h"

#include "platform/DialogTemplate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kobalt::terminal::testing {

namespace {

LRESULT TestDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefDlgProcW(hwnd, msg, wParam, lParam);
}

LRESULT SendText(HWND hwnd, UINT msg, WPARAM wParam, std::u16string_view text) {
    const std::u16string copy(text);
    return SendMessageW(hwnd, msg, wParam, reinterpret_cast<LPARAM>(copy.c_str()));
}

} // namespace

TemplateDialog::TemplateDialog(int templateId) {
    const DialogTemplate* tmpl = FindDialogTemplate(templateId);
    if (tmpl == nullptr) {
        ADD_FAILURE() << "no dialog template " << templateId;
        return;
    }
    m_hwnd = CreateDialogIndirectParamW(nullptr, tmpl, nullptr, TestDialogProc, 0);
    ShowWindow(m_hwnd, SW_SHOW);
}

TemplateDialog::~TemplateDialog() {
    if (m_hwnd != nullptr) {
        DestroyWindow(m_hwnd);
    }
}

HWND TemplateDialog::Item(int id) const {
    HWND item = GetDlgItem(m_hwnd, id);
    EXPECT_NE(item, nullptr) << "no control " << id;
    return item;
}

void TemplateDialog::AddLines(int id, std::initializer_list<std::u16string_view> lines) {
    for (std::u16string_view line : lines) {
        SendText(Item(id), LB_ADDSTRING, 0, line);
    }
}

void TemplateDialog::AddColumns(
    int id, std::initializer_list<std::pair<std::u16string_view, int>> columns) {
    int index = 0;
    for (const auto& [header, width] : columns) {
        std::u16string text(header);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = width;
        column.pszText = text.data();
        SendMessageW(Item(id), LVM_INSERTCOLUMNW, static_cast<WPARAM>(index++),
                     reinterpret_cast<LPARAM>(&column));
    }
}

void TemplateDialog::AddRows(int id, std::initializer_list<std::u16string_view> rows) {
    int index = 0;
    for (std::u16string_view row : rows) {
        std::vector<std::u16string> parts;
        std::u16string part;
        for (char16_t c : row) {
            if (c == u'\t') {
                parts.push_back(std::move(part));
                part.clear();
            } else {
                part += c;
            }
        }
        parts.push_back(std::move(part));
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = index;
        item.pszText = parts[0].data();
        SendMessageW(Item(id), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        for (std::size_t sub = 1; sub < parts.size(); ++sub) {
            LVITEMW subItem{};
            subItem.iSubItem = static_cast<int>(sub);
            subItem.pszText = parts[sub].data();
            SendMessageW(Item(id), LVM_SETITEMTEXTW, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(&subItem));
        }
        ++index;
    }
}

void TemplateDialog::SetText(int id, std::u16string_view text) {
    const std::u16string copy(text);
    SetWindowTextW(Item(id), copy.c_str());
}

void TemplateDialog::Disable(std::initializer_list<int> ids) {
    for (int id : ids) {
        EnableWindow(Item(id), FALSE);
    }
}

void TemplateDialog::Check(int id) {
    SendMessageW(Item(id), BM_SETCHECK, 1, 0);
}

void TemplateDialog::Select(int id, int index) {
    SendMessageW(Item(id), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TemplateDialog::ScrollTo(int id, int top) {
    SendMessageW(Item(id), LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
}

void TemplateDialog::Focus(int id) {
    SetFocus(Item(id));
}

ScreenSize RoomFor(int templateId) {
    const DialogTemplate* tmpl = FindDialogTemplate(templateId);
    RECT rect{0, 0, tmpl->cx, tmpl->cy};
    MapDialogRect(nullptr, &rect);
    const CellRect cells = ControlCells(rect);
    return ScreenSize{cells.cols + 4, cells.rows + 5};
}

Frame RenderScreen(const desktop::Snapshot& snapshot, ScreenSize size, const ScreenInput& input) {
    const ScreenLayout layout = LayOut(snapshot, size);
    return Render(RenderInput{snapshot, layout, input.debug, input.status, input.ui});
}

std::string Screen(const desktop::Snapshot& snapshot, ScreenSize size, const ScreenInput& input) {
    return RenderScreen(snapshot, size, input).grid.PlainText();
}

void ExpectScreen(const std::string& name, const std::string& actual) {
    const std::string path = std::string(KOBALT_TERMINAL_SCREENS) + "/" + name + ".txt";
    const char* update = std::getenv("KOBALT_UPDATE_SCREENS");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream file(path, std::ios::binary);
    std::stringstream expected;
    expected << file.rdbuf();
    if (expected.str() != actual) {
        std::ofstream(name + ".actual.txt", std::ios::binary) << actual;
    }
    EXPECT_TRUE(expected.str() == actual) << "screen " << path << " differs; what was drawn is in "
                                          << name << ".actual.txt\n--- expected\n"
                                          << expected.str() << "--- drawn\n"
                                          << actual;
}

std::string Lines(std::string_view text) {
    if (!text.empty() && text.front() == '\n') {
        text.remove_prefix(1);
    }
    return std::string(text);
}

} // namespace kobalt::terminal::testing
