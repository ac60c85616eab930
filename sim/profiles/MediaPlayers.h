// The media players of the simulated phones, one per device that offers avrcp, and the AVRCP
// commands they received.
//
// An AVRCP command goes to the phone whose AVRCP link (target 0x110C or controller 0x110E) came
// up last among those up, as a stack with one remote-control session at a time sends it. The
// players live as long as the library: a phone's player keeps its state across UnInit/Init and
// link loss, as the phone itself does.
//
// Lock order: the stack's lock is never taken under m_mutex; the stack never calls in here.
#pragma once

#include "sim/Status.h"
#include "sim/abi/ResultCode.h"
#include "sim/profiles/MediaPlayer.h"
#include "sim/radio/Address.h"
#include "sim/radio/Stack.h"

#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kobalt::sim {

// The received commands kept for the state report.
inline constexpr std::size_t kMaxAvrcpLines = 256;

class MediaPlayers {
public:
    explicit MediaPlayers(const Stack& stack);

    // KOBALT_AVRCP*: kErrNotInitialised unless the stack runs, kErrNotConnected without an
    // AVRCP link that is up; else the command reaches the player and is recorded.
    ResultCode Avrcp(PlayerCommand command);

    // The phone's own buttons, for the control interface: no AVRCP link needed and nothing
    // recorded. Why nothing changed, if nothing did.
    Status PhoneButton(const Address& address, PlayerCommand command);

    // `player ADDR STATE TRACK VOLUME "TITLE"` for each device offering avrcp, in world order
    // (TRACK 1-based), then `avrcp COMMAND` for each command received, oldest first.
    std::vector<std::string> StateLines() const;

private:
    MediaPlayer& PlayerLocked(const Address& address);

    const Stack& m_stack;
    mutable std::mutex m_mutex;               // guards the fields below
    std::map<Address, MediaPlayer> m_players; // made on first use
    std::deque<std::string> m_received;       // "avrcp play", ..., at most kMaxAvrcpLines
};

} // namespace kobalt::sim
