// The main window against a fake SDK: start-up states, START, Clear, QUIT, the close box and the
// relayout switch.

#include "MainWindowFixture.h"

#include "framework/Relayout.h"
#include "platform/DialogTemplate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace kobalt::test;

TEST_F(MainWindowTest, OpensWithConnectionCommandsDisabledAndDefaultModeChecked) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        auto s = kobalt::desktop::TakeSnapshot();
        EXPECT_EQ(s.windows.front().caption, u"KOBALTDemo");
        for (int id : {IDC_MAIN_DIAL, IDC_MAIN_A2DP, IDC_MAIN_CONNECT, IDC_MAIN_DISCONNECT,
                       IDC_MAIN_PHONEBOOK, IDC_MAIN_DUN, IDC_MAIN_SPP})
            EXPECT_FALSE(Enabled(w, id)) << "control " << id;
        for (int id :
             {IDC_MAIN_START, IDC_MAIN_SEARCH, IDC_MAIN_SETTING, IDC_MAIN_RECORD, IDC_MAIN_TEST,
              IDC_MAIN_SIRI, IDC_MAIN_ENDSIRI, IDC_MAIN_QUIT, IDC_MAIN_CLEAR})
            EXPECT_TRUE(Enabled(w, id)) << "control " << id;
        EXPECT_TRUE(Operator::Control(w, IDC_MAIN_MODE_DEFAULT)->checked);
        EXPECT_FALSE(Operator::Control(w, IDC_MAIN_MODE_140)->checked);
        EXPECT_FALSE(Operator::Control(w, IDC_MAIN_MODE_173)->checked);
        auto list = Operator::Control(w, IDC_MAIN_STATUSLIST);
        EXPECT_EQ(list->fontFace, u"\u5B8B\u4F53");
        EXPECT_EQ(list->fontHeight, 16);
        EXPECT_TRUE(list->lines.empty());
    });
    EXPECT_EQ(FakeSdk::initCalls, 0);
    EXPECT_FALSE(dlg.m_bSppConnected);
}

TEST_F(MainWindowTest, StartWithDefaultModeInitialisesAndEnablesConnectAndSpp) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        EXPECT_EQ(m_operator.Press(w, IDC_MAIN_START), InputResult::Ok);
        EXPECT_EQ(Lines(w), std::vector<std::u16string>{u"BlueTooth Start"});
        EXPECT_FALSE(Enabled(w, IDC_MAIN_START));
        EXPECT_TRUE(Enabled(w, IDC_MAIN_CONNECT));
        EXPECT_TRUE(Enabled(w, IDC_MAIN_SPP));
        EXPECT_FALSE(Enabled(w, IDC_MAIN_DISCONNECT));
        // A second START cannot be given: the button is disabled while the SDK runs.
        EXPECT_EQ(m_operator.Press(w, IDC_MAIN_START), InputResult::Disabled);
    });
    EXPECT_EQ(FakeSdk::initCalls, 1);
    EXPECT_TRUE(FakeSdk::modes.empty());
}

TEST_F(MainWindowTest, StartReadsTheIntegrationModeFromTheRadioButtons) {
    struct Case {
        int radio;
        std::vector<int> modes;
    };
    for (const Case& c : {Case{IDC_MAIN_MODE_140, {2}}, Case{IDC_MAIN_MODE_173, {1}},
                          Case{IDC_MAIN_MODE_DEFAULT, {}}}) {
        ResetFakes();
        CMainDlg dlg;
        Run(dlg, [&](HWND w) {
            m_operator.Press(w, c.radio);
            EXPECT_TRUE(Operator::Control(w, c.radio)->checked);
            m_operator.Press(w, IDC_MAIN_START);
        });
        EXPECT_EQ(FakeSdk::modes, c.modes) << "radio " << c.radio;
        EXPECT_EQ(FakeSdk::initCalls, 1);
    }
}

TEST_F(MainWindowTest, FailedStartReportsAndEnablesStartAgain) {
    FakeSdk::initResult = 5;
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_operator.Press(w, IDC_MAIN_START);
        EXPECT_EQ(Lines(w), std::vector<std::u16string>{u"BlueTooth StartFail"});
        EXPECT_TRUE(Enabled(w, IDC_MAIN_START));
        EXPECT_FALSE(Enabled(w, IDC_MAIN_CONNECT));
        EXPECT_FALSE(Enabled(w, IDC_MAIN_SPP));
        m_operator.Press(w, IDC_MAIN_QUIT);
    });
    EXPECT_FALSE(dlg.m_bStarted);
    EXPECT_EQ(FakeSdk::uninitCalls, 0); // nothing was started, so nothing is stopped
}

TEST_F(MainWindowTest, QuitBeforeStartMakesNoSdkCall) {
    CMainDlg dlg;
    INT_PTR result = Run(dlg, [&](HWND w) { m_operator.Press(w, IDC_MAIN_QUIT); });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(FakeSdk::initCalls, 0);
    EXPECT_EQ(FakeSdk::uninitCalls, 0);
}

TEST_F(MainWindowTest, QuitAfterStartUninitialisesOnceAcrossQuitAndDestroy) {
    CMainDlg dlg;
    INT_PTR result = Run(dlg, [&](HWND w) {
        m_operator.Press(w, IDC_MAIN_START);
        m_operator.Press(w, IDC_MAIN_QUIT);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(FakeSdk::uninitCalls, 1);
    EXPECT_FALSE(dlg.m_bStarted);
    EXPECT_EQ(dlg.m_pCurAddr, nullptr); // freed when the window was destroyed
}

TEST_F(MainWindowTest, CloseBoxAfterStartUninitialisesOnce) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_operator.Press(w, IDC_MAIN_START);
        EXPECT_EQ(m_operator.Close(w), InputResult::Ok);
    });
    EXPECT_EQ(FakeSdk::uninitCalls, 1);
    EXPECT_FALSE(dlg.m_bStarted);
}

TEST_F(MainWindowTest, ClearEmptiesTheListButKeepsTheDeviceCount) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_operator.Press(w, IDC_MAIN_START);
        dlg.m_nDeviceCount = 3; // as a search would have left it
        m_operator.Press(w, IDC_MAIN_CLEAR);
        EXPECT_TRUE(Lines(w).empty());
    });
    EXPECT_EQ(dlg.m_nDeviceCount, 3);
}

class RelayoutTest : public MainWindowTest {
protected:
    void TearDown() override {
        AfxSetResolutionAwareRelayout(false);
        kobalt::desktop::SetScreenSize(800, 480);
    }

    static RECT TemplateRect(int templateId, int controlId) {
        const DialogTemplate* t = FindDialogTemplate(templateId);
        for (const auto& c : t->controls)
            if (c.id == controlId) {
                RECT r{c.x, c.y, c.x + c.cx, c.y + c.cy};
                MapDialogRect(nullptr, &r);
                return r;
            }
        ADD_FAILURE() << "no control " << controlId << " in template " << templateId;
        return RECT{};
    }

    static bool SameRect(const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }

    // Changes the screen and waits until the main window has handled its WM_SIZE.
    void Resize(HWND w, int width, int height, int probeId, const RECT& expected) {
        kobalt::desktop::SetScreenSize(width, height);
        EXPECT_TRUE(m_operator.WaitUntil([&](const kobalt::desktop::Snapshot&) {
            auto c = Operator::Control(w, probeId);
            return c && SameRect(c->rect, expected);
        }));
    }
};

TEST_F(RelayoutTest, PortraitRestoresTemplateCaptionsAndLandscapeMovesOnlyTheStatic) {
    AfxSetResolutionAwareRelayout(true);
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        RECT startBefore = Operator::Control(w, IDC_MAIN_START)->rect;
        SetWindowTextW(GetDlgItem(w, IDC_MAIN_SPP), u"SPP(3)");

        Resize(w, 480, 800, IDC_MAIN_TEXT, TemplateRect(IDD_KOBALTDEMO_DIALOG, IDC_MAIN_TEXT));
        EXPECT_TRUE(m_operator.WaitUntil([&](const kobalt::desktop::Snapshot&) {
            return Operator::Control(w, IDC_MAIN_SPP)->text == u"SPP";
        }));

        Resize(w, 800, 480, IDC_MAIN_TEXT, TemplateRect(IDD_KOBALTDEMO_DIALOG_WIDE, IDC_MAIN_TEXT));
        EXPECT_EQ(Operator::Control(w, IDC_MAIN_TEXT)->text, u"TODO: Place dialog controls here.");
        EXPECT_TRUE(SameRect(Operator::Control(w, IDC_MAIN_START)->rect, startBefore));
    });
}

TEST_F(RelayoutTest, SwitchOffLeavesEveryControlAlone) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        SetWindowTextW(GetDlgItem(w, IDC_MAIN_SPP), u"SPP(3)");
        RECT before = Operator::Control(w, IDC_MAIN_TEXT)->rect;
        kobalt::desktop::SetScreenSize(480, 800);
        // A click after the resize is handled after the WM_SIZE it follows.
        m_operator.Press(w, IDC_MAIN_CLEAR);
        EXPECT_EQ(Operator::Control(w, IDC_MAIN_SPP)->text, u"SPP(3)");
        EXPECT_TRUE(SameRect(Operator::Control(w, IDC_MAIN_TEXT)->rect, before));
    });
}

} // namespace
