// Modal dialogs: the test thread runs DoModal, a second thread plays the operator.
#include "tests/framework/FrameworkTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace kobalt::framework::testing {
namespace {

using desktop::WindowKind;

TEST(DoModal, MissingTemplateReturnsMinusOne) {
    CDialog dialog(4242);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST(DoModal, OkButtonEndsWithIdOkThroughOnOK) {
    ScriptedDialog dialog;
    std::thread op([] { ClickIn(kMainTemplate, IDOK); });
    const INT_PTR result = dialog.DoModal();
    op.join();
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "ok", "destroy"}));
}

TEST(DoModal, CancelButtonEndsWithIdCancelThroughOnCancel) {
    ScriptedDialog dialog;
    std::thread op([] { ClickIn(kMainTemplate, IDCANCEL); });
    const INT_PTR result = dialog.DoModal();
    op.join();
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "cancel", "destroy"}));
}

TEST(DoModal, CloseBoxEndsWithIdCancelThroughOnCancel) {
    ScriptedDialog dialog;
    std::thread op([] { CloseDialog(kMainTemplate); });
    const INT_PTR result = dialog.DoModal();
    op.join();
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "cancel", "destroy"}));
}

TEST(DoModal, HandlerEndDialogValueIsTheResult) {
    ScriptedDialog dialog;
    dialog.onAction = [](ScriptedDialog& d) { d.EndDialog(42); };
    std::thread op([] { ClickIn(kMainTemplate, kIdAction); });
    const INT_PTR result = dialog.DoModal();
    op.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "action", "destroy"}));
}

// A map entry for IDOK in a derived class takes the command before CDialog's OnOK entry.
class OwnOkDialog : public ScriptedDialog {
public:
    void OnOwnOk() {
        log.push_back("own ok");
        EndDialog(77);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(OwnOkDialog, ScriptedDialog)
    ON_BN_CLICKED(IDOK, &OwnOkDialog::OnOwnOk)
END_MESSAGE_MAP()

TEST(DoModal, DerivedMapEntryForIdOkReplacesOnOK) {
    OwnOkDialog dialog;
    std::thread op([] { ClickIn(kMainTemplate, IDOK); });
    const INT_PTR result = dialog.DoModal();
    op.join();
    EXPECT_EQ(result, 77);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "own ok", "destroy"}));
}

TEST(DoModal, NestedDialogRunsInsideTheOuterOneAndDisablesIt) {
    ScriptedDialog outer;
    ScriptedDialog inner(kInnerTemplate);
    INT_PTR innerResult = 0;
    bool outerAttachedDuringInner = false;
    outer.onAction = [&](ScriptedDialog& self) {
        innerResult = inner.DoModal();
        outerAttachedDuringInner = self.GetSafeHwnd() != nullptr;
    };
    std::thread op([] {
        ClickIn(kMainTemplate, kIdAction);
        const auto innerView = WaitForActive(WindowKind::Dialog, static_cast<int>(kInnerTemplate));
        ASSERT_TRUE(innerView);
        for (const desktop::WindowView& w : desktop::TakeSnapshot().windows) {
            if (w.templateId == static_cast<int>(kMainTemplate)) {
                EXPECT_FALSE(w.enabled) << "the outer dialog takes input under the inner one";
            }
        }
        ClickIn(kInnerTemplate, IDOK);
        CloseDialog(kMainTemplate);
    });
    const INT_PTR outerResult = outer.DoModal();
    op.join();
    EXPECT_EQ(innerResult, IDOK);
    EXPECT_EQ(outerResult, IDCANCEL);
    EXPECT_TRUE(outerAttachedDuringInner);
    EXPECT_EQ(inner.log, (std::vector<std::string>{"init", "ok", "destroy"}));
    EXPECT_EQ(outer.log, (std::vector<std::string>{"init", "action", "cancel", "destroy"}));
}

TEST(DataExchange, ControlsAreBoundByTheBaseInitAndGetDlgItemReturnsThem) {
    ScriptedDialog dialog;
    HWND listHandle = nullptr;
    dialog.onInit = [&](ScriptedDialog& d) {
        listHandle = ::GetDlgItem(d.GetSafeHwnd(), kIdList);
        EXPECT_EQ(d.m_list.GetSafeHwnd(), listHandle);
        EXPECT_EQ(d.GetDlgItem(kIdList), &d.m_list);
        EXPECT_EQ(d.GetDlgItem(kIdAction), &d.m_action);

        // An unbound control gets a wrapper of its own class that stays the same object.
        CWnd* label = d.GetDlgItem(kIdLabel);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(d.GetDlgItem(kIdLabel), label);
        EXPECT_TRUE(label->IsKindOf(RUNTIME_CLASS(CStatic)));
        CWnd* ok = d.GetDlgItem(IDOK);
        ASSERT_TRUE(ok->IsKindOf(RUNTIME_CLASS(CButton)));
        EXPECT_EQ(static_cast<CButton*>(ok)->GetCheck(), BST_UNCHECKED);
        CString text;
        label->GetWindowText(text);
        EXPECT_EQ(text, u"Label");
        EXPECT_EQ(d.GetDlgItem(9999), nullptr);
        d.EndDialog(IDOK);
    };
    dialog.DoModal();
    EXPECT_NE(listHandle, nullptr);
}

TEST(DataExchange, DestroyDetachesTheDialogAndItsControlsAfterOnDestroy) {
    ScriptedDialog dialog;
    bool attachedInOnDestroy = false;
    dialog.onInit = [](ScriptedDialog& d) { d.EndDialog(IDOK); };
    dialog.onDestroy = [&](ScriptedDialog& d) {
        attachedInOnDestroy = d.GetSafeHwnd() != nullptr && d.m_list.GetSafeHwnd() != nullptr;
    };
    dialog.DoModal();
    EXPECT_TRUE(attachedInOnDestroy);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog.m_list.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog.GetDlgItem(kIdList), nullptr);
    // Calls on detached wrappers do nothing.
    EXPECT_EQ(dialog.m_list.AddString(u"late"), 0);
    EXPECT_FALSE(dialog.PostMessage(WM_APP + 1)); // not to this thread's queue instead
    MSG msg{};
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_APP + 1, WM_APP + 1, PM_REMOVE));
}

TEST(DataExchange, SecondRunOfTheSameObjectBindsTheNewControls) {
    ScriptedDialog dialog;
    std::vector<int> added;
    dialog.onInit = [&](ScriptedDialog& d) {
        added.push_back(d.m_list.AddString(u"line"));
        added.push_back(d.m_list.GetCount());
        d.EndDialog(IDOK);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    // Each run starts with a fresh, empty list that the member reaches.
    EXPECT_EQ(added, (std::vector<int>{0, 1, 0, 1}));
}

// Private and registered messages posted from another thread reach the dialog's map.
UINT g_dialogRegistered = RegisterWindowMessageW(u"WM_FRAMEWORK_TEST_DIALOG");

class MessageDialog : public ScriptedDialog {
public:
    LRESULT OnAppMessage(WPARAM wParam, LPARAM) {
        log.push_back("app " + std::to_string(wParam));
        return 0;
    }
    LRESULT OnRegistered(WPARAM wParam, LPARAM) {
        log.push_back("registered " + std::to_string(wParam));
        EndDialog(static_cast<int>(wParam));
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MessageDialog, ScriptedDialog)
    ON_MESSAGE(WM_APP + 0x14D, &MessageDialog::OnAppMessage)
    ON_REGISTERED_MESSAGE(g_dialogRegistered, &MessageDialog::OnRegistered)
END_MESSAGE_MAP()

TEST(DoModal, PostedPrivateAndRegisteredMessagesReachTheMap) {
    MessageDialog dialog;
    std::thread op([&] {
        if (WaitForActive(WindowKind::Dialog, static_cast<int>(kMainTemplate))) {
            EXPECT_TRUE(dialog.PostMessage(WM_APP + 0x14D, 6));
            EXPECT_TRUE(dialog.PostMessage(g_dialogRegistered, 9));
        }
    });
    const INT_PTR result = dialog.DoModal();
    op.join();
    EXPECT_EQ(result, 9);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "app 6", "registered 9", "destroy"}));
}

} // namespace
} // namespace kobalt::framework::testing
