// What the Linux stack's names mean to the SDK: device paths and addresses, the profile UUID of
// each service, oFono's hands-free modem of a device and its call states. No D-Bus here, so each
// rule can be checked on its own.
#pragma once

#include "common/Utf8.h"
#include "sdk/KobaltAbi.h"
#include "sim/radio/Address.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::bluez {

using sim::Address;

// "AA:BB:CC:DD:EE:FF" as BlueZ gives it (byte 5 first): b[5] = 0xAA ... b[0] = 0xFF.
std::optional<Address> ParseBluezAddress(std::string_view text);

// The adapter's object path plus "/dev_AA_BB_CC_DD_EE_FF".
std::string DevicePath(std::string_view adapterPath, const Address& address);

// oFono's hands-free modem of a device: "/hfp" + the device's path.
std::string HfModemPath(std::string_view devicePath);

// The device path of a hands-free modem path; none for another kind of modem.
std::optional<std::string> DeviceOfHfModem(std::string_view modemPath);

// The remote profile UUID connected for an SDK service code; none for a service without a
// profile here (FTP, NFC, A2DP streaming).
std::optional<std::string> ServiceUuid(int16_t service);

inline constexpr std::string_view kHfpAudioGatewayUuid = "0000111f-0000-1000-8000-00805f9b34fb";
inline constexpr std::string_view kSppUuid = "00001101-0000-1000-8000-00805f9b34fb";

// A oFono VoiceCall state; Unknown for anything else (a daemon may send anything).
enum class CallState { Unknown, Dialing, Alerting, Incoming, Waiting, Active, Held, Disconnected };
CallState ParseCallState(std::string_view text);

// The hands-free events of one change of a call: codes with an optional text (the number).
struct HfSignal {
    uint32_t code;
    std::optional<std::string> text;
};

// A call that appears in `state` with `number`.
std::vector<HfSignal> CallAddedSignals(CallState state, const std::string& number);
// A call that goes from `before` to `after`.
std::vector<HfSignal> CallChangedSignals(CallState before, CallState after);
// A call in `state` that ends while `othersLeft` other calls remain.
std::vector<HfSignal> CallRemovedSignals(CallState state, bool othersLeft);

// oFono's NetworkRegistration Status: ServiceOn/Home, ServiceOn/Roaming or ServiceOff.
std::vector<HfSignal> RegistrationSignals(std::string_view status);

// The HF indicator level 0..5 of oFono's signal strength in percent (0..100, clamped).
uint8_t SignalLevel(int percent);

using common::Utf16ToUtf8; // none when the text holds an unpaired surrogate

// A DTMF character the phone can send: 0-9, *, #, A-D.
bool IsDtmf(int code);

// Dial-up through oFono's dundee. Its devices (/device0, ...) carry no address: their Name is
// the Alias of the BlueZ device they were made for.
struct DundeeDevice {
    std::string path;
    std::string name;
    bool active = false;
};

// The one device of `devices` named `name`; none when no device or several have that name
// (`problem` then says which).
std::optional<DundeeDevice> FindDundeeDevice(const std::vector<DundeeDevice>& devices,
                                             std::string_view name, std::string& problem);
// A number or name from oFono as the console may show it: control characters (C0, DEL, C1)
// dropped, a malformed UTF-8 byte as '?', cut at a character boundary to at most `maxBytes`.
std::string CleanPhoneText(std::string_view text, std::size_t maxBytes);

inline constexpr std::size_t kMaxPhoneTextBytes = 80; // a number or operator name, kept

// The phone an oFono HandsfreeAudioCard carries the audio of: its RemoteAddress, when the card
// is of the "gateway" kind (the phone's audio gateway; a card without Type is taken as one).
// None for a card of another kind or without a valid address.
std::optional<Address> AudioCardPhone(const std::optional<std::string>& type,
                                      const std::optional<std::string>& remoteAddress);

} // namespace kobalt::bluez
