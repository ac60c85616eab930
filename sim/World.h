// The remote devices the simulated radio can reach, in a fixed order (the order of the world
// file, then of additions). Plain data: the stack guards it with its lock.
#pragma once

#include "sim/Address.h"
#include "sim/CallSettings.h"
#include "sim/Services.h"

#include <string>
#include <vector>

namespace kobalt::sim {

enum class Pairing { Unpaired, Paired };
enum class Range { OutOfRange, InRange };

struct Device {
    Address address;
    std::string name; // UTF-8; empty when the device reports none
    ServiceSet services;
    Pairing pairing = Pairing::Unpaired;
    Range range = Range::InRange;
};

class World {
public:
    const std::vector<Device>& Devices() const { return m_devices; }

    Device* Find(const Address& address);
    const Device* Find(const Address& address) const;

    // Appends `device`; false (and no change) when its address is taken.
    bool Add(Device device);

    // Removes the device; false when there is none with this address.
    bool Remove(const Address& address);

    // Removes every device; the call settings stay.
    void Clear() { m_devices.clear(); }

    CallSettings calls; // how the far ends of the phone's calls behave

private:
    std::vector<Device> m_devices;
};

} // namespace kobalt::sim
