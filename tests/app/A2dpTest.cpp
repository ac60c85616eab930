// The AVRCP remote control: how the main window's " A2DP" button opens it, and what each of its
// buttons sends.

#include "DialogTestSupport.h"

#include "app/SdkCallbacks.h"
#include "profiles/A2DP.h"

namespace {

using namespace kobalt::test;

struct FakeAvrcp {
    static inline int avrcpAnswer = 0;  // KOBALT_IsConnected(addr, 0x110E)
    static inline int targetAnswer = 0; // KOBALT_IsConnected(addr, 0x110C)

    static int IsConnected(KOBALT_BdAddr* addr, int16_t service) {
        CallLog::Add("IsConnected(" + Hex(addr) + "," + std::to_string(service) + ")");
        return service == KOBALT_SERVICE_AVRCP ? avrcpAnswer : targetAnswer;
    }
    template <const char* Name> static int Command() {
        CallLog::Add(Name);
        return -1; // nothing is shown for a failing command
    }
};

constexpr char kPlay[] = "Play";
constexpr char kPause[] = "Pause";
constexpr char kStop[] = "Stop";
constexpr char kNext[] = "PlayNext";
constexpr char kLast[] = "PlayLast";
constexpr char kUp[] = "VolumeUP";
constexpr char kDown[] = "VolumeDown";

class A2dpTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        FakeAvrcp::avrcpAnswer = 0;
        FakeAvrcp::targetAnswer = 0;
        g_SdkApi.KOBALT_IsConnected = &FakeAvrcp::IsConnected;
        g_SdkApi.KOBALT_AVRCPPlay = &FakeAvrcp::Command<kPlay>;
        g_SdkApi.KOBALT_AVRCPPause = &FakeAvrcp::Command<kPause>;
        g_SdkApi.KOBALT_AVRCPStop = &FakeAvrcp::Command<kStop>;
        g_SdkApi.KOBALT_AVRCPPlayNext = &FakeAvrcp::Command<kNext>;
        g_SdkApi.KOBALT_AVRCPPlayLast = &FakeAvrcp::Command<kLast>;
        g_SdkApi.KOBALT_AVRCPVolumeUP = &FakeAvrcp::Command<kUp>;
        g_SdkApi.KOBALT_AVRCPVolumeDown = &FakeAvrcp::Command<kDown>;
    }
};

TEST_F(A2dpTest, OpeningChecksBothAvrcpServicesAndConnectsOnlyWhenNeither) {
    struct Case {
        const char* name;
        int avrcp;         // IsConnected(addr, 0x110E)
        int target;        // IsConnected(addr, 0x110C)
        int connectResult; // Connect(addr, 0x110C)
        bool asksTarget;
        bool connects;
        bool opens;
    };
    const Case cases[] = {
        {"remote control connected", 1, 0, 0, false, false, true},
        {"target connected", 0, 1, 0, true, false, true},
        // Only the low 8 bits count: 0x100 is "not connected".
        {"high bits only", 0x100, 0x200, 0, true, true, true},
        {"connect succeeds", 0, 0, 0, true, true, true},
        {"connect fails", 0, 0, 3, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        FakeAvrcp::avrcpAnswer = c.avrcp;
        FakeAvrcp::targetAnswer = c.target;
        FakeSdk::connectResult = c.connectResult;
        KOBALT_BdAddr phone = Address(0x11, 0x22, 0x33, 0x44, 0x55, 0x66);
        CMainDlg dlg;
        Run(dlg, [&](HWND w) {
            m_operator.Press(w, IDC_MAIN_START);
            ConnectEventCallback(1, &phone, KOBALT_SERVICE_A2DP); // enables " A2DP"
            m_operator.Press(w, IDC_MAIN_A2DP);
            if (c.opens) {
                EXPECT_EQ(ActiveTemplate(), IDD_A2DP);
            } else {
                EXPECT_EQ(AnswerBox(), u"Connect AVRCP Fail|dialogs_test");
                EXPECT_EQ(ActiveTemplate(), IDD_KOBALTDEMO_DIALOG);
            }
        });
        std::vector<std::string> calls;
        {
            std::lock_guard<std::mutex> lock(FakeSdk::mutex);
            for (const auto& call : FakeSdk::connections)
                calls.push_back(call.entry + "(" + Hex(&call.addr) + "," +
                                std::to_string(call.service) + ")");
        }
        auto queries = CallLog::Get();
        queries.insert(queries.end(), calls.begin(), calls.end());
        std::vector<std::string> expected = {"IsConnected(112233445566,4366)"};
        if (c.asksTarget)
            expected.push_back("IsConnected(112233445566,4364)");
        if (c.connects)
            expected.push_back("Connect(112233445566,4364)");
        EXPECT_EQ(queries, expected);
    }
}

TEST_F(A2dpTest, EachButtonSendsItsOwnCommandAndQuitEndsAsCancel) {
    const std::pair<int, const char*> buttons[] = {
        {IDC_A2DP_PLAY, kPlay},    {IDC_A2DP_PAUSE, kPause},   {IDC_A2DP_STOP, kStop},
        {IDC_A2DP_NEXT, kNext},    {IDC_A2DP_PREVIOUS, kLast}, {IDC_A2DP_VOLUME_DOWN, kDown},
        {IDC_A2DP_VOLUME_UP, kUp},
    };
    A2DP dlg;
    INT_PTR result = RunDialog(dlg, IDD_A2DP, [&](HWND w) {
        for (const auto& [id, entry] : buttons) {
            CallLog::Clear();
            m_operator.Press(w, id);
            // The command fails, and the dialog shows nothing for it.
            EXPECT_EQ(CallLog::Get(), std::vector<std::string>{entry}) << "button " << id;
            EXPECT_EQ(ActiveTemplate(), IDD_A2DP) << "button " << id;
        }
        CallLog::Clear();
        m_operator.Press(w, IDC_A2DP_QUIT);
        EXPECT_TRUE(m_operator.WaitUntil(
            [](const kobalt::desktop::Snapshot& s) { return s.windows.empty(); }));
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(CallLog::Get().empty());
}

} // namespace
