// The media player of one simulated phone: a playlist, where it is, whether it plays, and its
// volume. Plain data with one step per command; MediaPlayers guards it.
//
//   PlayState  Stopped --play--> Playing --pause--> Paused --play--> Playing
//              any --stop--> Stopped
// Next and previous move through the playlist, wrapping at both ends, and keep the play state
// (a stopped player stays stopped on the new track). Pause of a player that does not play and
// play of a playing one change nothing: a remote control's pass-through command is always
// accepted by the phone, whether or not it has an effect.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

enum class PlayState {
    Stopped, // waits for play
    Playing, // waits for pause, stop, or the end of time
    Paused,  // waits for play or stop
};

// What reaches a player: an AVRCP pass-through command or the phone's own button.
enum class PlayerCommand { Play, Pause, Stop, Next, Previous, VolumeUp, VolumeDown };

inline constexpr int kMaxVolume = 127;    // AVRCP absolute volume
inline constexpr int kVolumeStep = 8;     // per volume-up or volume-down
inline constexpr int kDefaultVolume = 64; // half way

class MediaPlayer {
public:
    // A player at the first track of `playlist` (at least one title), stopped, at the default
    // volume.
    explicit MediaPlayer(std::vector<std::string> playlist);

    void Apply(PlayerCommand command);

    PlayState State() const { return m_state; }
    std::size_t Track() const { return m_track; } // 0-based
    const std::string& Title() const { return m_playlist[m_track]; }
    int Volume() const { return m_volume; }

private:
    std::vector<std::string> m_playlist; // UTF-8 titles, never empty
    std::size_t m_track = 0;             // index into m_playlist
    PlayState m_state = PlayState::Stopped;
    int m_volume = kDefaultVolume; // 0..kMaxVolume
};

// The playlist of every phone that the world file gives none.
const std::vector<std::string>& DefaultPlaylist();

// "play", "pause", "stop", "next", "previous", "volume-up", "volume-down": the words of the
// state report's `avrcp` lines and of the control command `player`.
std::string_view PlayerCommandName(PlayerCommand command);
std::optional<PlayerCommand> ParsePlayerCommand(std::string_view name);

std::string_view PlayStateName(PlayState state); // "playing", "paused", "stopped"

} // namespace kobalt::sim
