// The stack's lifecycle:
//
// ```mermaid
// stateDiagram-v2
//     [*] --> Uninitialised
//     Uninitialised --> Ready: KOBALT_Init
//     Uninitialised --> Uninitialised: KOBALT_Init (world file malformed, kErrBadWorld)
//     Ready --> Ready: KOBALT_Init (no change)
//     Ready --> Uninitialised: KOBALT_UnInit (links and search end silently, queue dropped)
//     Uninitialised --> Uninitialised: KOBALT_UnInit (no change)
//     Ready --> Ready: Register* (recorded)
//     Uninitialised --> Uninitialised: Register* (kErrNotInitialised)
// ```
//
// Device discovery:
//
// ```mermaid
// stateDiagram-v2
//     [*] --> Idle
//     Idle --> Reporting: KOBALT_DeviceDiscovery (0)
//     Reporting --> Reporting: KOBALT_DeviceDiscovery (kErrBusy)
//     Reporting --> Reporting: step / found event for the next device in range
//     Reporting --> Idle: step, none left / finished event
//     Reporting --> Idle: KOBALT_UnInit (no event)
// ```
//
// Voice recognition:
//
// ```mermaid
// stateDiagram-v2
//     [*] --> Off
//     Off --> On: KOBALT_StartVoiceRecog (an HF link is up; else kErrNotConnected)
//     On --> Off: KOBALT_StopVoiceRecog (an HF link is up; else kErrNotConnected)
//     On --> Off: the last HF link ends, or KOBALT_UnInit
// ```
#include "sim/radio/Stack.h"

#include "sim/world/WorldFile.h"

#include "ProfileFakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>

namespace kobalt::sim {
namespace {

using fakes::ManualTimer;
using testing::ElementsAre;
using testing::IsEmpty;

// Events as text: "connect 1 66:55:44:33:22:11 5", "pair 0 ...", "found ...", "finished".
class RecordingSink : public EventSink {
public:
    void Post(const Event& event) override {
        std::visit(
            [&](const auto& e) {
                using E = std::decay_t<decltype(e)>;
                const auto addr = [](const KOBALT_BdAddr* a) {
                    return a == nullptr ? std::string("null") : FormatAddress(Address::From(*a));
                };
                if constexpr (std::is_same_v<E, ConnectEvent>) {
                    lines.push_back("connect " + std::to_string(e.connected) + " " + addr(e.addr) +
                                    " " + std::to_string(e.service));
                } else if constexpr (std::is_same_v<E, PairEvent>) {
                    lines.push_back("pair " + std::to_string(e.success) + " " + addr(e.addr));
                } else if constexpr (std::is_same_v<E, HfEvent>) {
                    lines.push_back("hf " + std::to_string(e.code));
                } else if constexpr (std::is_same_v<E, PimEvent>) {
                    lines.push_back("pim " + std::to_string(e.code));
                } else if (e.finished != 0) {
                    lines.push_back("finished");
                } else {
                    lines.push_back("found " + addr(&e.record.addr));
                }
            },
            event);
    }
    void Discard() override { ++discards; }

    std::vector<std::string> lines;
    int discards = 0;
};

// Steps run only when the test says, in the order given.
struct StackFixture : testing::Test {
    RecordingSink events;
    ManualTimer timer;
    Stack stack{events, timer};

    // Starts the stack with these device lines (world file syntax, keyword included).
    void Start(std::string_view world) {
        const WorldParse parse = ParseWorld(world);
        ASSERT_EQ(parse.line, 0) << parse.problem;
        stack.SetWorld(parse.world, WorldSource{});
        ASSERT_EQ(stack.Init(), kOk);
        ASSERT_EQ(stack.RegisterConnectCallback(OnConnectStub), kOk);
    }
    static int OnConnectStub(int, KOBALT_BdAddr*, int16_t) { return 1; }
    static int OnFoundStub(int, KOBALT_DeviceRecord) { return 0; }
};

const KOBALT_BdAddr kA = Address{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}}.ToAbi(); // 66:55:...:11
const KOBALT_BdAddr kB = Address{{0x01, 0x02, 0x03, 0x04, 0x05, 0x06}}.ToAbi(); // 06:05:...:01

int IgnoreConnect(int, KOBALT_BdAddr*, int16_t) {
    return 1;
}
int IgnorePair(int, KOBALT_BdAddr*) {
    return 1;
}
int IgnoreHf(uint32_t, intptr_t) {
    return 0;
}
void IgnoreSync(int32_t) {}
void IgnorePush(int32_t) {}

TEST_F(StackFixture, InitAndUnInitAreIdempotentWithoutCounting) {
    EXPECT_EQ(stack.State(), StackState::Uninitialised);
    EXPECT_EQ(stack.UnInit(), kOk);
    EXPECT_EQ(stack.State(), StackState::Uninitialised);
    EXPECT_EQ(stack.Init(), kOk);
    EXPECT_EQ(stack.Init(), kOk);
    EXPECT_EQ(stack.State(), StackState::Ready);
    EXPECT_EQ(stack.UnInit(), kOk);
    EXPECT_EQ(stack.State(), StackState::Uninitialised) << "one UnInit ends two Init calls";
}

TEST_F(StackFixture, RegistrationIsRefusedAndNotRecordedWhileUninitialised) {
    EXPECT_EQ(stack.RegisterConnectCallback(IgnoreConnect), kErrNotInitialised);
    EXPECT_EQ(stack.RegisterPairCallback(IgnorePair), kErrNotInitialised);
    EXPECT_EQ(stack.RegisterHfCallback(IgnoreHf), kErrNotInitialised);
    EXPECT_EQ(stack.RegisterPimCallback(IgnoreSync), kErrNotInitialised);
    stack.Init();
    const Callbacks callbacks = stack.GetCallbacks();
    EXPECT_EQ(callbacks.connect, nullptr);
    EXPECT_EQ(callbacks.pair, nullptr);
    EXPECT_EQ(callbacks.hf, nullptr);
    EXPECT_EQ(callbacks.pim, nullptr);
}

TEST_F(StackFixture, RegistrationsSurviveARestart) {
    stack.Init();
    ASSERT_EQ(stack.RegisterConnectCallback(IgnoreConnect), kOk);
    ASSERT_EQ(stack.RegisterPairCallback(IgnorePair), kOk);
    ASSERT_EQ(stack.RegisterHfCallback(IgnoreHf), kOk);
    ASSERT_EQ(stack.RegisterPimCallback(IgnoreSync), kOk);
    stack.UnInit();
    stack.Init();
    const Callbacks callbacks = stack.GetCallbacks();
    EXPECT_EQ(callbacks.connect, &IgnoreConnect);
    EXPECT_EQ(callbacks.pair, &IgnorePair);
    EXPECT_EQ(callbacks.hf, &IgnoreHf);
    EXPECT_EQ(callbacks.pim, &IgnoreSync);
}

TEST_F(StackFixture, PimRegistrationReplacesAndNullRemoves) {
    stack.Init();
    stack.RegisterPimCallback(IgnoreSync);
    stack.RegisterPimCallback(IgnorePush);
    EXPECT_EQ(stack.GetCallbacks().pim, &IgnorePush);
    stack.RegisterConnectCallback(IgnoreConnect);
    EXPECT_EQ(stack.RegisterConnectCallback(nullptr), kOk);
    EXPECT_EQ(stack.GetCallbacks().connect, nullptr);
    EXPECT_EQ(stack.GetCallbacks().pim, &IgnorePush) << "other registrations stay";
}

TEST_F(StackFixture, IntegrationModeIsRecordedInAnyStateAndKept) {
    EXPECT_EQ(stack.IntegrationMode(), 0);
    EXPECT_EQ(stack.SetIntegrateTL(2), kOk);
    stack.Init();
    EXPECT_EQ(stack.IntegrationMode(), 2);
    EXPECT_EQ(stack.SetIntegrateTL(1), kOk);
    stack.UnInit();
    EXPECT_EQ(stack.IntegrationMode(), 1);
}

TEST_F(StackFixture, MalformedWorldKeepsTheStackDown) {
    stack.SetWorld({}, WorldSource{WorldSource::Kind::Malformed, "w", "w:3: bad"});
    EXPECT_EQ(stack.Init(), kErrBadWorld);
    EXPECT_EQ(stack.State(), StackState::Uninitialised);
}

TEST_F(StackFixture, DiscoveryLooksAtTheWorldAsEachStepRuns) {
    Start("device 66:55:44:33:22:11 A hf\n"
          "device 06:05:04:03:02:01 B hf out-of-range\n"
          "device 01:01:01:01:01:01 C hf\n");
    ASSERT_EQ(stack.DeviceDiscovery(OnFoundStub), kOk);
    EXPECT_THAT(events.lines, IsEmpty()) << "nothing is reported from inside the call";
    ASSERT_TRUE(timer.RunNext());
    ASSERT_TRUE(stack.SetRange(Address::From(kB), Range::InRange).Ok());
    ASSERT_TRUE(timer.RunNext());
    ASSERT_TRUE(stack.RemoveDevice(*ParseAddress("01:01:01:01:01:01")).Ok());
    timer.RunAll();
    EXPECT_THAT(events.lines,
                ElementsAre("found 66:55:44:33:22:11", "found 06:05:04:03:02:01", "finished"));
    EXPECT_THAT(timer.delays, testing::Each(kDiscoveryStepDelay));
    EXPECT_EQ(stack.DeviceDiscovery(OnFoundStub), kOk) << "a new search after the end";
}

TEST_F(StackFixture, AnAnswerToAnEarlierRequestNeverCompletesALaterOne) {
    Start("device 66:55:44:33:22:11 A hf\n");
    ASSERT_EQ(stack.Connect(&kA, KOBALT_SERVICE_HF), kOk);
    ASSERT_EQ(stack.RemoteDisconnect(Address::From(kA), KOBALT_SERVICE_HF).Message(), "");
    ASSERT_EQ(stack.Connect(&kA, KOBALT_SERVICE_HF), kOk);
    ASSERT_TRUE(timer.RunNext()); // the first request's answer
    EXPECT_FALSE(stack.IsConnected(&kA, KOBALT_SERVICE_HF));
    ASSERT_TRUE(timer.RunNext());
    EXPECT_TRUE(stack.IsConnected(&kA, KOBALT_SERVICE_HF));
    EXPECT_THAT(events.lines,
                ElementsAre("connect 0 66:55:44:33:22:11 1", "connect 1 66:55:44:33:22:11 1"));
    EXPECT_THAT(timer.delays, ElementsAre(kConnectDelay, kConnectDelay));
}

TEST_F(StackFixture, UnInitEndsLinksAndSearchSilently) {
    Start("device 66:55:44:33:22:11 A hf,spp\n");
    ASSERT_EQ(stack.RemoteConnect(Address::From(kA), KOBALT_SERVICE_SPP).Message(), "");
    ASSERT_EQ(stack.Connect(&kA, KOBALT_SERVICE_HF), kOk);
    ASSERT_EQ(stack.DeviceDiscovery(OnFoundStub), kOk);
    events.lines.clear();
    stack.UnInit();
    EXPECT_EQ(events.discards, 1);
    ASSERT_EQ(stack.Init(), kOk);
    timer.RunAll();
    EXPECT_THAT(events.lines, IsEmpty()) << "steps of the stopped stack do nothing";
    EXPECT_FALSE(stack.IsConnected(&kA, KOBALT_SERVICE_SPP));
    EXPECT_FALSE(stack.IsConnected(&kA, KOBALT_SERVICE_HF));
    EXPECT_EQ(stack.DeviceDiscovery(OnFoundStub), kOk) << "the old search is over";
}

TEST_F(StackFixture, EachSppConnectionTakesTheLowestFreePortAndTheLatestIsReported) {
    Start("device 66:55:44:33:22:11 A spp\n"
          "device 06:05:04:03:02:01 B spp\n"
          "device 01:01:01:01:01:01 C spp\n");
    const Address c = *ParseAddress("01:01:01:01:01:01");
    EXPECT_EQ(stack.GetClientPort(), 0);
    ASSERT_TRUE(stack.RemoteConnect(Address::From(kA), KOBALT_SERVICE_SPP).Ok());
    EXPECT_EQ(stack.GetClientPort(), kFirstSppPort);
    ASSERT_TRUE(stack.RemoteConnect(Address::From(kB), KOBALT_SERVICE_SPP).Ok());
    EXPECT_EQ(stack.GetClientPort(), kFirstSppPort + 1);
    ASSERT_TRUE(stack.RemoteDisconnect(Address::From(kA), KOBALT_SERVICE_SPP).Ok());
    EXPECT_EQ(stack.GetClientPort(), kFirstSppPort + 1);
    ASSERT_TRUE(stack.RemoteConnect(c, KOBALT_SERVICE_SPP).Ok());
    EXPECT_EQ(stack.GetClientPort(), kFirstSppPort) << "the freed port is taken again";
    EXPECT_THAT(stack.StateLines(), testing::Contains("connected 06:05:04:03:02:01 spp port 4"));
}

TEST_F(StackFixture, DisconnectKeepsTheLinkUpUntilThePhoneReleasesIt) {
    Start("device 66:55:44:33:22:11 A hf\n");
    ASSERT_TRUE(stack.RemoteConnect(Address::From(kA), KOBALT_SERVICE_HF).Ok());
    ASSERT_EQ(stack.StartVoiceRecog(), kOk);
    ASSERT_EQ(stack.Disconnect(&kA, KOBALT_SERVICE_HF), kOk);
    EXPECT_TRUE(stack.IsConnected(&kA, KOBALT_SERVICE_HF));
    EXPECT_EQ(stack.Connect(&kA, KOBALT_SERVICE_HF), kErrBusy);
    EXPECT_THAT(stack.StateLines(), testing::Contains("disconnecting 66:55:44:33:22:11 hf"));
    timer.RunAll();
    EXPECT_FALSE(stack.IsConnected(&kA, KOBALT_SERVICE_HF));
    EXPECT_THAT(stack.StateLines(), testing::Contains("voice-recognition off"));
    EXPECT_EQ(stack.StopVoiceRecog(), kErrNotConnected);
}

TEST_F(StackFixture, WithoutACallbackTheStateStillChanges) {
    Start("device 66:55:44:33:22:11 A hf\n");
    ASSERT_EQ(stack.RegisterConnectCallback(nullptr), kOk);
    ASSERT_EQ(stack.Connect(&kA, KOBALT_SERVICE_HF), kOk);
    timer.RunAll();
    EXPECT_TRUE(stack.IsConnected(&kA, KOBALT_SERVICE_HF));
    EXPECT_THAT(events.lines, IsEmpty());
}

} // namespace
} // namespace kobalt::sim
