// The remote devices the simulated radio can reach, in a fixed order (the order of the world
// file, then of additions). Plain data: the stack guards it with its lock.
#pragma once

#include "sim/phone/CallSettings.h"
#include "sim/radio/Address.h"
#include "sim/radio/Services.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
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

// Most devices a world holds (world file and additions together).
inline constexpr std::size_t kMaxWorldDevices = 250000;

enum class AddOutcome { Added, AddressTaken, Full };

class World {
public:
    const std::vector<Device>& Devices() const { return m_devices; }

    Device* Find(const Address& address);
    const Device* Find(const Address& address) const;

    // Appends `device`, unless its address is taken or the world holds kMaxWorldDevices.
    [[nodiscard]] AddOutcome Add(Device device);

    // Removes the device; false when there is none with this address.
    bool Remove(const Address& address);

    // Removes every device; the call settings stay.
    void Clear() {
        m_devices.clear();
        m_index.clear();
    }

    CallSettings calls; // how the far ends of the phone's calls behave

private:
    struct AddressHash {
        std::size_t operator()(const Address& address) const {
            std::uint64_t key = 0;
            for (const std::uint8_t byte : address.b) {
                key = key << 8 | byte;
            }
            return std::hash<std::uint64_t>{}(key);
        }
    };

    std::vector<Device> m_devices;                                 // in world order
    std::unordered_map<Address, std::size_t, AddressHash> m_index; // position in m_devices
};

} // namespace kobalt::sim
