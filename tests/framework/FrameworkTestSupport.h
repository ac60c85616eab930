// Shared by the framework tests: test dialog templates, a dialog whose handlers each test
// supplies, and an operator that drives modal dialogs from a second thread through the desktop.
#pragma once

#include "framework/Afx.h"
#include "platform/Desktop.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kobalt::framework::testing {

// Template ids and control ids of the test templates (registered on first use).
constexpr UINT kMainTemplate = 9100;  // every control kind
constexpr UINT kInnerTemplate = 9101; // OK and Cancel only, for nested runs
constexpr int kIdList = 1001;         // list box, unsorted, 3 lines high
constexpr int kIdAction = 1002;       // push button "Action"
constexpr int kIdEdit = 1003;
constexpr int kIdView = 1004;  // list view
constexpr int kIdLabel = 1005; // static "Label", left unbound
void RegisterTestTemplates();

// Printable ASCII of UTF-16 text, for failure output.
std::string Narrow(const std::u16string& text);

// A dialog whose initialisation and "Action" button run the test's functions, and which logs
// what the framework called, in order ("init", "action", "ok", "cancel", "destroy").
// Everything but the control wrappers is used on the dialog's own thread only.
class ScriptedDialog : public CDialog {
public:
    explicit ScriptedDialog(UINT nIDTemplate = kMainTemplate);

    std::function<void(ScriptedDialog&)> onInit;    // after the base OnInitDialog
    std::function<void(ScriptedDialog&)> onAction;  // "Action" clicked
    std::function<void(ScriptedDialog&)> onDestroy; // WM_DESTROY, window still attached
    std::vector<std::string> log;

    CListBox m_list;
    CButton m_action;
    CEdit m_edit;
    CListCtrl m_view;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnAction();
    void OnDestroy();

    DECLARE_MESSAGE_MAP()
};

// Operator side: every wait is bounded and reports a test failure when it runs out.
constexpr std::chrono::milliseconds kWaitLimit{10000};

// The active window of that kind (and template, for dialogs), once it shows.
std::optional<desktop::WindowView> WaitForActive(desktop::WindowKind kind, int templateId);
HWND ControlOf(const desktop::WindowView& window, int id);
// Waits for the active dialog of the template and clicks its control. The click is handled
// later, on the dialog's thread: callers wait for what it leads to.
bool ClickIn(UINT templateId, int controlId);
// Waits for the active dialog of the template and clicks its close box.
bool CloseDialog(UINT templateId);

} // namespace kobalt::framework::testing
