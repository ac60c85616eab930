#include "sim/World.h"

#include <algorithm>

namespace kobalt::sim {

Device* World::Find(const Address& address) {
    const auto it = std::find_if(m_devices.begin(), m_devices.end(),
                                 [&](const Device& d) { return d.address == address; });
    return it == m_devices.end() ? nullptr : &*it;
}

const Device* World::Find(const Address& address) const {
    return const_cast<World*>(this)->Find(address);
}

bool World::Add(Device device) {
    if (Find(device.address) != nullptr) {
        return false;
    }
    m_devices.push_back(std::move(device));
    return true;
}

bool World::Remove(const Address& address) {
    const auto it = std::find_if(m_devices.begin(), m_devices.end(),
                                 [&](const Device& d) { return d.address == address; });
    if (it == m_devices.end()) {
        return false;
    }
    m_devices.erase(it);
    return true;
}

} // namespace kobalt::sim
