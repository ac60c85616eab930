// AVRCP, dial-up and the adapter's settings as the console uses them, through dlopen. Run with
// KOBALT_TIME_SCALE=0.01.
#include "PhoneSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace kobalt::sim::test {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::Not;

const auto Connect = [](const KOBALT_BdAddr& addr, int16_t service) {
    return Entry<KOBALT_Fn_Connection>("KOBALT_Connect")(const_cast<KOBALT_BdAddr*>(&addr),
                                                         service);
};
const auto Disconnect = [](const KOBALT_BdAddr& addr, int16_t service) {
    return Entry<KOBALT_Fn_Connection>("KOBALT_Disconnect")(const_cast<KOBALT_BdAddr*>(&addr),
                                                            service);
};

constexpr const char* kPixel = "66:55:44:33:22:11 \"Pixel 7\" hf,a2dp,avrcp,dun paired";
constexpr const char* kTablet = "00:1A:7D:DA:71:13 \"Tablet\" avrcp,dun";
const KOBALT_BdAddr kPixelAddr = Addr("66:55:44:33:22:11");
const KOBALT_BdAddr kTabletAddr = Addr("00:1A:7D:DA:71:13");

std::vector<std::string> StateLinesStarting(const std::string& prefix) {
    std::vector<std::string> lines;
    for (const std::string& line : PhoneState()) {
        if (line.starts_with(prefix)) {
            lines.push_back(line);
        }
    }
    return lines;
}

class Profiles : public testing::Test {
protected:
    void SetUp() override { StartWithWorld({kPixel, kTablet}); }
    void TearDown() override { Call("KOBALT_UnInit"); }

    // Connects and waits for the connect event.
    void ConnectUp(const KOBALT_BdAddr& addr, int16_t service) {
        const std::size_t before = Events::Lines().size();
        ASSERT_EQ(Connect(addr, service), 0);
        ASSERT_TRUE(Events::WaitForCount(before + 1));
    }
};

struct AvrcpEntry {
    const char* entry;
    const char* received;
};

constexpr AvrcpEntry kAvrcpEntries[] = {
    {"KOBALT_AVRCPPlay", "avrcp play"},
    {"KOBALT_AVRCPPause", "avrcp pause"},
    {"KOBALT_AVRCPStop", "avrcp stop"},
    {"KOBALT_AVRCPPlayNext", "avrcp next"},
    {"KOBALT_AVRCPPlayLast", "avrcp previous"},
    {"KOBALT_AVRCPVolumeUP", "avrcp volume-up"},
    {"KOBALT_AVRCPVolumeDown", "avrcp volume-down"},
};

TEST_F(Profiles, AvrcpCommandsFailWithoutAnAvrcpLink) {
    ConnectUp(kPixelAddr, KOBALT_SERVICE_HF);
    const std::vector<std::string> before = StateLinesStarting("avrcp ");
    for (const AvrcpEntry& e : kAvrcpEntries) {
        EXPECT_NE(Call(e.entry), 0) << e.entry;
    }
    EXPECT_EQ(StateLinesStarting("avrcp "), before);
    Call("KOBALT_UnInit");
    EXPECT_NE(Call("KOBALT_AVRCPPlay"), 0);
}

TEST_F(Profiles, AvrcpCommandsReachThePlayerInOrder) {
    ConnectUp(kPixelAddr, KOBALT_SERVICE_AVRCP_TARGET);
    const std::size_t before = StateLinesStarting("avrcp ").size();
    for (const AvrcpEntry& e : kAvrcpEntries) {
        EXPECT_EQ(Call(e.entry), 0) << e.entry;
    }
    const std::vector<std::string> lines = StateLinesStarting("avrcp ");
    ASSERT_EQ(lines.size(), before + std::size(kAvrcpEntries));
    for (std::size_t i = 0; i < std::size(kAvrcpEntries); ++i) {
        EXPECT_EQ(lines[before + i], kAvrcpEntries[i].received);
    }
    // play, pause, stop, next, previous: stopped on track 1; volume up then down: 64.
    EXPECT_THAT(StateLinesStarting("player 66:55:44:33:22:11"),
                ElementsAre("player 66:55:44:33:22:11 stopped 1 64 \"Blinding Lights\""));

    ASSERT_EQ(Disconnect(kPixelAddr, KOBALT_SERVICE_AVRCP_TARGET), 0);
    ASSERT_TRUE(Events::WaitForCount(2));
    EXPECT_NE(Call("KOBALT_AVRCPPlay"), 0);
}

TEST_F(Profiles, PhoneButtonsChangeThePlayerWithoutAvrcp) {
    PhoneOk("player 00:1A:7D:DA:71:13 play");
    PhoneOk("player 00:1A:7D:DA:71:13 next");
    EXPECT_THAT(StateLinesStarting("player 00:1A:7D:DA:71:13"),
                ElementsAre("player 00:1A:7D:DA:71:13 playing 2 64 \"Bohemian Rhapsody\""));
    EXPECT_THAT(Phone("player 00:1A:7D:DA:71:13 shuffle"), testing::StartsWith("error: "));
    EXPECT_THAT(Phone("player 01:02:03:04:05:06 play"), testing::StartsWith("error: "));
}

std::vector<KOBALT_DunListEntry> Countries() {
    const auto get = Entry<KOBALT_Fn_DUNGetCountry>("KOBALT_DUNGetCountry");
    uint32_t count = 0;
    EXPECT_EQ(get(nullptr, &count), 0);
    std::vector<KOBALT_DunListEntry> entries(count);
    EXPECT_EQ(get(entries.data(), &count), 0);
    entries.resize(count);
    return entries;
}

TEST_F(Profiles, DunListsFollowTheTwoCallProtocol) {
    const std::vector<KOBALT_DunListEntry> countries = Countries();
    ASSERT_EQ(countries.size(), 13u); // the fixture's
    const auto it = std::find_if(countries.begin(), countries.end(), [](const auto& e) {
        return std::u16string(e.name) == u"Germany";
    });
    ASSERT_NE(it, countries.end());

    const auto providers = Entry<KOBALT_Fn_DUNGetProvider>("KOBALT_DUNGetProvider");
    uint32_t count = 0;
    ASSERT_EQ(providers(it->id, nullptr, &count), 0);
    ASSERT_EQ(count, 3u);
    std::array<KOBALT_DunListEntry, 3> entries{};
    entries[1].id = 0xC0FFEE;
    count = 1; // less room than providers
    ASSERT_EQ(providers(it->id, entries.data(), &count), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(std::u16string(entries[0].name), u"Telekom");
    EXPECT_EQ(entries[1].id, 0xC0FFEEu);

    count = 5;
    EXPECT_NE(providers(0xFFFFFFFF, entries.data(), &count), 0);
    EXPECT_EQ(count, 0u);
}

using Params = std::array<std::array<KOBALT_WCHAR, 260>, 5>;

Params ParamsOf(uint32_t provider) {
    Params p{};
    Entry<KOBALT_Fn_DUNGetParams>("KOBALT_DUNGetParams")(provider, p[0].data(), p[1].data(),
                                                         p[2].data(), p[3].data(), p[4].data());
    return p;
}

int Dial(const KOBALT_BdAddr& addr, const Params& p) {
    return Entry<KOBALT_Fn_DUNConnect>("KOBALT_DUNConnect")(const_cast<KOBALT_BdAddr*>(&addr),
                                                            p[0].data(), p[1].data(), p[2].data(),
                                                            p[3].data(), p[4].data());
}

TEST_F(Profiles, DialConnectsInternetAndHangUpEndsIt) {
    // The console hangs up hands-free before it opens the dial-up dialog.
    ASSERT_EQ(Dial(kPixelAddr, ParamsOf(11001)), 0);
    ASSERT_TRUE(Events::WaitForCount(1));
    EXPECT_THAT(Events::Lines(), ElementsAre("connect 1 66:55:44:33:22:11 3"));
    EXPECT_THAT(StateLinesStarting("dun "), ElementsAre("dun connected 66:55:44:33:22:11 11001"));

    ASSERT_EQ(Disconnect(kPixelAddr, KOBALT_SERVICE_INTERNET), 0);
    ASSERT_TRUE(Events::WaitForCount(2));
    EXPECT_EQ(Events::Lines()[1], "connect 0 66:55:44:33:22:11 3");
    EXPECT_THAT(StateLinesStarting("dun "), ElementsAre("dun idle"));
    EXPECT_NE(Disconnect(kPixelAddr, KOBALT_SERVICE_INTERNET), 0); // nothing left to end
}

TEST_F(Profiles, DialRefusals) {
    EXPECT_NE(Dial(kTabletAddr, ParamsOf(11001)), 0);     // no hf
    EXPECT_NE(Dial(kPixelAddr, ParamsOf(0xFFFFFFFF)), 0); // empty parameters
    Params wrong = ParamsOf(11001);
    wrong[1][0] = u'X';
    EXPECT_NE(Dial(kPixelAddr, wrong), 0);
    Call("KOBALT_UnInit");
    EXPECT_NE(Dial(kPixelAddr, ParamsOf(11001)), 0);
    EXPECT_TRUE(Events::Lines().empty());
}

TEST(AdapterSettings, RoundTripWithoutInit) {
    Call("KOBALT_UnInit");
    char pin[260] = "2468";
    ASSERT_EQ(Entry<KOBALT_Fn_SetDefaultPinCode>("KOBALT_SetDefaultPinCode")(pin, 260), 0);
    ASSERT_EQ(Entry<KOBALT_Fn_SetLocalName>("KOBALT_SetLocalName")(u"Dashboard"), 0);

    char readPin[260] = {};
    uint32_t length = 260;
    ASSERT_EQ(Entry<KOBALT_Fn_GetDefaultPinCode>("KOBALT_GetDefaultPinCode")(readPin, &length), 0);
    EXPECT_STREQ(readPin, "2468");
    EXPECT_EQ(length, 4u);
    KOBALT_WCHAR name[64] = {};
    ASSERT_EQ(Entry<KOBALT_Fn_GetLocalName>("KOBALT_GetLocalName")(name, 64), 0);
    EXPECT_EQ(std::u16string(name), u"Dashboard");
    KOBALT_WCHAR version[40] = {};
    ASSERT_EQ(Entry<KOBALT_Fn_GetSofewareVersion>("KOBALT_GetSofewareVersion")(version), 0);
    EXPECT_EQ(std::u16string(version), u"KOBALT SDK 3.2.1 (sim)");
    KOBALT_BdAddr addr{};
    ASSERT_EQ(Entry<KOBALT_Fn_GetLocalBTAddr>("KOBALT_GetLocalBTAddr")(&addr), 0);
    EXPECT_EQ(addr.b[0], 0x66);
    EXPECT_EQ(addr.b[5], 0x11);
    EXPECT_THAT(PhoneState(),
                testing::IsSupersetOf({"adapter pin \"2468\"", "adapter name \"Dashboard\"",
                                       "adapter address 11:22:33:44:55:66"}));

    // Kept across a restart; an empty PIN is refused and changes nothing.
    ASSERT_EQ(Call("KOBALT_Init"), 0);
    ASSERT_EQ(Call("KOBALT_UnInit"), 0);
    char empty[260] = {};
    EXPECT_NE(Entry<KOBALT_Fn_SetDefaultPinCode>("KOBALT_SetDefaultPinCode")(empty, 260), 0);
    length = 260;
    ASSERT_EQ(Entry<KOBALT_Fn_GetDefaultPinCode>("KOBALT_GetDefaultPinCode")(readPin, &length), 0);
    EXPECT_STREQ(readPin, "2468");
}

} // namespace
} // namespace kobalt::sim::test
