#include "sim/world/World.h"

namespace kobalt::sim {

Device* World::Find(const Address& address) {
    const auto it = m_index.find(address);
    return it == m_index.end() ? nullptr : &m_devices[it->second];
}

const Device* World::Find(const Address& address) const {
    return const_cast<World*>(this)->Find(address);
}

AddOutcome World::Add(Device device) {
    if (m_index.contains(device.address)) {
        return AddOutcome::AddressTaken;
    }
    if (m_devices.size() >= kMaxWorldDevices) {
        return AddOutcome::Full;
    }
    m_index.emplace(device.address, m_devices.size());
    m_devices.push_back(std::move(device));
    return AddOutcome::Added;
}

bool World::Remove(const Address& address) {
    const auto it = m_index.find(address);
    if (it == m_index.end()) {
        return false;
    }
    const std::size_t position = it->second;
    m_index.erase(it);
    m_devices.erase(m_devices.begin() + static_cast<std::ptrdiff_t>(position));
    // The devices after it moved up one place.
    for (std::size_t i = position; i < m_devices.size(); ++i) {
        m_index[m_devices[i].address] = i;
    }
    return true;
}

} // namespace kobalt::sim
