// The dial-up dialog: country and provider listings as the SDK fills them (also when it
// misbehaves), dialling with the provider's parameters, hanging up, and how the main window's
// DUN button opens it.

#include "DialogTestSupport.h"

#include "app/SdkCallbacks.h"
#include "profiles/Dun.h"

#include <map>
#include <optional>

namespace {

using namespace kobalt::test;

struct Entry {
    uint32_t id;
    std::u16string name;
    bool terminated = true; // false: all 64 units are name
};

struct FakeDun {
    static inline std::vector<Entry> countries;
    static inline std::map<uint32_t, std::vector<Entry>> providers;
    static inline std::optional<uint32_t> countQueryAnswer; // instead of the list's size
    static inline std::optional<uint32_t> countAfterFill;   // instead of the entries filled
    static inline std::vector<std::u16string> params;       // what GetParams writes
    static inline bool unterminatedParams = false;          // fill every unit of every buffer
    static inline int connectResult = 0;
    static inline int disconnectResult = 0;
    static inline HWND dialog = nullptr; // for looking at the dialog during a call
    static inline std::vector<std::u16string> linesDuringQuery;
    static inline bool buttonEnabledDuringQuery = true;

    static void Reset() {
        countries.clear();
        providers.clear();
        countQueryAnswer.reset();
        countAfterFill.reset();
        params = {u"*99#", u"user", u"secret", u"apn.example", u"1"};
        unterminatedParams = false;
        connectResult = 0;
        disconnectResult = 0;
        dialog = nullptr;
        linesDuringQuery.clear();
        buttonEnabledDuringQuery = true;
    }

    static int Fill(const std::vector<Entry>& list, KOBALT_DunListEntry* entries, uint32_t* count) {
        if (entries == nullptr) {
            *count = countQueryAnswer.value_or(static_cast<uint32_t>(list.size()));
            return 0;
        }
        const uint32_t n = std::min<uint32_t>(*count, static_cast<uint32_t>(list.size()));
        for (uint32_t i = 0; i < n; ++i) {
            entries[i].id = list[i].id;
            if (list[i].terminated) {
                std::copy_n(list[i].name.data(), std::min<std::size_t>(list[i].name.size(), 63),
                            entries[i].name);
            } else {
                for (auto& unit : entries[i].name)
                    unit = list[i].name.at(0);
            }
        }
        if (countAfterFill)
            *count = *countAfterFill;
        return 0;
    }
    static int GetCountry(KOBALT_DunListEntry* entries, uint32_t* count) {
        CallLog::Add(entries ? "GetCountry(fill)" : "GetCountry(count)");
        if (entries == nullptr && dialog != nullptr) {
            linesDuringQuery = Operator::Control(dialog, IDC_DUN_LIST)->lines;
            buttonEnabledDuringQuery = Operator::Control(dialog, IDC_DUN_GET_COUNTRY)->enabled;
        }
        return Fill(countries, entries, count);
    }
    static int GetProvider(uint32_t country, KOBALT_DunListEntry* entries, uint32_t* count) {
        CallLog::Add("GetProvider(" + std::to_string(country) + (entries ? ",fill)" : ",count)"));
        return Fill(providers[country], entries, count);
    }
    static int GetParams(uint32_t provider, KOBALT_WCHAR* p1, KOBALT_WCHAR* p2, KOBALT_WCHAR* p3,
                         KOBALT_WCHAR* p4, KOBALT_WCHAR* p5) {
        CallLog::Add("GetParams(" + std::to_string(provider) + ")");
        KOBALT_WCHAR* buffers[] = {p1, p2, p3, p4, p5};
        for (int i = 0; i < 5; ++i) {
            // The buffers come zeroed.
            EXPECT_TRUE(std::all_of(buffers[i], buffers[i] + 260, [](auto u) { return u == 0; }));
            if (unterminatedParams)
                std::fill_n(buffers[i], 260, static_cast<KOBALT_WCHAR>(u'a' + i));
            else
                std::copy(params[i].begin(), params[i].end(), buffers[i]);
        }
        return 0;
    }
    static std::string Narrow(const KOBALT_WCHAR* text) {
        std::string out;
        for (int i = 0; i < 260 && text[i] != 0; ++i)
            out += static_cast<char>(text[i]);
        return out;
    }
    static int Connect(KOBALT_BdAddr* addr, const KOBALT_WCHAR* p1, const KOBALT_WCHAR* p2,
                       const KOBALT_WCHAR* p3, const KOBALT_WCHAR* p4, const KOBALT_WCHAR* p5) {
        std::string call = "DUNConnect(" + Hex(addr);
        for (const KOBALT_WCHAR* p : {p1, p2, p3, p4, p5})
            call += "," + Narrow(p);
        CallLog::Add(call + ")");
        return connectResult;
    }
    static int IsConnected(KOBALT_BdAddr* addr, int16_t service) {
        CallLog::Add("IsConnected(" + Hex(addr) + "," + std::to_string(service) + ")");
        return service == KOBALT_SERVICE_HF ? hfConnected : 0;
    }
    static int Disconnect(KOBALT_BdAddr* addr, int16_t service) {
        CallLog::Add("Disconnect(" + Hex(addr) + "," + std::to_string(service) + ")");
        return disconnectResult;
    }
    static inline int hfConnected = 0;
};

class DunTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        FakeDun::Reset();
        FakeDun::hfConnected = 0;
        g_SdkApi.KOBALT_DUNGetCountry = &FakeDun::GetCountry;
        g_SdkApi.KOBALT_DUNGetProvider = &FakeDun::GetProvider;
        g_SdkApi.KOBALT_DUNGetParams = &FakeDun::GetParams;
        g_SdkApi.KOBALT_DUNConnect = &FakeDun::Connect;
        g_SdkApi.KOBALT_IsConnected = &FakeDun::IsConnected;
        g_SdkApi.KOBALT_Disconnect = &FakeDun::Disconnect;
    }

    // Runs a dialog with m_addr as the opener's current address.
    void RunDun(const std::function<void(HWND)>& operate) {
        CDun dlg;
        dlg.m_pDevAddr = &m_addr;
        RunDialog(dlg, IDD_DUN, [&](HWND w) {
            FakeDun::dialog = w;
            operate(w);
        });
    }
    static std::vector<std::u16string> List(HWND w) { return ListLines(w, IDC_DUN_LIST); }

    KOBALT_BdAddr m_addr = Address(1, 2, 3, 4, 5, 6);
};

TEST_F(DunTest, CountriesAreSortedEmptyNamesSkippedAndEachKeepsItsId) {
    FakeDun::countries = {{7, u"Norway"}, {3, u"Austria"}, {9, u""}, {5, u"Chile"}};
    FakeDun::providers[3] = {{31, u"A1"}};
    FakeDun::providers[5] = {{51, u"Entel"}, {52, u"Claro"}};
    FakeDun::providers[7] = {{71, u"Telenor"}};
    RunDun([&](HWND w) {
        m_operator.Press(w, IDC_DUN_GET_COUNTRY);
        // While the SDK reads, the button is off and the reading line is shown.
        EXPECT_EQ(FakeDun::linesDuringQuery, std::vector<std::u16string>{u"reading file...."});
        EXPECT_FALSE(FakeDun::buttonEnabledDuringQuery);
        EXPECT_EQ(List(w), (std::vector<std::u16string>{u"Austria", u"Chile", u"Norway"}));
        EXPECT_TRUE(Operator::Control(w, IDC_DUN_GET_COUNTRY)->enabled);

        // Each entry leads to its own country's providers, whatever its position.
        const std::pair<int, std::vector<std::u16string>> picks[] = {
            {2, {u"Telenor"}}, {0, {u"A1"}}, {1, {u"Claro", u"Entel"}}};
        for (const auto& [index, providers] : picks) {
            m_operator.Press(w, IDC_DUN_GET_COUNTRY);
            Select(w, IDC_DUN_LIST, index);
            m_operator.Press(w, IDC_DUN_GET_PROVIDER);
            EXPECT_EQ(List(w), providers) << "entry " << index;
        }
    });
}

TEST_F(DunTest, ListingsReadOnlyWhatWasAllocatedWhateverTheSdkReports) {
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        std::optional<uint32_t> countQuery; // none: the entries' number
        std::optional<uint32_t> countAfter; // none: the entries filled
        std::vector<std::u16string> listed;
        bool filled; // the fill call was made
    };
    const Case cases[] = {
        {"fill reports more than allocated",
         {{1, u"Peru"}, {2, u"Fiji"}},
         2,
         100000,
         {u"Fiji", u"Peru"},
         true},
        {"fill reports fewer", {{1, u"Peru"}, {2, u"Fiji"}}, 2, 1, {u"Peru"}, true},
        {"unterminated name", {{1, u"N", false}}, {}, {}, {std::u16string(64, u'N')}, true},
        // Nothing to fill: the list shows no countries.
        {"zero countries", {}, {}, {}, {}, false},
        // Too many to allocate: the list keeps what it had and the reading line.
        {"absurd count", {{1, u"Peru"}}, 0xFFFFFFFF, {}, {u"Earlier", u"reading file...."}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        RunDun([&](HWND w) {
            // Something listed before, from an earlier reading.
            FakeDun::countries = {{99, u"Earlier"}};
            m_operator.Press(w, IDC_DUN_GET_COUNTRY);
            CallLog::Clear();
            FakeDun::countries = c.entries;
            FakeDun::countQueryAnswer = c.countQuery;
            FakeDun::countAfterFill = c.countAfter;
            m_operator.Press(w, IDC_DUN_GET_COUNTRY);
            // The reading line sorts in among what is listed.
            EXPECT_EQ(FakeDun::linesDuringQuery,
                      (std::vector<std::u16string>{u"Earlier", u"reading file...."}));
            EXPECT_EQ(List(w), c.listed) << c.name;
            EXPECT_TRUE(Operator::Control(w, IDC_DUN_GET_COUNTRY)->enabled) << c.name;

            // Providers follow the same rules, and the list is emptied in any case.
            FakeDun::providers[0xFFFFFFFF] = c.entries;
            Select(w, IDC_DUN_LIST, -1);
            m_operator.Press(w, IDC_DUN_GET_PROVIDER);
            std::vector<std::u16string> providers = c.listed;
            if (!c.filled)
                providers.clear();
            EXPECT_EQ(List(w), providers) << c.name;
        });
        auto calls = CallLog::Get();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "GetCountry(fill)"), c.filled ? 1 : 0);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "GetProvider(4294967295,fill)"),
                  c.filled ? 1 : 0);
    }
}

TEST_F(DunTest, NothingSelectedPassesAllBitsSetAndSecondGetProviderUsesAProviderId) {
    FakeDun::providers[0xFFFFFFFF] = {{42, u"Any"}};
    FakeDun::providers[42] = {{43, u"Nested"}};
    RunDun([&](HWND w) {
        m_operator.Press(w, IDC_DUN_GET_PROVIDER);
        EXPECT_EQ(List(w), std::vector<std::u16string>{u"Any"});
        Select(w, IDC_DUN_LIST, 0);
        m_operator.Press(w, IDC_DUN_GET_PROVIDER);
        EXPECT_EQ(List(w), std::vector<std::u16string>{u"Nested"});
        m_operator.Press(w, IDC_DUN_DIAL); // nothing selected
        AnswerBox();
    });
    EXPECT_EQ(CallLog::Get(),
              (std::vector<std::string>{
                  "GetProvider(4294967295,count)", "GetProvider(4294967295,fill)",
                  "GetProvider(42,count)", "GetProvider(42,fill)", "GetParams(4294967295)",
                  "DUNConnect(010203040506,*99#,user,secret,apn.example,1)"}));
}

TEST_F(DunTest, DialPassesTheSelectedProviderTheOpenersAddressAndTheFiveParameters) {
    struct Case {
        int result;
        bool unterminated;
        std::string connect;
        std::u16string box;
    };
    const Case cases[] = {
        {0, false, "DUNConnect(010203040506,*99#,user,secret,apn.example,1)",
         u"INTERNET OK|dialogs_test"},
        {7, false, "DUNConnect(010203040506,*99#,user,secret,apn.example,1)",
         u"INTERNET error!|dialogs_test"},
        // Parameters without a terminator are cut at their buffer's last unit.
        {0, true,
         "DUNConnect(010203040506," + std::string(259, 'a') + "," + std::string(259, 'b') + "," +
             std::string(259, 'c') + "," + std::string(259, 'd') + "," + std::string(259, 'e') +
             ")",
         u"INTERNET OK|dialogs_test"},
    };
    for (const Case& c : cases) {
        SetUp();
        FakeDun::providers[0xFFFFFFFF] = {{77, u"Provider"}};
        FakeDun::connectResult = c.result;
        FakeDun::unterminatedParams = c.unterminated;
        RunDun([&](HWND w) {
            m_operator.Press(w, IDC_DUN_GET_PROVIDER);
            Select(w, IDC_DUN_LIST, 0);
            CallLog::Clear();
            m_operator.Press(w, IDC_DUN_DIAL);
            EXPECT_EQ(AnswerBox(), c.box);
        });
        EXPECT_EQ(CallLog::Get(), (std::vector<std::string>{"GetParams(77)", c.connect}));
    }
}

TEST_F(DunTest, HangUpAlwaysNamesTheInternetService) {
    const std::pair<int, std::u16string> cases[] = {{0, u"KOBALT_INTERNET Dis OK|dialogs_test"},
                                                    {-1, u"Dun Dis ERROR|dialogs_test"}};
    for (const auto& c : cases) {
        const std::u16string& box = c.second;
        SetUp();
        FakeDun::disconnectResult = c.first;
        RunDun([&](HWND w) {
            m_operator.Press(w, IDC_DUN_HANGUP);
            EXPECT_EQ(AnswerBox(), box);
        });
        EXPECT_EQ(CallLog::Get(), std::vector<std::string>{"Disconnect(010203040506,3)"});
    }
}

TEST_F(DunTest, OpeningDisconnectsHandsFreeAndHandsOverTheCurrentAddressBlock) {
    for (int hf : {1, 0x100}) { // 0x100: not connected in the low 8 bits
        SetUp();
        FakeDun::hfConnected = hf;
        KOBALT_BdAddr phone = Address(0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6);
        KOBALT_BdAddr later = Address(0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6);
        CMainDlg main;
        Run(main, [&](HWND w) {
            m_operator.Press(w, IDC_MAIN_START);
            ConnectEventCallback(1, &phone, KOBALT_SERVICE_HF); // enables DUN
            m_operator.Press(w, IDC_MAIN_DUN);
            auto dun = m_operator.WaitActive(IDD_DUN);
            ASSERT_TRUE(dun);
            // The dialog works on the main window's block, so an event that changes the
            // current address while it is open changes where it hangs up.
            ConnectEventCallback(0, &later, KOBALT_SERVICE_A2DP);
            m_operator.Press(dun->hwnd, IDC_DUN_HANGUP);
            AnswerBox();
        });
        std::vector<std::string> expected = {"IsConnected(A1A2A3A4A5A6,1)"};
        if (hf == 1)
            expected.push_back("Disconnect(A1A2A3A4A5A6,1)");
        expected.push_back("Disconnect(B1B2B3B4B5B6,3)");
        EXPECT_EQ(CallLog::Get(), expected) << "IsConnected answers " << hf;
    }
}

} // namespace
