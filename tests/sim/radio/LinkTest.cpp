// The connection of one service of one device (sim/radio/Link.h):
//
// ```mermaid
// stateDiagram-v2
//     [*] --> Idle
//     Idle --> PhoneAccepting: Connect / schedule the phone's answer
//     PhoneAccepting --> Connected: PhoneAccepts / connect event
//     Idle --> Connected: RemoteConnect / connect event
//     PhoneAccepting --> Connected: RemoteConnect / connect event
//     Connected --> PhoneReleasing: Disconnect / schedule the phone's answer
//     PhoneReleasing --> Idle: PhoneReleases / disconnect event
//     PhoneAccepting --> Idle: RemoteDisconnect / disconnect event
//     Connected --> Idle: RemoteDisconnect / disconnect event
//     PhoneReleasing --> Idle: RemoteDisconnect / disconnect event
//     PhoneAccepting --> PhoneAccepting: Connect (0, nothing more)
//     Connected --> Connected: Connect (0, nothing more)
//     PhoneReleasing --> PhoneReleasing: Disconnect (0, nothing more)
// ```
// Every other input leaves the state as it is: refused, or (for a phone's answer that is no
// longer awaited) ignored.
#include "sim/radio/Link.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace kobalt::sim {
namespace {

using enum LinkState;
using enum LinkInput;
using enum LinkEffect;

struct Transition {
    LinkState from;
    LinkInput input;
    LinkStep step;
};

// Every state against every input.
const Transition kTable[] = {
    {Idle, Connect, {PhoneAccepting, kOk, ScheduleAccept}},
    {Idle, Disconnect, {Idle, kErrNotConnected, None}},
    {Idle, PhoneAccepts, {Idle, kOk, None}},
    {Idle, PhoneReleases, {Idle, kOk, None}},
    {Idle, RemoteConnect, {Connected, kOk, ReportConnected}},
    {Idle, RemoteDisconnect, {Idle, kErrNotConnected, None}},

    {PhoneAccepting, Connect, {PhoneAccepting, kOk, None}},
    {PhoneAccepting, Disconnect, {PhoneAccepting, kErrNotConnected, None}},
    {PhoneAccepting, PhoneAccepts, {Connected, kOk, ReportConnected}},
    {PhoneAccepting, PhoneReleases, {PhoneAccepting, kOk, None}},
    {PhoneAccepting, RemoteConnect, {Connected, kOk, ReportConnected}},
    {PhoneAccepting, RemoteDisconnect, {Idle, kOk, ReportDisconnected}},

    {Connected, Connect, {Connected, kOk, None}},
    {Connected, Disconnect, {PhoneReleasing, kOk, ScheduleRelease}},
    {Connected, PhoneAccepts, {Connected, kOk, None}},
    {Connected, PhoneReleases, {Connected, kOk, None}},
    {Connected, RemoteConnect, {Connected, kErrAlreadyConnected, None}},
    {Connected, RemoteDisconnect, {Idle, kOk, ReportDisconnected}},

    {PhoneReleasing, Connect, {PhoneReleasing, kErrBusy, None}},
    {PhoneReleasing, Disconnect, {PhoneReleasing, kOk, None}},
    {PhoneReleasing, PhoneAccepts, {PhoneReleasing, kOk, None}},
    {PhoneReleasing, PhoneReleases, {Idle, kOk, ReportDisconnected}},
    {PhoneReleasing, RemoteConnect, {PhoneReleasing, kErrBusy, None}},
    {PhoneReleasing, RemoteDisconnect, {Idle, kOk, ReportDisconnected}},
};

TEST(Link, EveryStateAnswersEveryInputAsTheTableSays) {
    std::map<std::pair<LinkState, LinkInput>, int> seen;
    for (const Transition& row : kTable) {
        SCOPED_TRACE(std::string(LinkStateName(row.from)) + " + " +
                     std::string(LinkInputName(row.input)));
        const LinkStep step = NextLinkStep(row.from, row.input);
        EXPECT_EQ(LinkStateName(step.next), LinkStateName(row.step.next));
        EXPECT_EQ(step.result, row.step.result);
        EXPECT_EQ(static_cast<int>(step.effect), static_cast<int>(row.step.effect));
        ++seen[{row.from, row.input}];
    }
    EXPECT_EQ(seen.size(), 4u * 6u) << "the table covers every pair once";
}

} // namespace
} // namespace kobalt::sim
