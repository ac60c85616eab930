#include "sim/radio/Link.h"

namespace kobalt::sim {

LinkStep NextLinkStep(LinkState state, LinkInput input) {
    using enum LinkState;
    using enum LinkEffect;
    switch (input) {
    case LinkInput::Connect:
        switch (state) {
        case Idle:
            return {PhoneAccepting, kOk, ScheduleAccept};
        case PhoneAccepting:
        case Connected:
            return {state, kOk, None};
        case PhoneReleasing:
            return {state, kErrBusy, None};
        }
        break;
    case LinkInput::Disconnect:
        switch (state) {
        case Idle:
        case PhoneAccepting:
            return {state, kErrNotConnected, None};
        case Connected:
            return {PhoneReleasing, kOk, ScheduleRelease};
        case PhoneReleasing:
            return {state, kOk, None};
        }
        break;
    case LinkInput::PhoneAccepts:
        return state == PhoneAccepting ? LinkStep{Connected, kOk, ReportConnected}
                                       : LinkStep{state, kOk, None};
    case LinkInput::PhoneReleases:
        return state == PhoneReleasing ? LinkStep{Idle, kOk, ReportDisconnected}
                                       : LinkStep{state, kOk, None};
    case LinkInput::RemoteConnect:
        switch (state) {
        case Idle:
        case PhoneAccepting:
            return {Connected, kOk, ReportConnected};
        case Connected:
            return {state, kErrAlreadyConnected, None};
        case PhoneReleasing:
            return {state, kErrBusy, None};
        }
        break;
    case LinkInput::RemoteDisconnect:
        return state == Idle ? LinkStep{Idle, kErrNotConnected, None}
                             : LinkStep{Idle, kOk, ReportDisconnected};
    }
    return {state, kErrBadArgument, None};
}

bool IsUp(LinkState state) {
    return state == LinkState::Connected || state == LinkState::PhoneReleasing;
}

std::string_view LinkStateName(LinkState state) {
    switch (state) {
    case LinkState::Idle:
        return "Idle";
    case LinkState::PhoneAccepting:
        return "PhoneAccepting";
    case LinkState::Connected:
        return "Connected";
    case LinkState::PhoneReleasing:
        return "PhoneReleasing";
    }
    return "?";
}

std::string_view LinkInputName(LinkInput input) {
    switch (input) {
    case LinkInput::Connect:
        return "Connect";
    case LinkInput::Disconnect:
        return "Disconnect";
    case LinkInput::PhoneAccepts:
        return "PhoneAccepts";
    case LinkInput::PhoneReleases:
        return "PhoneReleases";
    case LinkInput::RemoteConnect:
        return "RemoteConnect";
    case LinkInput::RemoteDisconnect:
        return "RemoteDisconnect";
    }
    return "?";
}

} // namespace kobalt::sim
