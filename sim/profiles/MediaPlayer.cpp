#include "sim/profiles/MediaPlayer.h"

#include <algorithm>
#include <utility>

namespace kobalt::sim {
namespace {

constexpr std::pair<PlayerCommand, std::string_view> kCommandNames[] = {
    {PlayerCommand::Play, "play"},
    {PlayerCommand::Pause, "pause"},
    {PlayerCommand::Stop, "stop"},
    {PlayerCommand::Next, "next"},
    {PlayerCommand::Previous, "previous"},
    {PlayerCommand::VolumeUp, "volume-up"},
    {PlayerCommand::VolumeDown, "volume-down"},
};

} // namespace

MediaPlayer::MediaPlayer(std::vector<std::string> playlist) : m_playlist(std::move(playlist)) {
    if (m_playlist.empty()) {
        m_playlist = DefaultPlaylist();
    }
}

void MediaPlayer::Apply(PlayerCommand command) {
    switch (command) {
    case PlayerCommand::Play:
        m_state = PlayState::Playing;
        break;
    case PlayerCommand::Pause:
        if (m_state == PlayState::Playing) {
            m_state = PlayState::Paused;
        }
        break;
    case PlayerCommand::Stop:
        m_state = PlayState::Stopped;
        break;
    case PlayerCommand::Next:
        m_track = (m_track + 1) % m_playlist.size();
        break;
    case PlayerCommand::Previous:
        m_track = (m_track + m_playlist.size() - 1) % m_playlist.size();
        break;
    case PlayerCommand::VolumeUp:
        m_volume = std::min(m_volume + kVolumeStep, kMaxVolume);
        break;
    case PlayerCommand::VolumeDown:
        m_volume = std::max(m_volume - kVolumeStep, 0);
        break;
    }
}

const std::vector<std::string>& DefaultPlaylist() {
    // Never destroyed: the control thread may still report while the process exits.
    static const auto* const playlist = new std::vector<std::string>{
        "Blinding Lights", "Bohemian Rhapsody", "Clair de Lune", "Take Five", "Águas de Março"};
    return *playlist;
}

std::string_view PlayerCommandName(PlayerCommand command) {
    for (const auto& [value, name] : kCommandNames) {
        if (value == command) {
            return name;
        }
    }
    return "?";
}

std::optional<PlayerCommand> ParsePlayerCommand(std::string_view name) {
    for (const auto& [value, text] : kCommandNames) {
        if (text == name) {
            return value;
        }
    }
    return std::nullopt;
}

std::string_view PlayStateName(PlayState state) {
    switch (state) {
    case PlayState::Stopped:
        return "stopped";
    case PlayState::Playing:
        return "playing";
    case PlayState::Paused:
        return "paused";
    }
    return "?";
}

} // namespace kobalt::sim
