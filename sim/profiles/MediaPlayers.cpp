#include "sim/profiles/MediaPlayers.h"

#include "sim/world/Words.h"

#include <optional>

namespace kobalt::sim {

MediaPlayers::MediaPlayers(const Stack& stack) : m_stack(stack) {}

MediaPlayer& MediaPlayers::PlayerLocked(const Address& address) {
    return m_players.try_emplace(address, DefaultPlaylist()).first->second;
}

ResultCode MediaPlayers::Avrcp(PlayerCommand command) {
    if (m_stack.State() != StackState::Ready) {
        return kErrNotInitialised;
    }
    std::optional<Stack::LinkInfo> session;
    for (const Stack::LinkInfo& link : m_stack.Links()) {
        const bool avrcp =
            link.service == KOBALT_SERVICE_AVRCP || link.service == KOBALT_SERVICE_AVRCP_TARGET;
        if (avrcp && IsUp(link.state) && (!session || link.upOrder > session->upOrder)) {
            session = link;
        }
    }
    if (!session) {
        return kErrNotConnected;
    }
    std::lock_guard lock(m_mutex);
    PlayerLocked(session->address).Apply(command);
    if (m_received.size() == kMaxAvrcpLines) {
        m_received.pop_front();
    }
    m_received.push_back("avrcp " + std::string(PlayerCommandName(command)));
    return kOk;
}

Status MediaPlayers::PhoneButton(const Address& address, PlayerCommand command) {
    const std::optional<Device> device = m_stack.FindDevice(address);
    if (!device) {
        return Status::Error("no device " + FormatAddress(address));
    }
    if (!device->services.Has(Service::Avrcp)) {
        return Status::Error(FormatAddress(address) + " has no media player (no avrcp)");
    }
    std::lock_guard lock(m_mutex);
    PlayerLocked(address).Apply(command);
    return {};
}

std::vector<std::string> MediaPlayers::StateLines() const {
    const std::vector<Device> devices = m_stack.Devices();
    std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    for (const Device& device : devices) {
        if (!device.services.Has(Service::Avrcp)) {
            continue;
        }
        const auto it = m_players.find(device.address);
        const MediaPlayer player =
            it != m_players.end() ? it->second : MediaPlayer(DefaultPlaylist());
        lines.push_back("player " + FormatAddress(device.address) + " " +
                        std::string(PlayStateName(player.State())) + " " +
                        std::to_string(player.Track() + 1) + " " + std::to_string(player.Volume()) +
                        " " + QuoteText(player.Title()));
    }
    lines.insert(lines.end(), m_received.begin(), m_received.end());
    return lines;
}

} // namespace kobalt::sim
