// The rules that turn BlueZ's and oFono's names and states into the SDK's.
#include "bluez/Mapping.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kobalt::bluez {
namespace {

using ::testing::ElementsAre;
using ::testing::Optional;

MATCHER_P2(Signal, code, text, "") {
    return arg.code == static_cast<uint32_t>(code) && arg.text == text;
}

TEST(BluezPaths, AddressesAndDevicePathsRoundTripByte5First) {
    const std::optional<Address> address = ParseBluezAddress("AA:BB:CC:DD:EE:0f");
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(address->b[5], 0xAA);
    EXPECT_EQ(address->b[0], 0x0F);
    EXPECT_EQ(DevicePath("/org/bluez/hci0", *address), "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_0F");
    EXPECT_FALSE(ParseBluezAddress("AA:BB:CC:DD:EE").has_value());
    EXPECT_FALSE(ParseBluezAddress("AA:BB:CC:DD:EE:FG").has_value());
}

TEST(BluezPaths, HandsFreeModemIsTheDevicePathUnderHfp) {
    const std::string device = "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_FF";
    EXPECT_EQ(HfModemPath(device), "/hfp" + device);
    EXPECT_THAT(DeviceOfHfModem(HfModemPath(device)), Optional(device));
    EXPECT_FALSE(DeviceOfHfModem("/ril_0").has_value());
    EXPECT_FALSE(DeviceOfHfModem("/hfp").has_value());
    EXPECT_FALSE(DeviceOfHfModem("/hfpx/org").has_value());
}

TEST(BluezServices, EachConnectableServiceHasItsProfileAndOthersNone) {
    EXPECT_THAT(ServiceUuid(KOBALT_SERVICE_HF), Optional(std::string(kHfpAudioGatewayUuid)));
    EXPECT_THAT(ServiceUuid(KOBALT_SERVICE_SPP), Optional(std::string(kSppUuid)));
    EXPECT_THAT(ServiceUuid(KOBALT_SERVICE_A2DP),
                Optional(std::string("0000110a-0000-1000-8000-00805f9b34fb")));
    EXPECT_THAT(ServiceUuid(KOBALT_SERVICE_INTERNET),
                Optional(std::string("00001103-0000-1000-8000-00805f9b34fb")));
    EXPECT_THAT(ServiceUuid(static_cast<int16_t>(KOBALT_SERVICE_AVRCP)),
                Optional(std::string("0000110e-0000-1000-8000-00805f9b34fb")));
    EXPECT_THAT(ServiceUuid(static_cast<int16_t>(KOBALT_SERVICE_AVRCP_TARGET)),
                Optional(std::string("0000110c-0000-1000-8000-00805f9b34fb")));
    EXPECT_FALSE(ServiceUuid(KOBALT_SERVICE_FTP).has_value());
    EXPECT_FALSE(ServiceUuid(KOBALT_SERVICE_NFC).has_value());
    EXPECT_FALSE(ServiceUuid(KOBALT_SERVICE_A2DP_STREAMING).has_value());
    EXPECT_FALSE(ServiceUuid(0).has_value());
}

TEST(BluezCalls, CallStatesComeFromOfonosNamesOnly) {
    EXPECT_EQ(ParseCallState("dialing"), CallState::Dialing);
    EXPECT_EQ(ParseCallState("held"), CallState::Held);
    EXPECT_EQ(ParseCallState("Active"), CallState::Unknown);
    EXPECT_EQ(ParseCallState(""), CallState::Unknown);
}

TEST(BluezCalls, NewCallsGiveTheConsolesEventsWithTheirNumbers) {
    EXPECT_THAT(CallAddedSignals(CallState::Dialing, "0123"),
                ElementsAre(Signal(7, std::nullopt), Signal(10, "0123")));
    EXPECT_THAT(CallAddedSignals(CallState::Incoming, "555"),
                ElementsAre(Signal(8, std::nullopt), Signal(11, "555")));
    EXPECT_THAT(CallAddedSignals(CallState::Waiting, "777"), ElementsAre(Signal(23, "777")));
    EXPECT_TRUE(CallAddedSignals(CallState::Unknown, "1").empty());
}

TEST(BluezCalls, StateChangesAndEndsTellTheSecondCallFromTheFirst) {
    EXPECT_THAT(CallChangedSignals(CallState::Alerting, CallState::Active),
                ElementsAre(Signal(6, std::nullopt)));
    EXPECT_THAT(CallChangedSignals(CallState::Waiting, CallState::Active),
                ElementsAre(Signal(24, std::nullopt)));
    EXPECT_THAT(CallChangedSignals(CallState::Incoming, CallState::Held),
                ElementsAre(Signal(22, std::nullopt)));
    EXPECT_TRUE(CallChangedSignals(CallState::Active, CallState::Held).empty());
    EXPECT_TRUE(CallChangedSignals(CallState::Active, CallState::Active).empty());
    EXPECT_THAT(CallRemovedSignals(CallState::Waiting, true),
                ElementsAre(Signal(25, std::nullopt)));
    EXPECT_THAT(CallRemovedSignals(CallState::Waiting, false),
                ElementsAre(Signal(5, std::nullopt)));
    EXPECT_THAT(CallRemovedSignals(CallState::Active, true), ElementsAre(Signal(5, std::nullopt)));
}

TEST(BluezIndicators, RegistrationAndSignalLevels) {
    EXPECT_THAT(RegistrationSignals("registered"),
                ElementsAre(Signal(15, std::nullopt), Signal(20, std::nullopt)));
    EXPECT_THAT(RegistrationSignals("roaming"),
                ElementsAre(Signal(15, std::nullopt), Signal(19, std::nullopt)));
    EXPECT_THAT(RegistrationSignals("searching"), ElementsAre(Signal(16, std::nullopt)));
    EXPECT_EQ(SignalLevel(0), 0);
    EXPECT_EQ(SignalLevel(100), 5);
    EXPECT_EQ(SignalLevel(50), 3);
    EXPECT_EQ(SignalLevel(250), 5);
    EXPECT_EQ(SignalLevel(-3), 0);
}

TEST(BluezText, Utf16NamesBecomeUtf8AndLoneSurrogatesAreRefused) {
    EXPECT_THAT(Utf16ToUtf8(u"Pixel \u00e9"), Optional(std::string("Pixel \xc3\xa9")));
    EXPECT_THAT(Utf16ToUtf8(u"\U0001F600"), Optional(std::string("\xf0\x9f\x98\x80")));
    EXPECT_FALSE(Utf16ToUtf8(std::u16string(1, u'\xd800')).has_value());
    EXPECT_FALSE(Utf16ToUtf8(std::u16string{u'a', u'\xdc00'}).has_value());
    EXPECT_TRUE(IsDtmf('#'));
    EXPECT_TRUE(IsDtmf('D'));
    EXPECT_FALSE(IsDtmf('E'));
    EXPECT_FALSE(IsDtmf(0));
}

// dundee names its devices after the phone's alias only: a name two devices share, or none has,
// picks no device rather than the wrong phone.
TEST(BluezDialUp, DundeeDeviceByName) {
    const std::vector<DundeeDevice> devices = {{"/device0", "Pixel 7", false},
                                               {"/device1", "Test Phone", true},
                                               {"/device2", "Twin", false},
                                               {"/device3", "Twin", false}};
    std::string problem;
    const std::optional<DundeeDevice> found = FindDundeeDevice(devices, "Test Phone", problem);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->path, "/device1");
    EXPECT_TRUE(found->active);
    EXPECT_EQ(FindDundeeDevice(devices, "Twin", problem), std::nullopt);
    EXPECT_EQ(problem, "dundee has several devices named \"Twin\"");
    EXPECT_EQ(FindDundeeDevice(devices, "test phone", problem), std::nullopt);
    EXPECT_THAT(problem, ::testing::StartsWith("dundee has no device named \"test phone\""));
    EXPECT_EQ(FindDundeeDevice({}, "", problem), std::nullopt);
}

TEST(BluezText, PhoneTextLosesControlsAndMalformedBytesAndStaysWithinItsBound) {
    EXPECT_EQ(CleanPhoneText("+49 30\x1b[2J\r\n123\x7f", 80), "+49 30[2J123");
    EXPECT_EQ(CleanPhoneText("a\xc2\x85"
                             "b\xc3\xa9",
                             80),
              "ab\xc3\xa9"); // C1 NEL dropped
    EXPECT_EQ(CleanPhoneText("1\xff"
                             "2\xc3",
                             80),
              "1?2?");
    EXPECT_EQ(CleanPhoneText(std::string(10000, '7'), 80), std::string(80, '7'));
    // A character that would cross the bound is left out whole.
    EXPECT_EQ(CleanPhoneText("1234567\xe2\x82\xac", 9), "1234567");
    EXPECT_EQ(CleanPhoneText("", 80), "");
}

TEST(BluezAudio, OnlyAGatewayCardWithAValidAddressCarriesThePhonesAudio) {
    const std::optional<std::string> gateway = "gateway";
    EXPECT_THAT(AudioCardPhone(gateway, "AA:BB:CC:DD:EE:FF"),
                Optional(*ParseBluezAddress("AA:BB:CC:DD:EE:FF")));
    EXPECT_TRUE(AudioCardPhone(std::nullopt, "AA:BB:CC:DD:EE:FF").has_value());
    EXPECT_FALSE(AudioCardPhone(std::string("handsfree"), "AA:BB:CC:DD:EE:FF").has_value());
    EXPECT_FALSE(AudioCardPhone(gateway, std::nullopt).has_value());
    EXPECT_FALSE(AudioCardPhone(gateway, "AA:BB:CC:DD:EE").has_value());
}

} // namespace
} // namespace kobalt::bluez
