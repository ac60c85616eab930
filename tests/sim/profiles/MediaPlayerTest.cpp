// The media player and the AVRCP routing of MediaPlayers.
//
// ```mermaid
// stateDiagram-v2
//     [*] --> Stopped
//     Stopped --> Playing: play
//     Playing --> Paused: pause
//     Paused --> Playing: play
//     Playing --> Stopped: stop
//     Paused --> Stopped: stop
//     Stopped --> Stopped: pause (no change)
//     note right of Playing: next / previous move the track, wrapping, and keep the state
// ```
#include "sim/profiles/MediaPlayers.h"

#include "ProfileFakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kobalt::sim {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

using C = PlayerCommand;
using fakes::ManualTimer;
using fakes::NullSink;

struct PlayerCase {
    const char* name;
    std::vector<PlayerCommand> commands;
    PlayState state;
    std::size_t track; // 0-based
    int volume;
};

class PlayerSteps : public testing::TestWithParam<PlayerCase> {};

TEST_P(PlayerSteps, EndsAsExpected) {
    const PlayerCase& c = GetParam();
    MediaPlayer player({"A", "B", "C"});
    for (const PlayerCommand command : c.commands) {
        player.Apply(command);
    }
    EXPECT_EQ(player.State(), c.state);
    EXPECT_EQ(player.Track(), c.track);
    EXPECT_EQ(player.Volume(), c.volume);
}

const std::vector<C> kUpSixteenTimes(16, C::VolumeUp);
const std::vector<C> kDownNineTimes(9, C::VolumeDown);

INSTANTIATE_TEST_SUITE_P(
    Commands, PlayerSteps,
    testing::Values(
        PlayerCase{"fresh", {}, PlayState::Stopped, 0, 64},
        PlayerCase{"play", {C::Play}, PlayState::Playing, 0, 64},
        PlayerCase{"pause", {C::Play, C::Pause}, PlayState::Paused, 0, 64},
        PlayerCase{"resume", {C::Play, C::Pause, C::Play}, PlayState::Playing, 0, 64},
        PlayerCase{"pause_stopped", {C::Pause}, PlayState::Stopped, 0, 64},
        PlayerCase{"stop_paused", {C::Play, C::Pause, C::Stop}, PlayState::Stopped, 0, 64},
        PlayerCase{"next_keeps_playing", {C::Play, C::Next}, PlayState::Playing, 1, 64},
        PlayerCase{"next_stopped", {C::Next, C::Next}, PlayState::Stopped, 2, 64},
        PlayerCase{"next_wraps", {C::Next, C::Next, C::Next}, PlayState::Stopped, 0, 64},
        PlayerCase{"previous_wraps", {C::Previous}, PlayState::Stopped, 2, 64},
        PlayerCase{"volume_up", {C::VolumeUp}, PlayState::Stopped, 0, 72},
        PlayerCase{"volume_down", {C::VolumeDown, C::VolumeDown}, PlayState::Stopped, 0, 48},
        PlayerCase{"volume_top", kUpSixteenTimes, PlayState::Stopped, 0, 127},
        PlayerCase{"volume_bottom", kDownNineTimes, PlayState::Stopped, 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PlayerCommandNames, RoundTrip) {
    for (const C command :
         {C::Play, C::Pause, C::Stop, C::Next, C::Previous, C::VolumeUp, C::VolumeDown}) {
        EXPECT_EQ(ParsePlayerCommand(PlayerCommandName(command)), command);
    }
    EXPECT_EQ(ParsePlayerCommand("Play"), std::nullopt);
}

// AVRCP commands go to the phone whose AVRCP link came up last, only while one is up.
struct MediaPlayersFixture : testing::Test {
    MediaPlayersFixture() {
        stack.SetWorld(ParseWorld(R"(device 66:55:44:33:22:11 "Pixel 7" hf,avrcp
device 00:1A:7D:DA:71:13 "Galaxy S21" hf,avrcp
device 00:19:5D:24:8E:01 "OBD-II Adapter" spp
)")
                           .world,
                       {});
        EXPECT_EQ(stack.Init(), kOk);
    }
    void ConnectNow(const char* address, int16_t service) {
        const KOBALT_BdAddr addr = ParseAddress(address)->ToAbi();
        ASSERT_EQ(stack.Connect(&addr, service), kOk);
        timer.RunAll();
    }
    std::string PlayerLine(const char* address) {
        for (const std::string& line : media.StateLines()) {
            if (line.starts_with(std::string("player ") + address)) {
                return line;
            }
        }
        return "";
    }

    NullSink events;
    ManualTimer timer;
    Stack stack{events, timer};
    MediaPlayers media{stack};
};

TEST_F(MediaPlayersFixture, RefusedWithoutAnAvrcpLink) {
    ConnectNow("66:55:44:33:22:11", KOBALT_SERVICE_HF);
    EXPECT_EQ(media.Avrcp(C::Play), kErrNotConnected);
    const KOBALT_BdAddr addr = ParseAddress("66:55:44:33:22:11")->ToAbi();
    ASSERT_EQ(stack.Connect(&addr, KOBALT_SERVICE_AVRCP), kOk); // the phone has not accepted
    EXPECT_EQ(media.Avrcp(C::Play), kErrNotConnected);
    EXPECT_EQ(PlayerLine("66:55:44:33:22:11"),
              "player 66:55:44:33:22:11 stopped 1 64 \"Blinding Lights\"");
    EXPECT_THAT(media.StateLines(), testing::Not(testing::Contains(HasSubstr("avrcp"))));
}

TEST_F(MediaPlayersFixture, RefusedWhenTheStackIsDown) {
    ConnectNow("66:55:44:33:22:11", KOBALT_SERVICE_AVRCP);
    stack.UnInit();
    EXPECT_EQ(media.Avrcp(C::Play), kErrNotInitialised);
}

TEST_F(MediaPlayersFixture, ReachesThePhoneWhoseLinkCameUpLast) {
    ConnectNow("00:1A:7D:DA:71:13", KOBALT_SERVICE_AVRCP_TARGET);
    ConnectNow("66:55:44:33:22:11", KOBALT_SERVICE_AVRCP);
    EXPECT_EQ(media.Avrcp(C::Play), kOk);
    EXPECT_EQ(media.Avrcp(C::Next), kOk);
    EXPECT_EQ(PlayerLine("66:55:44:33:22:11"),
              "player 66:55:44:33:22:11 playing 2 64 \"Bohemian Rhapsody\"");
    EXPECT_EQ(PlayerLine("00:1A:7D:DA:71:13"),
              "player 00:1A:7D:DA:71:13 stopped 1 64 \"Blinding Lights\"");

    const KOBALT_BdAddr pixel = ParseAddress("66:55:44:33:22:11")->ToAbi();
    ASSERT_EQ(stack.Disconnect(&pixel, KOBALT_SERVICE_AVRCP), kOk);
    timer.RunAll();
    EXPECT_EQ(media.Avrcp(C::VolumeDown), kOk); // now the other phone's link
    EXPECT_EQ(PlayerLine("00:1A:7D:DA:71:13"),
              "player 00:1A:7D:DA:71:13 stopped 1 56 \"Blinding Lights\"");
    EXPECT_THAT(media.StateLines(),
                testing::IsSupersetOf({"avrcp play", "avrcp next", "avrcp volume-down"}));
}

TEST_F(MediaPlayersFixture, PhoneButtonsNeedNoLinkAndAreNotAvrcp) {
    EXPECT_EQ(media.PhoneButton(*ParseAddress("66:55:44:33:22:11"), C::Play).Message(), "");
    EXPECT_THAT(media.PhoneButton(*ParseAddress("00:19:5D:24:8E:01"), C::Play).Message(),
                HasSubstr("no media player"));
    EXPECT_THAT(media.PhoneButton(*ParseAddress("01:02:03:04:05:06"), C::Play).Message(),
                HasSubstr("no device"));
    EXPECT_THAT(media.StateLines(),
                ElementsAre("player 66:55:44:33:22:11 playing 1 64 \"Blinding Lights\"",
                            "player 00:1A:7D:DA:71:13 stopped 1 64 \"Blinding Lights\""));
}

} // namespace
} // namespace kobalt::sim
