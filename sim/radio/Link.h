// The connection of one service of one device: a state machine without side effects.
//
// States are named for who acts next. The console's calls and the phone's acts are inputs; a
// step gives the next state, the result for whoever asked, and what the stack must do about it
// (schedule the phone's answer, or report an event). Stale inputs (a phone answer for a request
// that no longer stands) change nothing; the stack also tags its scheduled answers so that an
// answer to an earlier request never completes a later one.
//
// Decisions:
// - Connect while connecting or connected: 0 and no second event (the link asked for is up or
//   on its way). Connect while the release runs: kErrBusy.
// - Disconnect while disconnecting: 0 and no second event. Disconnect of a link that is not up
//   (idle, or still connecting): kErrNotConnected.
// - The phone connecting a link that is up, or being released: refused.
// - The phone or the radio dropping a link in any state but idle ends it with a disconnect
//   event, a connect attempt included (the console learns that its attempt failed).
#pragma once

#include "sim/abi/ResultCode.h"

#include <string_view>

namespace kobalt::sim {

enum class LinkState {
    Idle,           // no link: the console or the phone may open one
    PhoneAccepting, // the console asked to connect; the phone answers next
    Connected,      // up: either side may end it
    PhoneReleasing, // the console asked to disconnect; the phone confirms next
};

enum class LinkInput {
    Connect,          // KOBALT_Connect
    Disconnect,       // KOBALT_Disconnect
    PhoneAccepts,     // the phone's answer to Connect, after its delay
    PhoneReleases,    // the phone's answer to Disconnect, after its delay
    RemoteConnect,    // the phone opens the link by itself
    RemoteDisconnect, // the phone drops the link, or the radio loses it
};

enum class LinkEffect {
    None,
    ScheduleAccept,     // the phone answers the connect request later
    ScheduleRelease,    // the phone answers the disconnect request later
    ReportConnected,    // a connect event (1, addr, service)
    ReportDisconnected, // a disconnect event (0, addr, service)
};

struct LinkStep {
    LinkState next;
    ResultCode result;
    LinkEffect effect;

    bool operator==(const LinkStep&) const = default;
};

LinkStep NextLinkStep(LinkState state, LinkInput input);

// Whether the link carries data: connected, or connected until the phone confirms a release.
bool IsUp(LinkState state);

std::string_view LinkStateName(LinkState state);
std::string_view LinkInputName(LinkInput input);

} // namespace kobalt::sim
