#include "frontend/monkey/PhoneEvents.h"

#include <cstdio>

namespace kobalt::monkey {

namespace {

// The built-in world's devices, and the devices the monkey adds and removes itself.
constexpr const char* kWorldDevices[] = {"66:55:44:33:22:11", "00:1A:7D:DA:71:13",
                                         "5C:F9:38:A1:B2:C3", "00:19:5D:24:8E:01",
                                         "8C:85:90:11:22:33"};
constexpr const char* kServices[] = {"hf",       "hf",        "a2dp",         "spp",   "avrcp",
                                     "internet", "streaming", "avrcp-target", "0x1234"};
// Entry points the console calls, to fail once each now and then.
constexpr const char* kFailures[] = {
    "Connect",         "Disconnect",        "DeviceDiscovery", "HFAP_Dial",       "HFAP_AnswerCall",
    "HFAP_CancelCall", "GetRemoteName",     "GetAllShortCuts", "PIMGetContacts",  "PIMGetCalllogs",
    "DUNGetCountry",   "GetDefaultPinCode", "GetLocalName",    "GetCurrentCalls", "HFAP_Transfer",
    "IsConnected",     "StartVoiceRecog",   "AVRCPPlay"};
constexpr const char* kNames[] = {
    "Anna", "Борис", "李雷", "", "A very long contact name that goes on", "O'Neil"};
constexpr const char* kPlayerKeys[] = {"play",     "pause",     "stop",       "next",
                                       "previous", "volume-up", "volume-down"};
constexpr const char* kLogs[] = {"incoming", "outgoing", "missed"};

std::string Number(Random& random) {
    std::string number = random.Percent(30) ? "+" : "";
    const std::size_t length = 3 + random.Below(12);
    for (std::size_t i = 0; i < length; ++i) {
        number += static_cast<char>('0' + random.Below(10));
    }
    return number;
}

std::string Quote(const std::string& text) {
    return '"' + text + '"';
}

std::string AddedDevice(Random& random) {
    char address[32];
    std::snprintf(address, sizeof address, "02:00:00:00:00:%02X",
                  static_cast<unsigned>(random.Below(kAddedDevices)));
    return address;
}

std::string Device(Random& random) {
    return random.Percent(85) ? random.Pick(kWorldDevices) : AddedDevice(random);
}

} // namespace

PhoneEvent ChoosePhoneEvent(Random& random) {
    // Calls and links come most often: they drive the dialogs the operator sees.
    switch (random.Below(26)) {
    case 0:
    case 1:
    case 2:
        return {"ring " + Number(random), "ring"};
    case 3:
        return {"waiting " + Number(random), "waiting"};
    case 4:
        return {"accept", "accept"};
    case 5:
    case 6:
        return {random.Percent(70) ? "hangup" : "hangup " + std::to_string(1 + random.Below(3)),
                "hangup"};
    case 7:
        // The paired phone's hands-free link carries every call event: bring it up often.
        return {std::string("connect ") + kWorldDevices[0] + " hf", "connect"};
    case 8:
        return {"connect " + Device(random) + ' ' + random.Pick(kServices), "connect"};
    case 9:
        return {std::string("connect none ") + random.Pick(kServices), "connect"};
    case 10:
    case 11:
        return {"disconnect " + Device(random) + ' ' + random.Pick(kServices), "disconnect"};
    case 12:
        return {"range " + Device(random) + (random.Percent(60) ? " out" : " in"), "range"};
    case 13:
        return {"pair " + Device(random) + (random.Percent(70) ? " ok" : " fail"), "pair"};
    case 14: {
        static constexpr const char* kIndicators[] = {"service on", "service off", "roam on",
                                                      "roam off"};
        return {random.Pick(kIndicators), "indicator"};
    }
    case 15:
        return {(random.Percent(50) ? "signal " : "battery ") + std::to_string(random.Below(6)),
                "indicator"};
    case 16:
        return {"text " + Quote(random.Percent(50) ? "Operator" : "Мобильный оператор"), "text"};
    case 17:
        return {"add-contact " + Quote(random.Pick(kNames)) + ' ' + Quote(Number(random)) +
                    " \"\" " + Quote(Number(random)),
                "contacts"};
    case 18:
        return {random.Percent(50) ? "remove-contact pushed" : "remove-contact all", "contacts"};
    case 19:
        return {"generate-contacts " + std::to_string(1 + random.Below(40)), "contacts"};
    case 20:
        return {"push-contact " + Quote(random.Pick(kNames)) + ' ' + Number(random), "push"};
    case 21: {
        static constexpr const char* kCodes[] = {"2", "10", "11", "12"};
        return {std::string("pim-fail ") + random.Pick(kCodes), "pim-fail"};
    }
    case 22:
        return {random.Percent(80) ? std::string("add-calllog ") + random.Pick(kLogs) + ' ' +
                                         Quote(random.Pick(kNames)) + ' ' + Number(random)
                                   : std::string("clear-calllogs"),
                "calllogs"};
    case 23:
        return {"player " + Device(random) + ' ' + random.Pick(kPlayerKeys), "media"};
    case 24:
        return {std::string("fail ") + random.Pick(kFailures), "fail"};
    default:
        return random.Percent(50)
                   ? PhoneEvent{"add-device " + AddedDevice(random) +
                                    " \"Added\" hf,a2dp,avrcp,spp,dun,pbap " +
                                    (random.Percent(50) ? "paired" : "unpaired") + " in-range",
                                "add-device"}
                   : PhoneEvent{"remove-device " + AddedDevice(random), "remove-device"};
    }
}

} // namespace kobalt::monkey
