// SDK events and device commands on the main window, against a fake SDK. Events are delivered
// by calling the console's callbacks from the operator thread, as the SDK's threads would.

#include "MainWindowFixture.h"

#include "app/SdkCallbacks.h"

#include <atomic>
#include <cstring>
#include <string_view>
#include <thread>

namespace {

using namespace kobalt::test;

KOBALT_BdAddr Addr(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5) {
    return KOBALT_BdAddr{{b0, b1, b2, b3, b4, b5}};
}

KOBALT_DeviceRecord Record(KOBALT_BdAddr addr, const std::u16string& name) {
    KOBALT_DeviceRecord r{};
    r.addr = addr;
    std::copy_n(name.data(), std::min<std::size_t>(name.size(), 64), r.name);
    return r;
}

bool SameAddr(const KOBALT_BdAddr& a, const BYTE* b) {
    return std::memcmp(a.b, b, 6) == 0;
}

class MainWindowEventsTest : public MainWindowTest {
protected:
    // START, so that the callbacks are registered and the connection buttons live.
    void Start(HWND w) {
        ASSERT_EQ(m_operator.Press(w, IDC_MAIN_START), InputResult::Ok);
        ASSERT_NE(FakeSdk::connectCallback.load(), nullptr);
    }

    static std::u16string Caption(HWND w) {
        for (const auto& win : kobalt::desktop::TakeSnapshot().windows)
            if (win.hwnd == w)
                return win.caption;
        return {};
    }

    // Answers the message box that must be on top and returns its text.
    std::u16string AnswerBox() {
        auto box = m_operator.WaitBox();
        if (!box)
            return u"(no box)";
        m_operator.Answer(box->hwnd);
        return box->text + u"|" + box->caption;
    }

    std::vector<FakeSdk::ConnectionCall> Connections() {
        std::lock_guard<std::mutex> lock(FakeSdk::mutex);
        return FakeSdk::connections;
    }
};

TEST_F(MainWindowEventsTest, StartRegistersTheThreeCallbacks) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) { Start(w); });
    EXPECT_EQ(FakeSdk::connectCallback.load(), &ConnectEventCallback);
    EXPECT_EQ(FakeSdk::pairCallback.load(), &PairEventCallback);
    EXPECT_EQ(FakeSdk::hfCallback.load(), &HfEventCallback);
}

TEST_F(MainWindowEventsTest, HandsFreeConnectAndDisconnectDriveCaptionButtonsAndAddress) {
    CMainDlg dlg;
    KOBALT_BdAddr phone = Addr(0x11, 0x22, 0x33, 0x44, 0x55, 0x66);
    Run(dlg, [&](HWND w) {
        Start(w);
        ConnectEventCallback(1, &phone, 1);
        EXPECT_EQ(Caption(w), u"Connect  with Pixel And service is HF");
        for (int id : {IDC_MAIN_DIAL, IDC_MAIN_DISCONNECT, IDC_MAIN_PHONEBOOK, IDC_MAIN_DUN})
            EXPECT_TRUE(Enabled(w, id)) << id;
        EXPECT_FALSE(Enabled(w, IDC_MAIN_CONNECT));
        EXPECT_TRUE(SameAddr(phone, dlg.m_pCurAddr));

        ConnectEventCallback(0, &phone, 1);
        EXPECT_EQ(Caption(w), u"Disconnect  with Pixel And service is HF");
        for (int id : {IDC_MAIN_DIAL, IDC_MAIN_DISCONNECT, IDC_MAIN_PHONEBOOK, IDC_MAIN_DUN})
            EXPECT_FALSE(Enabled(w, id)) << id;
        EXPECT_TRUE(Enabled(w, IDC_MAIN_CONNECT));
    });
}

TEST_F(MainWindowEventsTest, EachServiceShowsItsTextAndOnlyHfAndA2dpMoveButtons) {
    struct Case {
        int connected;
        int16_t service;
        std::u16string caption; // empty: the caption stays as it was
    };
    const Case cases[] = {
        {1, 2, u"Connect  with Pixel And service is A2DP"},
        {0, 2, u"Disconnect  with Pixel And service is A2DP"},
        {1, 3, u"Connect  with Pixel And service is Internet"},
        {0, 3, u"Disconnect  with Pixel And service is Internet"},
        {1, 4, u"Connect  with Pixel And service is Ftp"},
        {0, 4, u"Disconnect  with Pixel And service is Ftp"},
        {1, 6, u"A2DP streaming Start"},
        {0, 6, u"A2DP streaming Over"},
        {1, 7, u"NFC Nearby"},
        {0, 7, u"NFC Leave"},
        {1, 9, u""},
        {1, -1, u""},
    };
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        Start(w);
        uint8_t last = 0;
        for (const Case& c : cases) {
            std::u16string before = Caption(w);
            KOBALT_BdAddr addr = Addr(++last, 2, 3, 4, 5, 6);
            ConnectEventCallback(c.connected, &addr, c.service);
            EXPECT_EQ(Caption(w), c.caption.empty() ? before : c.caption)
                << "service " << c.service;
            // Every event with an address makes it the current address.
            EXPECT_TRUE(SameAddr(addr, dlg.m_pCurAddr)) << "service " << c.service;
            if (c.service == 2) {
                EXPECT_EQ(Enabled(w, IDC_MAIN_A2DP), c.connected != 0);
            }
            EXPECT_FALSE(Enabled(w, IDC_MAIN_DIAL)) << "service " << c.service;
            EXPECT_TRUE(Enabled(w, IDC_MAIN_CONNECT)) << "service " << c.service;
        }
    });
}

TEST_F(MainWindowEventsTest, SppConnectShowsThePortAndDisconnectRestoresTheCaption) {
    FakeSdk::clientPort = 7;
    CMainDlg dlg;
    KOBALT_BdAddr phone = Addr(1, 2, 3, 4, 5, 6);
    Run(dlg, [&](HWND w) {
        Start(w);
        ConnectEventCallback(1, &phone, 5);
        EXPECT_EQ(Operator::Control(w, IDC_MAIN_SPP)->text, u"SPP(7)");
        EXPECT_EQ(Caption(w), u"Connect  with Pixel And service is SPP(7)");
        EXPECT_TRUE(dlg.m_bSppConnected);
        EXPECT_TRUE(SameAddr(phone, dlg.m_SppAddr.b));

        // SPP while connected disconnects the SPP device, whatever else is current.
        KOBALT_BdAddr other = Addr(9, 9, 9, 9, 9, 9);
        ConnectEventCallback(1, &other, 9);
        m_operator.Press(w, IDC_MAIN_SPP);
        auto calls = Connections();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].entry, "Disconnect");
        EXPECT_EQ(calls[0].service, 5);
        EXPECT_TRUE(SameAddr(phone, calls[0].addr.b));

        ConnectEventCallback(0, &phone, 5);
        EXPECT_EQ(Operator::Control(w, IDC_MAIN_SPP)->text, u"SPP");
        EXPECT_EQ(Caption(w), u"Disconnect  with Pixel And service is SPP");
        EXPECT_FALSE(dlg.m_bSppConnected);
    });
}

TEST_F(MainWindowEventsTest, EventWithoutAddressLeavesAddressesAndNameAlone) {
    CMainDlg dlg;
    KOBALT_BdAddr phone = Addr(1, 2, 3, 4, 5, 6);
    Run(dlg, [&](HWND w) {
        Start(w);
        ConnectEventCallback(1, &phone, 9); // sets the current address
        ConnectEventCallback(1, nullptr, 1);
        EXPECT_EQ(Caption(w), u"Connect  with  And service is HF");
        ConnectEventCallback(1, nullptr, 5);
        EXPECT_TRUE(dlg.m_bSppConnected);
        ConnectEventCallback(0, nullptr, 2);
        EXPECT_TRUE(SameAddr(phone, dlg.m_pCurAddr));
        EXPECT_TRUE(SameAddr(Addr(0, 0, 0, 0, 0, 0), dlg.m_SppAddr.b));
    });
}

TEST_F(MainWindowEventsTest, UnterminatedRemoteNameIsReadNoFurtherThanItsBuffer) {
    FakeSdk::unterminatedName = true;
    CMainDlg dlg;
    KOBALT_BdAddr phone = Addr(1, 2, 3, 4, 5, 6);
    Run(dlg, [&](HWND w) {
        Start(w);
        ConnectEventCallback(1, &phone, 1);
        EXPECT_EQ(Caption(w), u"Connect  with " + std::u16string(64, u'A') + u" And service is HF");
    });
}

TEST_F(MainWindowEventsTest, DiscoveryListsDevicesAboveTheWaitingLineThenCompletes) {
    CMainDlg dlg;
    KOBALT_BdAddr first = Addr(1, 1, 1, 1, 1, 1);
    KOBALT_BdAddr nameless = Addr(0x11, 0x22, 0x33, 0x44, 0x55, 0x66);
    Run(dlg, [&](HWND w) {
        Start(w);
        m_operator.Press(w, IDC_MAIN_SEARCH);
        auto callback = FakeSdk::discovery.load();
        ASSERT_NE(callback, nullptr);
        EXPECT_EQ(Lines(w), std::vector<std::u16string>{u"Wait a moment ,Search...."});
        callback(0, Record(first, u"Phone A"));
        callback(0, Record(nameless, u""));
        EXPECT_EQ(Lines(w), (std::vector<std::u16string>{u"Phone A", u"66:55:44:33:22:11",
                                                         u"Wait a moment ,Search...."}));
        EXPECT_EQ(dlg.m_nDeviceCount, 2);

        std::thread sdkThread([&] { EXPECT_EQ(callback(1, KOBALT_DeviceRecord{}), 0); });
        EXPECT_EQ(AnswerBox(), u"Device Discovery Completed|Hint");
        sdkThread.join();
        EXPECT_EQ(Lines(w), (std::vector<std::u16string>{u"Phone A", u"66:55:44:33:22:11"}));

        // Each entry carries its own device's address.
        kobalt::desktop::Select(GetDlgItem(w, IDC_MAIN_STATUSLIST), 1);
        m_operator.Press(w, IDC_MAIN_CONNECT);
        auto calls = Connections();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_TRUE(SameAddr(nameless, calls[0].addr.b));
        EXPECT_EQ(calls[0].service, 1);
    });
}

TEST_F(MainWindowEventsTest, StatusLineAddedDuringSearchKeepsDevicesAtTheirPositions) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        Start(w);
        m_operator.Press(w, IDC_MAIN_SEARCH);
        auto callback = FakeSdk::discovery.load();
        callback(0, Record(Addr(1, 0, 0, 0, 0, 0), u"Zeta"));
        // A status line sorts in among the entries ("Paired with..." sorts before "Wait...").
        KOBALT_BdAddr pairing = Addr(7, 0, 0, 0, 0, 0);
        PairEventCallback(1, &pairing);
        callback(0, Record(Addr(2, 0, 0, 0, 0, 0), u"Alpha"));
        std::thread sdkThread([&] { callback(1, KOBALT_DeviceRecord{}); });
        AnswerBox();
        sdkThread.join();
        // The status line sorted in above the devices, so the second device went in above
        // "Zeta" and the completion removed "Zeta", which stood where the waiting line was
        // expected.
        EXPECT_EQ(Lines(w), (std::vector<std::u16string>{u"Paired with Pixel ", u"Alpha",
                                                         u"Wait a moment ,Search...."}));
        // Item data travels with its entry.
        kobalt::desktop::Select(GetDlgItem(w, IDC_MAIN_STATUSLIST), 1);
        m_operator.Press(w, IDC_MAIN_CONNECT);
        auto calls = Connections();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_TRUE(SameAddr(Addr(2, 0, 0, 0, 0, 0), calls[0].addr.b));
    });
}

TEST_F(MainWindowEventsTest, DevicesPastTheTableAreListedWithoutAnAddress) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        Start(w);
        m_operator.Press(w, IDC_MAIN_SEARCH);
        auto callback = FakeSdk::discovery.load();
        for (int i = 0; i < 260; ++i)
            callback(0, Record(Addr(static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 0, 0, 0,
                                    0xAA),
                               u""));
        EXPECT_EQ(dlg.m_nDeviceCount, 260);
        EXPECT_EQ(Operator::Control(w, IDC_MAIN_STATUSLIST)->lineCount, 261u);
        // Entry 258 has no address: Connect keeps the current one (the last event's).
        KOBALT_BdAddr current = Addr(5, 5, 5, 5, 5, 5);
        ConnectEventCallback(1, &current, 9);
        kobalt::desktop::Select(GetDlgItem(w, IDC_MAIN_STATUSLIST), 258);
        m_operator.Press(w, IDC_MAIN_CONNECT);
        auto calls = Connections();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_TRUE(SameAddr(current, calls[0].addr.b));
    });
    EXPECT_TRUE(SameAddr(Addr(254, 0, 0, 0, 0, 0xAA), dlg.m_DevAddr[254].b));
}

TEST_F(MainWindowEventsTest, RecordListsShortcutsAndNeverTrustsTheFilledCount) {
    {
        std::lock_guard<std::mutex> lock(FakeSdk::mutex);
        FakeSdk::shortcuts = {Record(Addr(1, 1, 1, 1, 1, 1), u"Car"),
                              Record(Addr(2, 2, 2, 2, 2, 2), u"")};
        FakeSdk::shortcutCountAfterFill = 1000; // more than was allocated
    }
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        Start(w);
        m_operator.Press(w, IDC_MAIN_RECORD);
        // The nameless shortcut is an empty line, not an address text.
        EXPECT_EQ(Lines(w), (std::vector<std::u16string>{u"Car", u""}));
        kobalt::desktop::Select(GetDlgItem(w, IDC_MAIN_STATUSLIST), 1);
        m_operator.Press(w, IDC_MAIN_CONNECT);
        auto calls = Connections();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_TRUE(SameAddr(Addr(2, 2, 2, 2, 2, 2), calls[0].addr.b));
    });
}

// A count past the bound is not trusted to size the buffer: nothing is listed, no fill is made.
TEST_F(MainWindowEventsTest, RecordRefusesShortcutCountsPastTheBound) {
    for (uint32_t count : {CMainDlg::kMaxShortcuts + 1, 0xFFFFFFFFu}) {
        SCOPED_TRACE(count);
        ResetFakes();
        {
            std::lock_guard<std::mutex> lock(FakeSdk::mutex);
            FakeSdk::shortcuts = {Record(Addr(1, 1, 1, 1, 1, 1), u"Car")};
            FakeSdk::shortcutCountQuery = count;
        }
        CMainDlg dlg;
        Run(dlg, [&](HWND w) {
            m_operator.Press(w, IDC_MAIN_RECORD);
            EXPECT_TRUE(Lines(w).empty());
        });
        EXPECT_EQ(FakeSdk::shortcutFills, 0);
    }
}

TEST_F(MainWindowEventsTest, RecordWithoutShortcutsLeavesTheListEmptyAndMakesNoFillCall) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        Start(w);
        m_operator.Press(w, IDC_MAIN_RECORD);
        EXPECT_TRUE(Lines(w).empty());
    });
    EXPECT_EQ(FakeSdk::shortcutFills, 0);
}

TEST_F(MainWindowEventsTest, ConnectWithAStatusLineSelectedUsesTheCurrentAddress) {
    FakeSdk::connectResult = 1;
    CMainDlg dlg;
    KOBALT_BdAddr current = Addr(3, 3, 3, 3, 3, 3);
    Run(dlg, [&](HWND w) {
        Start(w);
        ConnectEventCallback(1, &current, 9);
        kobalt::desktop::Select(GetDlgItem(w, IDC_MAIN_STATUSLIST), 0); // "BlueTooth Start"
        m_operator.Press(w, IDC_MAIN_CONNECT);
        EXPECT_EQ(AnswerBox(), u"Connect HF Fail|main_window_test");
        m_operator.Press(w, IDC_MAIN_SPP);
        EXPECT_EQ(AnswerBox(), u"Connect SPP Fail|main_window_test");
        auto calls = Connections();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_TRUE(SameAddr(current, calls[0].addr.b));
        EXPECT_EQ(calls[1].service, 5);
    });
}

TEST_F(MainWindowEventsTest, PairFailureShowsABoxAndSuccessAddsAStatusLine) {
    CMainDlg dlg;
    KOBALT_BdAddr phone = Addr(1, 2, 3, 4, 5, 6);
    Run(dlg, [&](HWND w) {
        Start(w);
        std::atomic<bool> returned{false};
        std::thread sdkThread([&] {
            PairEventCallback(0, &phone);
            returned = true;
        });
        EXPECT_TRUE(m_operator.WaitBox());
        EXPECT_FALSE(returned) << "the SDK thread waits until the box is answered";
        EXPECT_EQ(AnswerBox(), u"Pair Error!|main_window_test");
        sdkThread.join();
        PairEventCallback(1, &phone);
        EXPECT_EQ(Lines(w),
                  (std::vector<std::u16string>{u"BlueTooth Start", u"Paired with Pixel "}));
    });
}

TEST_F(MainWindowEventsTest, SiriAndEndSiriDriveVoiceRecognitionAlsoBeforeStart) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) {
        m_operator.Press(w, IDC_MAIN_SIRI);
        m_operator.Press(w, IDC_MAIN_ENDSIRI);
        m_operator.Press(w, IDC_MAIN_ENDSIRI);
    });
    EXPECT_EQ(FakeSdk::voiceStarts, 1);
    EXPECT_EQ(FakeSdk::voiceStops, 2);
}

// Events the handlers acted on, as the handled-event observer reports them.
std::atomic<int> g_handledAfterClose{0};

TEST_F(MainWindowEventsTest, EventsAfterTheWindowClosedAreDroppedHarmlessly) {
    CMainDlg dlg;
    Run(dlg, [&](HWND w) { Start(w); });
    KOBALT_BdAddr phone = Addr(1, 2, 3, 4, 5, 6);
    g_handledAfterClose = 0;
    kobalt::desktop::SetHandledEventObserver([](std::string_view) { ++g_handledAfterClose; });
    ConnectEventCallback(1, &phone, 1);
    PairEventCallback(1, &phone);
    EXPECT_EQ(HfEventCallback(8, 0), FALSE) << "nothing to post the event to";
    KOBALT_DeviceRecord found{};
    found.addr = phone;
    DiscoveryCallback(0, found);
    kobalt::desktop::SetHandledEventObserver(nullptr);
    EXPECT_EQ(g_handledAfterClose, 0) << "no handler ran for an event after the window closed";
    EXPECT_TRUE(kobalt::desktop::TakeSnapshot().windows.empty());
}

} // namespace
