// Shared by the terminal front end's tests: real dialogs from the console's templates, the
// screen as plain text, and expected screens kept as files.
#pragma once

#include "frontend/terminal/Layout.h"
#include "frontend/terminal/Renderer.h"
#include "platform/Desktop.h"
#include "platform/Windows.h"

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kobalt::terminal::testing {

// A dialog made from one of the console's templates on the test thread, shown while it lives.
class TemplateDialog {
public:
    explicit TemplateDialog(int templateId);
    ~TemplateDialog();
    TemplateDialog(const TemplateDialog&) = delete;
    TemplateDialog& operator=(const TemplateDialog&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    HWND Item(int id) const;

    void AddLines(int id, std::initializer_list<std::u16string_view> lines); // list box
    // List view: columns (header, width in pixels), then rows with tab-separated columns.
    void AddColumns(int id, std::initializer_list<std::pair<std::u16string_view, int>> columns);
    void AddRows(int id, std::initializer_list<std::u16string_view> rows);
    void SetText(int id, std::u16string_view text);
    void Disable(std::initializer_list<int> ids);
    void Check(int id);
    void Select(int id, int index);
    void ScrollTo(int id, int top);
    void Focus(int id);

private:
    HWND m_hwnd = nullptr;
};

// The size that shows a dialog made from `templateId` with a row and a column to spare around
// it, and the status line.
ScreenSize RoomFor(int templateId);

struct ScreenInput {
    UiState ui;
    StatusInfo status;
    DebugWindow debug;
};

// The rendered screen, laid out for `size`.
Frame RenderScreen(const desktop::Snapshot& snapshot, ScreenSize size,
                   const ScreenInput& input = {});
std::string Screen(const desktop::Snapshot& snapshot, ScreenSize size,
                   const ScreenInput& input = {});

// Compares `actual` with screens/NAME.txt. With KOBALT_UPDATE_SCREENS=1 in the environment the
// file is written instead; a mismatch leaves NAME.actual.txt beside the test for review.
void ExpectScreen(const std::string& name, const std::string& actual);

// The text as a block of lines: a leading newline is dropped, so that expected screens can be
// written as raw strings starting on a line of their own.
std::string Lines(std::string_view text);

} // namespace kobalt::terminal::testing
