// Chooses what the simulated phone does next: calls, link loss, range, pairing, indicators,
// phonebook and call-log changes, media buttons, single injected failures. Commands are those
// of the phone's control socket; inapplicable ones are refused by the phone, which is fine.
#pragma once

#include "frontend/monkey/Random.h"

#include <string>

namespace kobalt::monkey {

// Devices added by the monkey get addresses 02:00:00:00:00:NN, NN below this.
constexpr int kAddedDevices = 4;

// The control command, and its family ("ring", "connect", ...) for the summary.
struct PhoneEvent {
    std::string command;
    std::string family;
};

PhoneEvent ChoosePhoneEvent(Random& random);

} // namespace kobalt::monkey
