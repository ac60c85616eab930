// The phone as the library runs it: the session gate, events through the real event thread,
// timers, the call log, and a storm of indicator events.
#include "sim/phone/Phone.h"
#include "sim/radio/Dispatcher.h"

#include "ProfileFakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kobalt::sim {
namespace {

using fakes::ManualTimer;
using testing::ElementsAre;
using testing::IsEmpty;

// Hands-free callbacks as "code" or "code:text" or "code:&level", in the order made.
struct HfRecorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;
};
HfRecorder& g_hf = *new HfRecorder;

int OnHf(uint32_t code, intptr_t data) {
    std::string line = std::to_string(code);
    if (code == 17 || code == 18) {
        line += ":&" + std::to_string(*reinterpret_cast<const uint8_t*>(data));
    } else if (data != 0) {
        line += ":" + std::string(reinterpret_cast<const char*>(data));
    }
    {
        std::lock_guard lock(g_hf.mutex);
        g_hf.lines.push_back(std::move(line));
    }
    g_hf.changed.notify_all();
    return 0;
}

bool WaitForLines(std::size_t count) {
    std::unique_lock lock(g_hf.mutex);
    return g_hf.changed.wait_for(lock, std::chrono::seconds(30),
                                 [&] { return g_hf.lines.size() >= count; });
}

std::vector<std::string> Lines() {
    std::lock_guard lock(g_hf.mutex);
    return g_hf.lines;
}

struct PhoneFixture : testing::Test {
    void SetUp() override {
        std::lock_guard lock(g_hf.mutex);
        g_hf.lines.clear();
    }
    // The event thread ends before the phone whose interned texts its callbacks read.
    void TearDown() override { eventsOwner.reset(); }
    void Connect() { phone.SessionChanged(HfSession{true, true, OnHf, {}}); }

    Trace trace{nullptr};
    std::unique_ptr<Dispatcher> eventsOwner = std::make_unique<Dispatcher>(trace);
    Dispatcher& events = *eventsOwner;
    ManualTimer timer;
    CallHistory history;
    Phone phone{events, timer, history};
};

TEST_F(PhoneFixture, EverythingNeedsARunningStackAndAnHfLink) {
    EXPECT_EQ(phone.Dial("100", 3), kErrNotInitialised);
    EXPECT_EQ(phone.Ring("200").Message(), "stack not initialised");
    phone.SessionChanged(HfSession{true, false, OnHf, {}});
    EXPECT_EQ(phone.Dial("100", 3), kErrNotConnected);
    EXPECT_EQ(phone.Dial(nullptr, 3), kErrNotConnected);
    EXPECT_EQ(phone.AudioStatus(), kErrNotConnected);
    EXPECT_EQ(phone.SetMic(Mic::Muted), kErrNotConnected);
    EXPECT_EQ(phone.Indicator(HfCode::Signal, 3).Message(), "no hands-free connection");
    EXPECT_EQ(phone.CurrentCalls(), kErrNotConnected);
    EXPECT_THAT(phone.StateLines(), ElementsAre("audio phone", "mic unmuted"));
}

TEST_F(PhoneFixture, DialTakesTheShorterOfTerminatorAndLength) {
    Connect();
    EXPECT_EQ(phone.Dial("12345", 3), kOk);
    EXPECT_EQ(phone.HangUp(), kOk);
    EXPECT_EQ(phone.Dial("678", 50), kOk);
    EXPECT_EQ(phone.HangUp(), kOk);
    EXPECT_EQ(phone.Dial("9", 0), kErrBadArgument);
    EXPECT_EQ(phone.Dial("9", -1), kErrBadArgument);
    EXPECT_EQ(phone.Dial(nullptr, 1), kErrBadArgument);
    EXPECT_THAT(phone.StateLines(),
                ElementsAre("audio phone", "mic unmuted", "dialled 123", "dialled 678"));
}

TEST_F(PhoneFixture, LinkLossEndsCallsSilentlyIntoTheLog) {
    Connect();
    ASSERT_EQ(phone.Ring("200").Message(), "");
    ASSERT_EQ(phone.Answer(), kOk);
    ASSERT_EQ(phone.Waiting("300").Message(), "");
    ASSERT_TRUE(WaitForLines(5)); // 8, 11, 6, 3, 23
    phone.SessionChanged(HfSession{true, false, OnHf, {}});
    timer.RunAll(); // the ended calls' timers find nothing
    phone.SessionChanged(HfSession{true, true, OnHf, {}});
    ASSERT_EQ(phone.Indicator(HfCode::ServiceOn).Message(), ""); // a sentinel behind anything stray
    ASSERT_TRUE(WaitForLines(6));
    EXPECT_THAT(Lines(), ElementsAre("8", "11:200", "6", "3", "23:300", "15"));
    std::vector<std::string> log;
    for (const CallRecord& record : history.Records()) {
        log.push_back(std::to_string(static_cast<int>(record.kind)) + " " + record.number);
    }
    EXPECT_THAT(log, ElementsAre("0 200", "2 300")); // Incoming, Missed
    EXPECT_THAT(phone.StateLines(), ElementsAre("audio phone", "mic unmuted"));
}

TEST_F(PhoneFixture, UnansweredRingBecomesAMissedCall) {
    Connect();
    ASSERT_EQ(phone.Ring("200").Message(), "");
    // Ring again, then time out (the manual timer runs them in the order given), then the
    // repeat scheduled by the first repeat finds no call.
    timer.RunAll();
    ASSERT_TRUE(WaitForLines(5));
    EXPECT_THAT(Lines(), ElementsAre("8", "11:200", "8", "11:200", "5"));
    ASSERT_EQ(history.Size(), 1u);
    EXPECT_EQ(history.Records()[0].kind, CallKind::Missed);
    EXPECT_EQ(history.Records()[0].number, "200");
}

TEST_F(PhoneFixture, EveryFinishedCallIsLoggedWithItsKind) {
    Connect();
    ASSERT_EQ(phone.Dial("100", 3), kOk);
    ASSERT_EQ(phone.HangUp(), kOk); // unanswered outgoing: still an outgoing call
    ASSERT_EQ(phone.Ring("200").Message(), "");
    ASSERT_EQ(phone.Answer(), kOk);
    ASSERT_EQ(phone.FarEndHangsUp(std::nullopt).Message(), "");
    ASSERT_EQ(phone.Ring("300").Message(), "");
    ASSERT_EQ(phone.HangUp(), kOk); // rejected
    std::vector<CallKind> kinds;
    for (const CallRecord& record : history.Records()) {
        kinds.push_back(record.kind);
    }
    EXPECT_THAT(kinds, ElementsAre(CallKind::Outgoing, CallKind::Incoming, CallKind::Missed));
}

TEST_F(PhoneFixture, StormOfIndicatorsArrivesInOrderWithBoundedTexts) {
    Connect();
    constexpr std::size_t kEvents = 100000;
    const std::string operators[] = {"Orange", "Vodafone", "中国移动"};
    std::vector<std::string> expected;
    expected.reserve(kEvents);
    for (std::size_t i = 0; i < kEvents; ++i) {
        switch (i % 4) {
        case 0:
            ASSERT_EQ(phone.Indicator(HfCode::Signal, int(i % 6)).Message(), "");
            expected.push_back("17:&" + std::to_string(i % 6));
            break;
        case 1:
            ASSERT_EQ(phone.Indicator(HfCode::Battery, int(i % 5)).Message(), "");
            expected.push_back("18:&" + std::to_string(i % 5));
            break;
        case 2:
            ASSERT_EQ(phone.OperatorText(operators[i % 3]).Message(), "");
            expected.push_back("21:" + operators[i % 3]);
            break;
        default:
            ASSERT_EQ(phone.Indicator(i % 8 == 3 ? HfCode::Roaming : HfCode::Home).Message(), "");
            expected.push_back(i % 8 == 3 ? "19" : "20");
            break;
        }
    }
    ASSERT_TRUE(WaitForLines(kEvents));
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), kEvents);
    for (std::size_t i = 0; i < kEvents; ++i) {
        ASSERT_EQ(lines[i], expected[i]) << "event " << i;
    }
    EXPECT_EQ(phone.InternedTexts(), 3u);
}

TEST_F(PhoneFixture, SignalStormCyclesTheLevelsInOrder) {
    EXPECT_EQ(phone.SignalStorm(3).Message(), "stack not initialised");
    Connect();
    ASSERT_EQ(phone.SignalStorm(13).Message(), "");
    ASSERT_TRUE(WaitForLines(13));
    EXPECT_THAT(Lines(), ElementsAre("17:&0", "17:&1", "17:&2", "17:&3", "17:&4", "17:&5", "17:&0",
                                     "17:&1", "17:&2", "17:&3", "17:&4", "17:&5", "17:&0"));
}

// A storm longer than the batches the phone queues its events in: every event arrives once and
// in order, the last partial batch included, and an event posted on its own before or after the
// storm keeps its place.
TEST_F(PhoneFixture, LongSignalStormArrivesWholeAndInOrderBetweenSingleEvents) {
    Connect();
    constexpr std::size_t kStorm = 600; // two full batches and part of a third
    ASSERT_EQ(phone.Indicator(HfCode::Battery, 2).Message(), "");
    ASSERT_EQ(phone.SignalStorm(kStorm).Message(), "");
    ASSERT_EQ(phone.Indicator(HfCode::Battery, 4).Message(), "");
    ASSERT_TRUE(WaitForLines(kStorm + 2));
    // Nothing more comes after the last one.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), kStorm + 2);
    EXPECT_EQ(lines.front(), "18:&2");
    EXPECT_EQ(lines.back(), "18:&4");
    for (std::size_t i = 0; i < kStorm; ++i) {
        ASSERT_EQ(lines[i + 1], "17:&" + std::to_string(i % 6)) << "event " << i;
    }
}

} // namespace
} // namespace kobalt::sim
