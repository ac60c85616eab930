// The library as the console uses it: discovery, connections, shortcuts and names, and when and
// how callbacks arrive. Run with KOBALT_TIME_SCALE=0.01.
#include "PhoneSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace kobalt::sim::test {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::Not;

const auto Connect = [](const KOBALT_BdAddr* addr, int16_t service) {
    return Entry<KOBALT_Fn_Connection>("KOBALT_Connect")(const_cast<KOBALT_BdAddr*>(addr), service);
};
const auto Disconnect = [](const KOBALT_BdAddr* addr, int16_t service) {
    return Entry<KOBALT_Fn_Connection>("KOBALT_Disconnect")(const_cast<KOBALT_BdAddr*>(addr),
                                                            service);
};
const auto IsConnected = [](const KOBALT_BdAddr* addr, int16_t service) {
    return Entry<KOBALT_Fn_Connection>("KOBALT_IsConnected")(const_cast<KOBALT_BdAddr*>(addr),
                                                             service) &
           0xFF;
};
const auto Discover = [](KOBALT_DiscoveryCallback callback) {
    return Entry<KOBALT_Fn_DeviceDiscovery>("KOBALT_DeviceDiscovery")(callback);
};
const auto ShortCuts = [](KOBALT_DeviceRecord* records, uint32_t* count) {
    return Entry<KOBALT_Fn_GetAllShortCuts>("KOBALT_GetAllShortCuts")(records, count);
};
const auto RemoteName = [](const KOBALT_BdAddr* addr, KOBALT_WCHAR* name) {
    return Entry<KOBALT_Fn_GetRemoteName>("KOBALT_GetRemoteName")(const_cast<KOBALT_BdAddr*>(addr),
                                                                  name);
};

constexpr const char* kPixel = "66:55:44:33:22:11 \"Pixel 7\" hf,a2dp,avrcp,spp paired";
constexpr const char* kGalaxy = "00:1A:7D:DA:71:13 \"Galaxy S21\" hf,a2dp out-of-range";
constexpr const char* kNoName = "5C:F9:38:A1:B2:C3 \"\" hf";
constexpr const char* kAdapter = "00:19:5D:24:8E:01 \"OBD-II Adapter\" spp paired";

const KOBALT_BdAddr kPixelAddr = Addr("66:55:44:33:22:11");
const KOBALT_BdAddr kGalaxyAddr = Addr("00:1A:7D:DA:71:13");
const KOBALT_BdAddr kNoNameAddr = Addr("5C:F9:38:A1:B2:C3");
const KOBALT_BdAddr kAdapterAddr = Addr("00:19:5D:24:8E:01");
const KOBALT_BdAddr kStranger = Addr("01:02:03:04:05:06");

class PhoneLibrary : public testing::Test {
protected:
    void SetUp() override { StartWithWorld({kPixel, kGalaxy, kNoName, kAdapter}); }
    void TearDown() override {
        Events::ReleaseDiscovery();
        Call("KOBALT_UnInit");
    }

    // A remote event that follows everything queued before it: once it has arrived, every
    // earlier event has too, so what is missing then never comes.
    static void Sentinel() {
        const std::size_t before = Events::Lines().size();
        PhoneOk("connect none 99");
        ASSERT_TRUE(Events::WaitForCount(before + 1));
    }
};

TEST_F(PhoneLibrary, DiscoveryReportsDevicesInRangeInWorldOrderThenFinishes) {
    ASSERT_EQ(Discover(Events::OnDiscovery), 0);
    ASSERT_TRUE(Events::WaitForCount(4));
    EXPECT_THAT(Events::Lines(),
                ElementsAre("found 66:55:44:33:22:11 \"Pixel 7\"", "found 5C:F9:38:A1:B2:C3 \"\"",
                            "found 00:19:5D:24:8E:01 \"OBD-II Adapter\"", "finished"));
    EXPECT_NE(Events::LastThread(), std::this_thread::get_id()) << "on the library's thread";
}

TEST_F(PhoneLibrary, SecondSearchIsRefusedWhileOneRunsAndAcceptedAfterwards) {
    ASSERT_EQ(Discover(Events::OnDiscovery), 0);
    EXPECT_NE(Discover(Events::OnDiscovery), 0);
    ASSERT_TRUE(Events::WaitForCount(4));
    Sentinel();
    const std::vector<std::string> lines = Events::Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "finished"), 1);

    Events::Clear();
    EXPECT_EQ(Discover(Events::OnDiscovery), 0);
    ASSERT_TRUE(Events::WaitForCount(4));
    EXPECT_EQ(Events::Lines().back(), "finished");
}

TEST_F(PhoneLibrary, SearchNeedsARunningStackAndACallback) {
    EXPECT_NE(Discover(nullptr), 0);
    Call("KOBALT_UnInit");
    EXPECT_NE(Discover(Events::OnDiscovery), 0);
}

TEST_F(PhoneLibrary, ConnectAndDisconnectEachReturnAtOnceAndReportAnEvent) {
    ASSERT_EQ(Connect(&kPixelAddr, KOBALT_SERVICE_HF), 0);
    ASSERT_TRUE(Events::WaitForCount(1));
    EXPECT_EQ(IsConnected(&kPixelAddr, KOBALT_SERVICE_HF), 1);
    EXPECT_EQ(IsConnected(&kPixelAddr, KOBALT_SERVICE_SPP), 0);

    ASSERT_EQ(Disconnect(&kPixelAddr, KOBALT_SERVICE_HF), 0);
    ASSERT_TRUE(Events::WaitForCount(2));
    EXPECT_EQ(IsConnected(&kPixelAddr, KOBALT_SERVICE_HF), 0);
    EXPECT_THAT(Events::Lines(),
                ElementsAre("connect 1 66:55:44:33:22:11 1", "connect 0 66:55:44:33:22:11 1"));
}

TEST_F(PhoneLibrary, RefusedConnectsAndDisconnectsReportNothing) {
    struct Row {
        const char* what;
        const KOBALT_BdAddr* addr;
        int16_t service;
    };
    const Row connects[] = {
        {"out of range", &kGalaxyAddr, KOBALT_SERVICE_HF},
        {"service not offered", &kNoNameAddr, KOBALT_SERVICE_SPP},
        {"unknown device", &kStranger, KOBALT_SERVICE_HF},
        {"null address", nullptr, KOBALT_SERVICE_HF},
        {"no FTP profile", &kPixelAddr, KOBALT_SERVICE_FTP},
        {"unknown code", &kPixelAddr, 9},
    };
    for (const Row& row : connects) {
        SCOPED_TRACE(row.what);
        EXPECT_NE(Connect(row.addr, row.service), 0);
        EXPECT_NE(Disconnect(row.addr, row.service), 0);
    }
    EXPECT_NE(Disconnect(&kPixelAddr, KOBALT_SERVICE_HF), 0) << "not connected";
    Sentinel();
    EXPECT_THAT(Events::Lines(), ElementsAre("connect 1 null 99"));
}

TEST_F(PhoneLibrary, ConnectOfWhatIsUpOrOnItsWaySucceedsWithoutASecondEvent) {
    ASSERT_EQ(Connect(&kPixelAddr, KOBALT_SERVICE_AVRCP_TARGET), 0);
    EXPECT_EQ(Connect(&kPixelAddr, KOBALT_SERVICE_AVRCP_TARGET), 0) << "while connecting";
    ASSERT_TRUE(Events::WaitForCount(1));
    EXPECT_EQ(Connect(&kPixelAddr, KOBALT_SERVICE_AVRCP_TARGET), 0) << "while connected";
    EXPECT_EQ(IsConnected(&kPixelAddr, KOBALT_SERVICE_AVRCP), 0) << "the other AVRCP code";
    Sentinel();
    EXPECT_THAT(Events::Lines(),
                ElementsAre("connect 1 66:55:44:33:22:11 4364", "connect 1 null 99"));
}

TEST_F(PhoneLibrary, LeavingRangeDropsConnectionsAndVoiceRecognition) {
    EXPECT_NE(Call("KOBALT_StartVoiceRecog"), 0) << "no HF connection";
    ASSERT_EQ(Connect(&kPixelAddr, KOBALT_SERVICE_HF), 0);
    ASSERT_TRUE(Events::WaitForCount(1));
    EXPECT_EQ(Call("KOBALT_StartVoiceRecog"), 0);
    EXPECT_THAT(PhoneState(), Contains("voice-recognition on"));

    PhoneOk("range 66:55:44:33:22:11 out");
    ASSERT_TRUE(Events::WaitForCount(2));
    EXPECT_EQ(Events::Lines().back(), "connect 0 66:55:44:33:22:11 1");
    EXPECT_EQ(IsConnected(&kPixelAddr, KOBALT_SERVICE_HF), 0);
    EXPECT_THAT(PhoneState(), Contains("voice-recognition off"));
    EXPECT_NE(Connect(&kPixelAddr, KOBALT_SERVICE_HF), 0);
}

// Memory the library may write to, with a pattern that must survive past what it may write.
struct Canary {
    static constexpr unsigned char kByte = 0xA5;
    Canary() { bytes.fill(kByte); }
    bool IntactFrom(std::size_t offset) const {
        return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(offset), bytes.end(),
                           [](unsigned char b) { return b == kByte; });
    }
    alignas(8) std::array<unsigned char, 1024> bytes;
};

TEST_F(PhoneLibrary, ShortCutsComeInTwoCallsAndNeverExceedTheCapacity) {
    uint32_t count = 77;
    ASSERT_EQ(ShortCuts(nullptr, &count), 0);
    EXPECT_EQ(count, 2u) << "the paired devices";

    Canary canary;
    auto* records = reinterpret_cast<KOBALT_DeviceRecord*>(canary.bytes.data());
    count = 1;
    ASSERT_EQ(ShortCuts(records, &count), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(canary.IntactFrom(sizeof(KOBALT_DeviceRecord)));
    EXPECT_EQ(std::memcmp(&records[0].addr, &kPixelAddr, 6), 0);
    EXPECT_EQ(std::u16string(records[0].name), u"Pixel 7");

    Canary roomy;
    records = reinterpret_cast<KOBALT_DeviceRecord*>(roomy.bytes.data());
    count = 5;
    ASSERT_EQ(ShortCuts(records, &count), 0);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(std::memcmp(&records[1].addr, &kAdapterAddr, 6), 0);
    EXPECT_EQ(std::u16string(records[1].name), u"OBD-II Adapter");
    EXPECT_TRUE(roomy.IntactFrom(2 * sizeof(KOBALT_DeviceRecord)));

    EXPECT_NE(ShortCuts(nullptr, nullptr), 0);
}

TEST_F(PhoneLibrary, RemoteNameFillsAtMost64UnitsAndLeavesTheBufferAloneOnFailure) {
    // 62 letters, then a character outside the BMP that does not fit in the 63 units left.
    const std::string longName = std::string(62, 'x') + "\xF0\x9F\x93\xB1" + "tail";
    PhoneOk("add-device 10:20:30:40:50:60 \"" + longName + "\" hf");
    const KOBALT_BdAddr longAddr = Addr("10:20:30:40:50:60");

    Canary canary;
    auto* name = reinterpret_cast<KOBALT_WCHAR*>(canary.bytes.data());
    ASSERT_EQ(RemoteName(&longAddr, name), 0);
    EXPECT_EQ(std::u16string(name), std::u16string(62, u'x')) << "the pair is not split";
    EXPECT_TRUE(canary.IntactFrom(63 * sizeof(KOBALT_WCHAR)));

    Canary untouched;
    name = reinterpret_cast<KOBALT_WCHAR*>(untouched.bytes.data());
    EXPECT_NE(RemoteName(&kStranger, name), 0);
    EXPECT_NE(RemoteName(nullptr, name), 0);
    EXPECT_TRUE(untouched.IntactFrom(0));

    ASSERT_EQ(RemoteName(&kNoNameAddr, name), 0);
    EXPECT_EQ(name[0], 0);
}

TEST_F(PhoneLibrary, NothingIsReportedBeforeInitAndUnInitDropsQueuedEvents) {
    Call("KOBALT_UnInit");
    EXPECT_EQ(Phone("pair 66:55:44:33:22:11 ok"), "error: stack not initialised\n");
    EXPECT_EQ(Phone("connect 66:55:44:33:22:11 hf"), "error: stack not initialised\n");
    EXPECT_NE(Connect(&kPixelAddr, KOBALT_SERVICE_HF), 0);
    ASSERT_EQ(Call("KOBALT_Init"), 0);

    Events::HoldDiscovery();
    ASSERT_EQ(Discover(Events::OnDiscovery), 0);
    ASSERT_TRUE(Events::WaitUntilDiscoveryHeld());
    PhoneOk("connect 66:55:44:33:22:11 hf");
    PhoneOk("pair 66:55:44:33:22:11 fail");
    // Neither the API nor the control socket waits for the blocked callback.
    EXPECT_EQ(IsConnected(&kPixelAddr, KOBALT_SERVICE_HF), 1);
    EXPECT_THAT(PhoneState(), Contains("connected 66:55:44:33:22:11 hf"));
    EXPECT_EQ(Call("KOBALT_UnInit"), 0);
    EXPECT_EQ(IsConnected(&kPixelAddr, KOBALT_SERVICE_HF), 0) << "ended without an event";

    ASSERT_EQ(Call("KOBALT_Init"), 0);
    Events::ReleaseDiscovery();
    Sentinel();
    EXPECT_THAT(Events::Lines(),
                ElementsAre("found 66:55:44:33:22:11 \"Pixel 7\"", "connect 1 null 99"));
}

TEST_F(PhoneLibrary, RegistrationsSurviveARestart) {
    Call("KOBALT_UnInit");
    ASSERT_EQ(Call("KOBALT_Init"), 0);
    PhoneOk("pair 5C:F9:38:A1:B2:C3 ok");
    ASSERT_TRUE(Events::WaitForCount(1));
    EXPECT_EQ(Events::Lines().front(), "pair 1 5C:F9:38:A1:B2:C3");
    uint32_t count = 0;
    ShortCuts(nullptr, &count);
    EXPECT_EQ(count, 3u) << "pairing adds a shortcut";
}

// What the console does from inside its connect callback.
struct Inside {
    static inline std::u16string name;
    static inline int port = -1;
    static inline int connected = -1;
    static void Ask(int, KOBALT_BdAddr* addr) {
        KOBALT_WCHAR buffer[64] = {};
        RemoteName(addr, buffer);
        name = buffer;
        port = Call("KOBALT_GetClientPort");
        connected = IsConnected(addr, KOBALT_SERVICE_SPP);
    }
    static void StopStack(int, KOBALT_BdAddr*) { Call("KOBALT_UnInit"); }
};

TEST_F(PhoneLibrary, CallbacksMayCallBackIntoTheLibrary) {
    EXPECT_EQ(Call("KOBALT_GetClientPort"), 0) << "no SPP connection";
    Events::InsideNextConnect(Inside::Ask);
    ASSERT_EQ(Connect(&kAdapterAddr, KOBALT_SERVICE_SPP), 0);
    ASSERT_TRUE(Events::WaitForCount(1));
    EXPECT_EQ(Inside::name, u"OBD-II Adapter");
    EXPECT_EQ(Inside::port, 3);
    EXPECT_EQ(Inside::connected, 1);

    Events::InsideNextConnect(Inside::StopStack);
    PhoneOk("connect 66:55:44:33:22:11 hf");
    ASSERT_TRUE(Events::WaitForCount(2));
    EXPECT_THAT(PhoneState(), Contains("initialised no"));
}

TEST_F(PhoneLibrary, RemoteSideEventsCarryWhatTheCommandSays) {
    PhoneOk("connect none nfc");
    PhoneOk("disconnect 66:55:44:33:22:11 0x7FFF");
    PhoneOk("connect 66:55:44:33:22:11 spp");
    PhoneOk("disconnect 66:55:44:33:22:11 spp");
    PhoneOk("pair 66:55:44:33:22:11 fail");
    ASSERT_TRUE(Events::WaitForCount(5));
    EXPECT_THAT(Events::Lines(),
                ElementsAre("connect 1 null 7", "connect 0 66:55:44:33:22:11 32767",
                            "connect 1 66:55:44:33:22:11 5", "connect 0 66:55:44:33:22:11 5",
                            "pair 0 66:55:44:33:22:11"));
    uint32_t count = 0;
    ShortCuts(nullptr, &count);
    EXPECT_EQ(count, 2u) << "a failed pairing changes nothing";
}

} // namespace
} // namespace kobalt::sim::test
