#include "bluez/Mapping.h"

#include "common/Utf8.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace kobalt::bluez {
namespace {

// The console's hands-free event codes.
enum HfCode : uint32_t {
    kEnded = 5,
    kActive = 6,
    kDialing = 7,
    kIncoming = 8,
    kOutgoingNumber = 10,
    kIncomingNumber = 11,
    kServiceOn = 15,
    kServiceOff = 16,
    kRoaming = 19,
    kHome = 20,
    kIncomingHeld = 22,
    kWaiting = 23,
    kIncomingActive = 24,
    kIncomingReleased = 25
};

constexpr std::string_view kHfpPrefix = "/hfp";

} // namespace

std::optional<Address> ParseBluezAddress(std::string_view text) {
    return sim::ParseAddress(text);
}

std::string DevicePath(std::string_view adapterPath, const Address& address) {
    std::string path(adapterPath);
    path += "/dev";
    for (int i = 5; i >= 0; --i) {
        char part[4];
        std::snprintf(part, sizeof part, "_%02X", address.b[static_cast<std::size_t>(i)]);
        path += part;
    }
    return path;
}

std::string HfModemPath(std::string_view devicePath) {
    return std::string(kHfpPrefix) + std::string(devicePath);
}

std::optional<std::string> DeviceOfHfModem(std::string_view modemPath) {
    if (modemPath.size() <= kHfpPrefix.size() + 1 || !modemPath.starts_with(kHfpPrefix) ||
        modemPath[kHfpPrefix.size()] != '/') {
        return std::nullopt;
    }
    return std::string(modemPath.substr(kHfpPrefix.size()));
}

std::optional<std::string> ServiceUuid(int16_t service) {
    switch (static_cast<uint16_t>(service)) {
    case KOBALT_SERVICE_HF:
        return std::string(kHfpAudioGatewayUuid);
    case KOBALT_SERVICE_A2DP:
        return "0000110a-0000-1000-8000-00805f9b34fb"; // the phone's audio source
    case KOBALT_SERVICE_INTERNET:
        return "00001103-0000-1000-8000-00805f9b34fb"; // dial-up networking
    case KOBALT_SERVICE_SPP:
        return std::string(kSppUuid);
    case KOBALT_SERVICE_AVRCP_TARGET:
        return "0000110c-0000-1000-8000-00805f9b34fb";
    case KOBALT_SERVICE_AVRCP:
        return "0000110e-0000-1000-8000-00805f9b34fb";
    default:
        return std::nullopt;
    }
}

CallState ParseCallState(std::string_view text) {
    constexpr std::array<std::pair<std::string_view, CallState>, 7> names{{
        {"dialing", CallState::Dialing},
        {"alerting", CallState::Alerting},
        {"incoming", CallState::Incoming},
        {"waiting", CallState::Waiting},
        {"active", CallState::Active},
        {"held", CallState::Held},
        {"disconnected", CallState::Disconnected},
    }};
    for (const auto& [name, state] : names) {
        if (text == name) {
            return state;
        }
    }
    return CallState::Unknown;
}

std::vector<HfSignal> CallAddedSignals(CallState state, const std::string& number) {
    switch (state) {
    case CallState::Dialing:
    case CallState::Alerting:
        return {{kDialing, {}}, {kOutgoingNumber, number}};
    case CallState::Incoming:
        return {{kIncoming, {}}, {kIncomingNumber, number}};
    case CallState::Waiting:
        return {{kWaiting, number}};
    case CallState::Active:
        return {{kActive, {}}};
    default:
        return {};
    }
}

std::vector<HfSignal> CallChangedSignals(CallState before, CallState after) {
    if (before == after) {
        return {};
    }
    switch (after) {
    case CallState::Active:
        // A waiting or held second call taken is the console's "incoming active".
        return {
            {before == CallState::Waiting || before == CallState::Held ? kIncomingActive : kActive,
             {}}};
    case CallState::Held:
        return before == CallState::Waiting || before == CallState::Incoming
                   ? std::vector<HfSignal>{{kIncomingHeld, {}}}
                   : std::vector<HfSignal>{};
    default:
        return {};
    }
}

std::vector<HfSignal> CallRemovedSignals(CallState state, bool othersLeft) {
    if (othersLeft && (state == CallState::Waiting || state == CallState::Held)) {
        return {{kIncomingReleased, {}}};
    }
    return {{kEnded, {}}};
}

std::vector<HfSignal> RegistrationSignals(std::string_view status) {
    if (status == "registered") {
        return {{kServiceOn, {}}, {kHome, {}}};
    }
    if (status == "roaming") {
        return {{kServiceOn, {}}, {kRoaming, {}}};
    }
    return {{kServiceOff, {}}};
}

uint8_t SignalLevel(int percent) {
    const int clamped = std::clamp(percent, 0, 100);
    return static_cast<uint8_t>((clamped * 5 + 50) / 100);
}

std::string CleanPhoneText(std::string_view text, std::size_t maxBytes) {
    std::string clean;
    while (!text.empty()) {
        const std::optional<common::Utf8Char> decoded = common::DecodeUtf8(text);
        const std::size_t length = decoded ? decoded->length : 1;
        const char32_t cp = decoded ? decoded->cp : U'?';
        const bool control = cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
        if (!control) {
            const std::size_t bytes = decoded ? length : 1;
            if (clean.size() + bytes > maxBytes) {
                break;
            }
            clean.append(decoded ? text.substr(0, length) : std::string_view("?"));
        }
        text.remove_prefix(length);
    }
    return clean;
}

std::optional<Address> AudioCardPhone(const std::optional<std::string>& type,
                                      const std::optional<std::string>& remoteAddress) {
    if ((type && *type != "gateway") || !remoteAddress) {
        return std::nullopt;
    }
    return ParseBluezAddress(*remoteAddress);
}

bool IsDtmf(int code) {
    return (code >= '0' && code <= '9') || code == '*' || code == '#' ||
           (code >= 'A' && code <= 'D');
}

std::optional<DundeeDevice> FindDundeeDevice(const std::vector<DundeeDevice>& devices,
                                             std::string_view name, std::string& problem) {
    std::optional<DundeeDevice> found;
    for (const DundeeDevice& device : devices) {
        if (device.name != name) {
            continue;
        }
        if (found) {
            problem = "dundee has several devices named \"" + std::string(name) + "\"";
            return std::nullopt;
        }
        found = device;
    }
    if (!found) {
        problem = "dundee has no device named \"" + std::string(name) +
                  "\" (the phone offers no dial-up networking, or dundee has not seen it)";
    }
    return found;
}

} // namespace kobalt::bluez
