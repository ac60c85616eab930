#include "tests/framework/FrameworkTestSupport.h"

#include "platform/DialogTemplate.h"

#include <gtest/gtest.h>

#include <mutex>

namespace kobalt::framework::testing {
namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

const DialogControlTemplate kControls[] = {
    {kIdList, WC_LISTBOX, u"", 5, 5, 80, 24,
     kChild | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT},
    {kIdAction, WC_BUTTON, u"Action", 90, 5, 40, 14, kChild | WS_TABSTOP | BS_PUSHBUTTON},
    {kIdEdit, WC_EDIT, u"", 90, 22, 40, 12, kChild | WS_BORDER | ES_AUTOHSCROLL},
    {kIdView, WC_LISTVIEW, u"", 5, 35, 120, 40, kChild | WS_BORDER | LVS_SINGLESEL},
    {kIdLabel, WC_STATIC, u"Label", 5, 80, 40, 8, kChild | SS_LEFT},
    {IDOK, WC_BUTTON, u"OK", 50, 90, 30, 14, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {IDCANCEL, WC_BUTTON, u"Cancel", 90, 90, 30, 14, kChild | WS_TABSTOP | BS_PUSHBUTTON},
};

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT | DS_MODALFRAME;

const DialogTemplate kMain = {static_cast<int>(kMainTemplate),
                              u"Main",
                              0,
                              0,
                              140,
                              110,
                              u"MS Shell Dlg",
                              8,
                              kDialogStyle,
                              0,
                              kControls};
const DialogTemplate kInner = {static_cast<int>(kInnerTemplate),
                               u"Inner",
                               0,
                               0,
                               140,
                               110,
                               u"MS Shell Dlg",
                               8,
                               kDialogStyle,
                               0,
                               kControls};

} // namespace

void RegisterTestTemplates() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterDialogTemplate(&kMain);
        RegisterDialogTemplate(&kInner);
    });
}

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

BEGIN_MESSAGE_MAP(ScriptedDialog, CDialog)
    ON_BN_CLICKED(kIdAction, &ScriptedDialog::OnAction)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

ScriptedDialog::ScriptedDialog(UINT nIDTemplate) : CDialog(nIDTemplate) {
    RegisterTestTemplates();
}

void ScriptedDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kIdList, m_list);
    DDX_Control(pDX, kIdAction, m_action);
    DDX_Control(pDX, kIdEdit, m_edit);
    DDX_Control(pDX, kIdView, m_view);
}

BOOL ScriptedDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    log.push_back("init");
    if (onInit) {
        onInit(*this);
    }
    return TRUE;
}

void ScriptedDialog::OnOK() {
    log.push_back("ok");
    CDialog::OnOK();
}

void ScriptedDialog::OnCancel() {
    log.push_back("cancel");
    CDialog::OnCancel();
}

void ScriptedDialog::OnAction() {
    log.push_back("action");
    if (onAction) {
        onAction(*this);
    }
}

void ScriptedDialog::OnDestroy() {
    log.push_back("destroy");
    if (onDestroy) {
        onDestroy(*this);
    }
    CDialog::OnDestroy();
}

std::optional<desktop::WindowView> WaitForActive(desktop::WindowKind kind, int templateId) {
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    for (;;) {
        const std::uint64_t seen = desktop::Version();
        for (desktop::WindowView& w : desktop::TakeSnapshot().windows) {
            if (w.active && w.kind == kind &&
                (kind != desktop::WindowKind::Dialog || w.templateId == templateId)) {
                return std::move(w);
            }
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            ADD_FAILURE() << "no active window of template " << templateId;
            return std::nullopt;
        }
        desktop::WaitForChange(
            seen, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
    }
}

HWND ControlOf(const desktop::WindowView& window, int id) {
    for (const desktop::ControlView& c : window.controls) {
        if (c.id == id) {
            return c.hwnd;
        }
    }
    ADD_FAILURE() << "window " << Narrow(window.caption) << " has no control " << id;
    return nullptr;
}

bool ClickIn(UINT templateId, int controlId) {
    const auto dialog = WaitForActive(desktop::WindowKind::Dialog, static_cast<int>(templateId));
    if (!dialog) {
        return false;
    }
    const desktop::InputResult result = desktop::Click(ControlOf(*dialog, controlId));
    EXPECT_EQ(result, desktop::InputResult::Ok) << desktop::InputResultName(result);
    return result == desktop::InputResult::Ok;
}

bool CloseDialog(UINT templateId) {
    const auto dialog = WaitForActive(desktop::WindowKind::Dialog, static_cast<int>(templateId));
    if (!dialog) {
        return false;
    }
    const desktop::InputResult result = desktop::Close(dialog->hwnd);
    EXPECT_EQ(result, desktop::InputResult::Ok) << desktop::InputResultName(result);
    return result == desktop::InputResult::Ok;
}

} // namespace kobalt::framework::testing
