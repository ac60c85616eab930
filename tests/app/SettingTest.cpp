// The settings dialog: what it shows of the SDK's answers (also unterminated ones), the debug
// line, and what Save sends.

#include "DialogTestSupport.h"

#include "platform/DeviceServices.h"
#include "tools/Setting.h"

#include <cstring>

namespace {

using namespace kobalt::test;

struct FakeSettings {
    static inline std::string pin = "1234";           // raw bytes; may lack a terminator
    static inline std::u16string name = u"Car Kit";   // may fill the whole field
    static inline std::u16string version = u"V2.1.0"; // may fill the whole field
    static inline KOBALT_BdAddr addr{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};
    static inline std::string savedPin; // the bytes up to the terminator
    static inline std::u16string savedName;

    static void Reset() {
        pin = "1234";
        name = u"Car Kit";
        version = u"V2.1.0";
        addr = KOBALT_BdAddr{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};
        savedPin.clear();
        savedName.clear();
    }

    static int GetPin(char* buffer, uint32_t* length) {
        CallLog::Add("GetDefaultPinCode(" + std::to_string(*length) + ")");
        std::memcpy(buffer, pin.data(), std::min<std::size_t>(pin.size(), *length));
        return 0;
    }
    static int GetName(KOBALT_WCHAR* buffer, int capacity) {
        CallLog::Add("GetLocalName(" + std::to_string(capacity) + ")");
        std::copy_n(name.data(), std::min<std::size_t>(name.size(), 64), buffer);
        return 0;
    }
    static int GetVersion(KOBALT_WCHAR* buffer) {
        CallLog::Add("GetSofewareVersion");
        std::copy_n(version.data(), std::min<std::size_t>(version.size(), 40), buffer);
        return 0;
    }
    static int GetAddr(KOBALT_BdAddr* out) {
        CallLog::Add("GetLocalBTAddr");
        *out = addr;
        return 0;
    }
    static int SetPin(char* buffer, uint32_t length) {
        CallLog::Add("SetDefaultPinCode(" + std::to_string(length) + ")");
        savedPin.assign(buffer, strnlen(buffer, length));
        return 0;
    }
    static int SetName(const KOBALT_WCHAR* text) {
        CallLog::Add("SetLocalName");
        savedName = text;
        return 0;
    }

    static void Install() {
        g_SdkApi.KOBALT_GetDefaultPinCode = &GetPin;
        g_SdkApi.KOBALT_GetLocalName = &GetName;
        g_SdkApi.KOBALT_GetSofewareVersion = &GetVersion;
        g_SdkApi.KOBALT_GetLocalBTAddr = &GetAddr;
        g_SdkApi.KOBALT_SetDefaultPinCode = &SetPin;
        g_SdkApi.KOBALT_SetLocalName = &SetName;
    }
};

class SettingTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        FakeSettings::Reset();
        FakeSettings::Install();
    }

    // PinCode, DeviceName, ModuleType, BTAddr.
    using Shown = std::vector<std::u16string>;
    static Shown Fields(HWND w) {
        return {Text(w, IDC_SETTING_PIN), Text(w, IDC_SETTING_NAME), Text(w, IDC_SETTING_MODULE),
                Text(w, IDC_SETTING_ADDR)};
    }
};

TEST_F(SettingTest, ShowsTheFourValuesWithTheAddressByteFiveFirstAndLogsIt) {
    Setting dlg;
    auto before = kobalt::device::DebugLineCount();
    RunDialog(dlg, IDD_SETTING, [&](HWND w) {
        EXPECT_EQ(Fields(w), (Shown{u"1234", u"Car Kit", u"V2.1.0", u"66:55:44:33:22:11"}));
    });
    EXPECT_EQ(CallLog::Get(),
              (std::vector<std::string>{"GetDefaultPinCode(260)", "GetLocalName(64)",
                                        "GetSofewareVersion", "GetLocalBTAddr"}));
    auto lines = kobalt::device::DebugLines();
    ASSERT_EQ(lines.size(), before + 1);
    EXPECT_EQ(lines[before], u"[Wayfarer]addr--66:55:44:33:22:11");
}

TEST_F(SettingTest, AnswersAreReadNoFurtherThanTheirBuffers) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        Shown shown;
    };
    const Case cases[] = {
        {"unterminated",
         [] {
             FakeSettings::pin = std::string(260, '7');
             FakeSettings::name = std::u16string(64, u'N');
             FakeSettings::version = std::u16string(40, u'V');
         },
         // The PIN's last byte is its terminator; the field shows at most 254 characters.
         {std::u16string(254, u'7'), std::u16string(64, u'N'), std::u16string(40, u'V'),
          u"66:55:44:33:22:11"}},
        {"PIN cut without splitting a character",
         [] {
             // 253 ASCII digits, then U+1F600 (4 bytes, two UTF-16 units).
             FakeSettings::pin = std::string(253, '1') + "\xF0\x9F\x98\x80" + '\0';
         },
         {std::u16string(253, u'1'), u"Car Kit", u"V2.1.0", u"66:55:44:33:22:11"}},
        {"UTF-8 PIN",
         [] { FakeSettings::pin = std::string("12\xC3\xA9") + '\0'; },
         {u"12\u00E9", u"Car Kit", u"V2.1.0", u"66:55:44:33:22:11"}},
        {"getters missing",
         [] {
             g_SdkApi.KOBALT_GetDefaultPinCode = nullptr;
             g_SdkApi.KOBALT_GetLocalName = nullptr;
             g_SdkApi.KOBALT_GetSofewareVersion = nullptr;
             g_SdkApi.KOBALT_GetLocalBTAddr = nullptr;
         },
         {u"", u"", u"", u"00:00:00:00:00:00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.arrange();
        Setting dlg;
        RunDialog(dlg, IDD_SETTING, [&](HWND w) { EXPECT_EQ(Fields(w), c.shown); });
    }
}

TEST_F(SettingTest, SaveSendsThePinInTheAnsiCodePageWithTheBufferSizeAndTheNameAsTyped) {
    struct Case {
        std::u16string pin;
        std::string sent;
    };
    const Case cases[] = {
        {u"", ""},
        {u"0000", "0000"},
        {u"12\u00E9", "12\xE9"}, // read as UTF-8, saved in the ANSI code page
        {u"1\u4E2D", "1?"},      // not in the code page
        {std::u16string(300, u'9'), std::string(259, '9')}, // cut to the buffer
    };
    Setting dlg;
    RunDialog(dlg, IDD_SETTING, [&](HWND w) {
        for (const Case& c : cases) {
            CallLog::Clear();
            Type(w, IDC_SETTING_PIN, c.pin);
            Type(w, IDC_SETTING_NAME, u"Name \u00C5");
            // Edited but never saved.
            Type(w, IDC_SETTING_MODULE, u"edited");
            Type(w, IDC_SETTING_ADDR, u"00:00");
            m_operator.Press(w, IDC_SETTING_SAVE);
            EXPECT_EQ(FakeSettings::savedPin, c.sent);
            EXPECT_EQ(FakeSettings::savedName, u"Name \u00C5");
            EXPECT_EQ(CallLog::Get(),
                      (std::vector<std::string>{"SetDefaultPinCode(260)", "SetLocalName"}));
        }
        // Saving shows nothing and leaves the dialog open.
        EXPECT_EQ(ActiveTemplate(), IDD_SETTING);
    });
}

TEST_F(SettingTest, TheMainWindowOpensItAlsoBeforeStart) {
    CMainDlg main;
    Run(main, [&](HWND w) {
        m_operator.Press(w, IDC_MAIN_SETTING);
        auto setting = m_operator.WaitActive(IDD_SETTING);
        ASSERT_TRUE(setting);
        EXPECT_EQ(Text(setting->hwnd, IDC_SETTING_PIN), u"1234");
    });
    EXPECT_EQ(FakeSdk::initCalls, 0);
}

} // namespace
