// The telephone and DTMF dialogs, and dialer-state events on the main window, against a fake
// SDK. Events are delivered through the console's hands-free callback from the operator thread.

#include "MainWindowFixture.h"

#include "app/SdkCallbacks.h"
#include "platform/DeviceServices.h"

#include <cstring>

namespace {

using namespace kobalt::test;

// The telephone's entry points, recorded.
struct FakePhone {
    static inline std::mutex mutex;
    static inline std::vector<std::string> calls; // entry point names (and arguments) in order
    static inline int audioStatus = 0;
    static inline int transferResult = 0;

    static void Record(std::string call) {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(std::move(call));
    }
    static std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
    static int Dial(const char* number, int length) {
        Record("Dial(" + std::string(number) + "," + std::to_string(length) + ")");
        return 0;
    }
    static int Dtmf(int code) {
        Record("DTMF(" + std::to_string(code) + ")");
        return 0;
    }
    static int AudioStatus() { return audioStatus; }
    static int Transfer() {
        Record("Transfer");
        return transferResult;
    }
    static int TransferBack() {
        Record("TransferBack");
        return transferResult;
    }
    template <const char* Name> static int Plain() {
        Record(Name);
        return 0;
    }

    static void Install() {
        std::lock_guard<std::mutex> lock(mutex);
        calls.clear();
        audioStatus = 0;
        transferResult = 0;
        g_SdkApi.KOBALT_HFAP_Dial = &Dial;
        g_SdkApi.KOBALT_HFAP_TransmitDTMFCode = &Dtmf;
        g_SdkApi.KOBALT_HFAP_GetAudioStatus = &AudioStatus;
        g_SdkApi.KOBALT_HFAP_Transfer = &Transfer;
        g_SdkApi.KOBALT_HFAP_TransferBack = &TransferBack;
    }
};

constexpr char kMute[] = "MuteMic";
constexpr char kAnswer[] = "AnswerCall";
constexpr char kHold[] = "HoldActiveToAnswerInComing";

class HandFreeTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        FakePhone::Install();
        g_SdkApi.KOBALT_HFAP_MuteMic = &FakePhone::Plain<kMute>;
        g_SdkApi.KOBALT_HFAP_AnswerCall = &FakePhone::Plain<kAnswer>;
        g_SdkApi.KOBALT_HoldActiveToAnswerInComing = &FakePhone::Plain<kHold>;
        g_SdkApi.KOBALT_RejectInComingCall = nullptr; // the library lacks it
    }

    // Opens the telephone with an incoming call (code 8) and returns its window.
    HWND OpenByIncomingCall(HWND main) {
        m_operator.Press(main, IDC_MAIN_START);
        EXPECT_EQ(HfEventCallback(8, 0), TRUE);
        auto hf = m_operator.WaitActive(IDD_HANDFREE);
        return hf ? hf->hwnd : nullptr;
    }

    // Delivers an event and waits until the console has handled it.
    void Event(uint32_t code, const void* data = nullptr) {
        HfEventCallback(code, reinterpret_cast<intptr_t>(data));
        EXPECT_TRUE(kobalt::desktop::WaitOwnerIdle(m_main, std::chrono::milliseconds(5000)));
    }

    static std::u16string Text(HWND w, int id) {
        auto c = Operator::Control(w, id);
        return c ? c->text : u"(none)";
    }
    static std::vector<std::u16string> State(HWND w) {
        auto c = Operator::Control(w, IDC_HF_STATE);
        return c ? c->lines : std::vector<std::u16string>{};
    }

    HWND m_main = nullptr;
};

TEST_F(HandFreeTest, KeypadBuildsTheNumberAndClearEmptiesIt) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_main = w;
        HWND hf = OpenByIncomingCall(w);
        for (int key : {IDC_HF_KEY_1, IDC_HF_KEY_2, IDC_HF_KEY_HASH})
            m_operator.Press(hf, key);
        EXPECT_EQ(Text(hf, IDC_HF_NUMBER), u"12#");
        m_operator.Press(hf, IDC_HF_CLEAR);
        EXPECT_EQ(Text(hf, IDC_HF_NUMBER), u"");
        m_operator.Press(hf, IDC_HF_DIAL);
        EXPECT_EQ(FakePhone::Calls(), std::vector<std::string>{"Dial(,0)"});
    });
}

TEST_F(HandFreeTest, DialSendsTheFieldInTheAnsiCodePageCutToTheDialPath) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_main = w;
        HWND hf = OpenByIncomingCall(w);
        kobalt::desktop::TypeText(GetDlgItem(hf, IDC_HF_NUMBER), u"+33\u00E9\u4E2D");
        kobalt::desktop::WaitInputSettled(std::chrono::milliseconds(5000));
        m_operator.Press(hf, IDC_HF_DIAL);
        kobalt::desktop::TypeText(GetDlgItem(hf, IDC_HF_NUMBER), std::u16string(300, u'7'));
        kobalt::desktop::WaitInputSettled(std::chrono::milliseconds(5000));
        m_operator.Press(hf, IDC_HF_DIAL);
        auto calls = FakePhone::Calls();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0], "Dial(+33\xE9?,5)");
        EXPECT_EQ(calls[1], "Dial(" + std::string(254, '7') + ",254)");
    });
}

TEST_F(HandFreeTest, StateCodesLeaveOneLineAndNumbersGoToTheField) {
    struct Step {
        uint32_t code;
        const char* data;
        std::vector<std::u16string> state; // after the step
        std::u16string number;             // the number field after the step
    };
    const Step steps[] = {
        {8, nullptr, {u"Incoming..."}, u""},
        {11, "0123", {u"Incoming..."}, u"0123"},
        {6, nullptr, {u"On Talking..."}, u"0123"},
        {23, "0456", {u"NewCall 0456"}, u"0123"},
        {22, nullptr, {u"NewInComing Hold..."}, u"0123"},
        {24, nullptr, {u"NewInComing Active..."}, u"0123"},
        {25, nullptr, {u"NewInComing Release..."}, u"0123"},
        {19, nullptr, {u"Roaming..."}, u"0123"},
        {20, nullptr, {u"NoRoaming..."}, u"0123"},
        {7, nullptr, {u"dailing..."}, u"0123"},
        {10, "+49 \xE2\x98\x8E 1", {u"dailing..."}, u"+49 \u260E 1"},
        {10, nullptr, {u"dailing..."}, u"+49 \u260E 1"}, // no data: nothing shown
        {23, nullptr, {u"dailing..."}, u"+49 \u260E 1"},
        {2, nullptr, {u"dailing..."}, u"+49 \u260E 1"},
        {9, nullptr, {u"dailing..."}, u"+49 \u260E 1"},
        {15, nullptr, {u"dailing..."}, u"+49 \u260E 1"},
        {21, "text", {u"dailing..."}, u"+49 \u260E 1"},
        {26, nullptr, {u"dailing..."}, u"+49 \u260E 1"},
        {5, nullptr, {u"HangUp"}, u"+49 \u260E 1"},
        {10, "", {u"HangUp"}, u""},
    };
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_main = w;
        HWND hf = OpenByIncomingCall(w);
        for (const Step& step : steps) {
            Event(step.code, step.data);
            EXPECT_EQ(State(hf), step.state) << "code " << step.code;
            EXPECT_EQ(Text(hf, IDC_HF_NUMBER), step.number) << "code " << step.code;
        }
        // Only one telephone was opened by all these events.
        auto s = kobalt::desktop::TakeSnapshot();
        EXPECT_EQ(std::count_if(s.windows.begin(), s.windows.end(),
                                [](const auto& v) { return v.templateId == IDD_HANDFREE; }),
                  1);
    });
}

TEST_F(HandFreeTest, AKeyAfterAnIncomingNumberReplacesTheFieldWithTheBufferAndKey) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_main = w;
        HWND hf = OpenByIncomingCall(w);
        m_operator.Press(hf, IDC_HF_KEY_5);
        Event(11, "0123");
        m_operator.Press(hf, IDC_HF_DIAL);
        m_operator.Press(hf, IDC_HF_KEY_6);
        EXPECT_EQ(Text(hf, IDC_HF_NUMBER), u"56");
        EXPECT_EQ(FakePhone::Calls(), std::vector<std::string>{"Dial(0123,4)"});
    });
}

TEST_F(HandFreeTest, UnterminatedNumberIsReadNoFurtherThanTheEventBuffer) {
    // 300 bytes and no terminator: the handler may read 259 of them and shows 254 characters.
    std::vector<char> number(300, '9');
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_main = w;
        HWND hf = OpenByIncomingCall(w);
        Event(11, number.data());
        EXPECT_EQ(Text(hf, IDC_HF_NUMBER), std::u16string(254, u'9'));
    });
}

TEST_F(HandFreeTest, CallAudioEventsReachTheDebugOutputAndTheAudioDriver) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_main = w;
        HWND hf = OpenByIncomingCall(w);
        auto before = kobalt::device::DebugLineCount();
        Event(3);
        EXPECT_TRUE(kobalt::device::CallAudioOn());
        Event(4);
        EXPECT_FALSE(kobalt::device::CallAudioOn());
        auto lines = kobalt::device::DebugLines();
        ASSERT_EQ(lines.size(), before + 2);
        EXPECT_EQ(lines[before], u"[Wayfarer]Sco Conn");
        EXPECT_EQ(lines[before + 1], u"[Wayfarer]Sco DisConn");
        EXPECT_TRUE(State(hf).empty());
    });
}

TEST_F(HandFreeTest, TransferFollowsTheAudioStatus) {
    struct Case {
        int status;
        int result;
        std::vector<std::string> calls;
        bool box;
    };
    const Case cases[] = {{0, 0, {"Transfer"}, false},
                          {0, 1, {"Transfer"}, true},
                          {1, 0, {"TransferBack"}, false},
                          {1, 7, {"TransferBack"}, true},
                          {2, 0, {}, false}};
    for (const Case& c : cases) {
        SetUp();
        FakePhone::audioStatus = c.status;
        FakePhone::transferResult = c.result;
        CMainDlg dlg;
        Run(dlg, [&](HWND w) {
            m_main = w;
            HWND hf = OpenByIncomingCall(w);
            m_operator.Press(hf, IDC_HF_TRANSFER);
            auto s = kobalt::desktop::TakeSnapshot();
            bool box = s.windows.front().kind == kobalt::desktop::WindowKind::MessageBox;
            EXPECT_EQ(box, c.box) << "status " << c.status;
            if (box) {
                EXPECT_EQ(s.windows.front().text, u"Trans Fail");
                EXPECT_EQ(s.windows.front().caption, u"main_window_test");
            }
        });
        EXPECT_EQ(FakePhone::Calls(), c.calls) << "status " << c.status;
    }
}

TEST_F(HandFreeTest, ThreeWayButtonsCallOnlyWhatTheLibraryHas) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_main = w;
        HWND hf = OpenByIncomingCall(w);
        m_operator.Press(hf, IDC_HF_REJECT_INCOMING); // missing: nothing happens
        m_operator.Press(hf, IDC_HF_HOLD_TO_ANSWER);
        m_operator.Press(hf, IDC_HF_MUTE);
        m_operator.Press(hf, IDC_HF_ANSWER);
    });
    EXPECT_EQ(FakePhone::Calls(),
              (std::vector<std::string>{"HoldActiveToAnswerInComing", "MuteMic", "AnswerCall"}));
}

TEST_F(HandFreeTest, DtmfKeysSendOneCharacterEachAndShowTheLast) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_main = w;
        HWND hf = OpenByIncomingCall(w);
        m_operator.Press(hf, IDC_HF_DTMF);
        auto dtmf = m_operator.WaitActive(IDD_DTMF);
        ASSERT_TRUE(dtmf);
        EXPECT_EQ(Operator::Control(dtmf->hwnd, IDC_DTMF_DISPLAY)->fontHeight, 20);
        for (int key : {IDC_DTMF_KEY_1, IDC_DTMF_KEY_2, IDC_DTMF_KEY_HASH, IDC_DTMF_KEY_STAR})
            m_operator.Press(dtmf->hwnd, key);
        EXPECT_EQ(Text(dtmf->hwnd, IDC_DTMF_DISPLAY), u"*");
        // The telephone beneath still handles its events while the keypad is open.
        Event(6);
        EXPECT_EQ(State(hf), std::vector<std::u16string>{u"On Talking..."});
    });
    EXPECT_EQ(FakePhone::Calls(),
              (std::vector<std::string>{"DTMF(49)", "DTMF(50)", "DTMF(35)", "DTMF(42)"}));
}

TEST_F(HandFreeTest, MainWindowShowsIndicatorsAndOpensTheTelephoneOnACall) {
    const BYTE five = 5, full = 0xFF;
    const std::string longText(60, 'x');
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_main = w;
        m_operator.Press(w, IDC_MAIN_START);
        Event(17, &five);
        Event(18, &full);
        Event(15);
        Event(16);
        Event(21, "\xE4\xB8\xAD\xE5\x9B\xBD\xE4\xBA\xBA"); // three CJK characters
        Event(21, longText.c_str());
        Event(17, nullptr);
        Event(21, nullptr);
        Event(3); // the telephone's own code: nothing here
        // Sorted case-insensitively: '[' sorts before the letters.
        EXPECT_EQ(Lines(w), (std::vector<std::u16string>{
                                u"[Extend]NetWork UnAvailable", u"[Extend]NetWorkAvailable",
                                u"Battch(255)", u"BlueTooth Start", u"Sngl(5)",
                                std::u16string(49, u'x'), u"\u4E2D\u56FD\u4EBA"}));
        HfEventCallback(7, 0);
        auto hf = m_operator.WaitActive(IDD_HANDFREE);
        ASSERT_TRUE(hf);
        EXPECT_TRUE(State(hf->hwnd).empty()); // the opening event is consumed
        Event(6);
        EXPECT_EQ(State(hf->hwnd), std::vector<std::u16string>{u"On Talking..."});
        Event(17, &five); // goes to the telephone, which ignores it
        m_operator.Press(hf->hwnd, IDC_HF_QUIT);
        EXPECT_EQ(Lines(w).size(), 7u);
        EXPECT_EQ(dlg.m_pHandFreeDlg, nullptr);
    });
}

} // namespace
