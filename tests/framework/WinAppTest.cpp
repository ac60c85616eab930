// The application object: its name, AfxWinMain, and message boxes captioned with the name.
#include "tests/framework/FrameworkTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace kobalt::framework::testing {
namespace {

using desktop::WindowKind;

TEST(CWinApp, NameDefaultsToTheExecutableWithoutPathOrExtension) {
    CWinApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(CString(app.m_pszAppName), u"framework_tests");
}

TEST(CWinApp, OnlyTheFirstApplicationObjectIsRegisteredUntilItGoes) {
    {
        CWinApp first(u"First");
        CWinApp second(u"Second");
        EXPECT_EQ(AfxGetApp(), &first);
        EXPECT_EQ(CString(AfxGetAppName()), u"First");
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(CString(AfxGetAppName()), u"framework_tests");
}

class ScriptedApp : public CWinApp {
public:
    explicit ScriptedApp(BOOL initResult) : CWinApp(u"ScriptedApp"), m_initResult(initResult) {}
    BOOL InitInstance() override {
        ScriptedDialog dialog;
        dialog.onInit = [](ScriptedDialog& d) { d.EndDialog(IDOK); };
        m_pMainWnd = &dialog;
        m_dialogResult = dialog.DoModal();
        if (m_initResult) {
            m_pMainWnd = nullptr;
            PostQuitMessage(7);
        }
        return m_initResult;
    }
    BOOL m_initResult;
    INT_PTR m_dialogResult = 0;
};

TEST(AfxWinMain, InitInstanceFalseEndsAtOnceAndForgetsTheMainWindow) {
    ScriptedApp app(FALSE);
    EXPECT_EQ(AfxWinMain(), 0);
    EXPECT_EQ(app.m_dialogResult, IDOK);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

TEST(AfxWinMain, InitInstanceTrueRunsTheMessageLoopUntilQuit) {
    ScriptedApp app(TRUE);
    EXPECT_EQ(AfxWinMain(), 7);
}

// Opens a message box from the dialog's "Action" handler and answers it from the operator
// thread; returns the caption and text the operator saw.
std::pair<std::string, std::string> CaptionOfBoxFromAction(LPCWSTR caption) {
    ScriptedDialog dialog;
    int answer = 0;
    dialog.onAction = [&](ScriptedDialog& d) {
        answer = d.MessageBox(u"Trans Fail", caption);
        d.EndDialog(IDOK);
    };
    std::pair<std::string, std::string> seen;
    std::thread op([&] {
        if (!ClickIn(kMainTemplate, kIdAction)) {
            return;
        }
        if (const auto box = WaitForActive(WindowKind::MessageBox, 0)) {
            seen = {Narrow(box->caption), Narrow(box->text)};
            EXPECT_EQ(desktop::AnswerBox(box->hwnd, IDOK), desktop::InputResult::Ok);
        }
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    op.join();
    EXPECT_EQ(answer, IDOK);
    return seen;
}

TEST(CWndMessageBox, CaptionDefaultsToTheApplicationName) {
    CWinApp app(u"KOBALTDemo");
    EXPECT_EQ(CaptionOfBoxFromAction(nullptr),
              (std::pair<std::string, std::string>{"KOBALTDemo", "Trans Fail"}));
}

TEST(CWndMessageBox, ExplicitCaptionIsKept) {
    CWinApp app(u"KOBALTDemo");
    EXPECT_EQ(CaptionOfBoxFromAction(u"Hint"),
              (std::pair<std::string, std::string>{"Hint", "Trans Fail"}));
}

} // namespace
} // namespace kobalt::framework::testing
