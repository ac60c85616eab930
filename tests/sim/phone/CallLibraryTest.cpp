// Hands-free calls through the library as the console loads it: entry points, control commands
// as the phone's far ends, and the events the hands-free callback receives. Run with
// KOBALT_TIME_SCALE=0.01.
#include "PhoneSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace kobalt::sim::test {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::Not;

// Never destroyed: the event thread may still call it while the program exits.
struct HfRecorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines; // "8", "11:0700", "17:&4"
};
HfRecorder& g_hf = *new HfRecorder;

int OnHf(uint32_t code, intptr_t data) {
    std::string line = std::to_string(code);
    if (code == 17 || code == 18) {
        line += ":&" + std::to_string(*reinterpret_cast<const uint8_t*>(data));
    } else if (code == 10 || code == 11 || code == 21 || code == 23 || code == 26) {
        line += ":" + std::string(reinterpret_cast<const char*>(data));
    }
    {
        std::lock_guard lock(g_hf.mutex);
        g_hf.lines.push_back(std::move(line));
    }
    g_hf.changed.notify_all();
    return 1;
}

std::vector<std::string> Hf() {
    std::lock_guard lock(g_hf.mutex);
    return g_hf.lines;
}

// Waits until the recorded events satisfy `done`; false when they did not in time.
template <class Done> bool WaitHf(Done done) {
    std::unique_lock lock(g_hf.mutex);
    return g_hf.changed.wait_for(lock, kWaitLimit, [&] { return done(g_hf.lines); });
}

bool WaitHfCount(std::size_t count) {
    return WaitHf([&](const auto& lines) { return lines.size() >= count; });
}

bool WaitHfContains(const std::string& line) {
    return WaitHf([&](const auto& lines) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    });
}

void ClearHf() {
    std::lock_guard lock(g_hf.mutex);
    g_hf.lines.clear();
}

int Dial(const char* number, int length) {
    return Entry<KOBALT_Fn_HFAP_Dial>("KOBALT_HFAP_Dial")(number, length);
}

int Dtmf(int code) {
    return Entry<KOBALT_Fn_HFAP_TransmitDTMFCode>("KOBALT_HFAP_TransmitDTMFCode")(code);
}

// The state lines about calls, audio, microphone, dialled numbers and DTMF.
std::vector<std::string> CallState() {
    std::vector<std::string> lines;
    for (const std::string& line : PhoneState()) {
        for (const char* prefix : {"call ", "audio ", "mic ", "dialled ", "dtmf "}) {
            if (line.starts_with(prefix)) {
                lines.push_back(line);
            }
        }
    }
    return lines;
}

constexpr const char* kPairedPixel = "66:55:44:33:22:11 \"Pixel 7\" hf,a2dp paired";

class CallLibrary : public testing::Test {
protected:
    void SetUp() override {
        StartWithWorld({kPairedPixel});
        ASSERT_EQ(Entry<KOBALT_Fn_HFAP_RegisterCallback>("KOBALT_HFAP_RegisterCallback")(0, OnHf),
                  0);
        PhoneOk("connect 66:55:44:33:22:11 hf");
        ASSERT_TRUE(Events::WaitForCount(1));
        ClearHf();
    }
    void TearDown() override { Call("KOBALT_UnInit"); }

    // An incoming call, answered.
    static void Talking(const std::string& number) {
        PhoneOk("ring " + number);
        ASSERT_TRUE(WaitHfContains("11:" + number));
        ASSERT_EQ(Call("KOBALT_HFAP_AnswerCall"), 0);
        ASSERT_TRUE(WaitHfContains("3"));
        ClearHf();
    }
};

// First in this program: the phone remembers the last number for the library's lifetime.
TEST_F(CallLibrary, RedialBeforeAnyDialFails) {
    ASSERT_THAT(CallState(), Not(Contains(testing::StartsWith("dialled "))))
        << "this test must run before any dial of the program";
    EXPECT_EQ(Call("KOBALT_HFAP_LastNumRedial"), -13);
    EXPECT_EQ(Dial("", 0), -5);
    EXPECT_EQ(Call("KOBALT_HFAP_LastNumRedial"), -13) << "an empty dial is no last number";
    PhoneOk("service on"); // a sentinel: nothing else was sent before it
    ASSERT_TRUE(WaitHfCount(1));
    EXPECT_THAT(Hf(), ElementsAre("15"));
}

TEST_F(CallLibrary, OutgoingCallIsAnsweredThenHungUpAndRedialled) {
    ASSERT_EQ(Dial("0123456789", 10), 0);
    ASSERT_TRUE(WaitHfCount(4));
    EXPECT_THAT(Hf(), ElementsAre("7", "10:0123456789", "6", "3"));
    EXPECT_THAT(CallState(),
                testing::IsSupersetOf({"call 1 outgoing active 0123456789", "audio device"}));
    ASSERT_EQ(Call("KOBALT_HFAP_CancelCall"), 0);
    ASSERT_TRUE(WaitHfCount(6));
    ASSERT_EQ(Call("KOBALT_HFAP_LastNumRedial"), 0);
    ASSERT_TRUE(WaitHfCount(8));
    EXPECT_THAT(Hf(), ElementsAre("7", "10:0123456789", "6", "3", "5", "4", "7", "10:0123456789"));
    EXPECT_EQ(Call("KOBALT_HFAP_LastNumRedial"), -12) << "a call is in progress";
    ASSERT_EQ(Call("KOBALT_HFAP_CancelCall"), 0);
}

TEST_F(CallLibrary, DialStopsAtTheTerminatorOrTheLength) {
    ASSERT_EQ(Dial("555", 200), 0);
    ASSERT_EQ(Call("KOBALT_HFAP_CancelCall"), 0);
    ASSERT_EQ(Dial("4321", 2), 0);
    ASSERT_EQ(Call("KOBALT_HFAP_CancelCall"), 0);
    const std::vector<std::string> state = CallState();
    ASSERT_GE(state.size(), 2u);
    EXPECT_THAT(std::vector<std::string>(state.end() - 2, state.end()),
                ElementsAre("dialled 555", "dialled 43"));
}

TEST_F(CallLibrary, IncomingCallRingsUntilAnsweredThenTheFarEndHangsUp) {
    PhoneOk("ring 0700");
    ASSERT_TRUE(WaitHfCount(4)) << "the ring is reported again";
    ASSERT_EQ(Call("KOBALT_HFAP_AnswerCall"), 0);
    ASSERT_TRUE(WaitHfContains("3"));
    std::vector<std::string> lines = Hf();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_THAT(std::vector<std::string>(lines.end() - 2, lines.end()), ElementsAre("6", "3"));
    for (std::size_t i = 0; i + 2 < lines.size(); i += 2) {
        EXPECT_EQ(lines[i], "8") << i;
        EXPECT_EQ(lines[i + 1], "11:0700") << i;
    }
    ClearHf();
    PhoneOk("hangup");
    ASSERT_TRUE(WaitHfCount(2));
    EXPECT_THAT(Hf(), ElementsAre("5", "4"));
    EXPECT_EQ(Phone("hangup"), "error: no call to hang up\n");
}

TEST_F(CallLibrary, UnansweredRingEndsAsMissed) {
    PhoneOk("ring 0700");
    ASSERT_TRUE(WaitHfContains("5"));
    EXPECT_THAT(Hf(), Not(Contains("6")));
    EXPECT_THAT(Hf(), Not(Contains("4"))) << "no audio was up";
    EXPECT_THAT(CallState(), Not(Contains(testing::StartsWith("call "))));
}

TEST_F(CallLibrary, ConsoleHangsUpAnActiveCall) {
    Talking("0700");
    ASSERT_EQ(Call("KOBALT_HFAP_CancelCall"), 0);
    ASSERT_TRUE(WaitHfCount(2));
    EXPECT_THAT(Hf(), ElementsAre("5", "4"));
    EXPECT_EQ(Call("KOBALT_HFAP_CancelCall"), -12);
}

TEST_F(CallLibrary, AudioTransfersOnlyWhereItIsNot) {
    EXPECT_EQ(Call("KOBALT_HFAP_GetAudioStatus"), 0) << "no call: the audio is not here";
    EXPECT_EQ(Call("KOBALT_HFAP_Transfer"), -12);
    EXPECT_EQ(Call("KOBALT_HFAP_TransferBack"), -12);
    Talking("0700");
    EXPECT_EQ(Call("KOBALT_HFAP_GetAudioStatus"), 1);
    EXPECT_EQ(Call("KOBALT_HFAP_Transfer"), -12);
    EXPECT_EQ(Call("KOBALT_HFAP_TransferBack"), 0);
    EXPECT_EQ(Call("KOBALT_HFAP_GetAudioStatus"), 0);
    EXPECT_EQ(Call("KOBALT_HFAP_TransferBack"), -12);
    EXPECT_EQ(Call("KOBALT_HFAP_Transfer"), 0);
    ASSERT_TRUE(WaitHfCount(2));
    EXPECT_THAT(Hf(), ElementsAre("4", "3"));
}

TEST_F(CallLibrary, ThreeWayCallingThroughAWaitingCall) {
    EXPECT_EQ(Phone("waiting 0800"), "error: waiting needs one active call and no other\n");
    Talking("0700");
    EXPECT_EQ(Call("KOBALT_RejectInComingCall"), -12) << "nothing waits yet";
    PhoneOk("waiting 0800");
    ASSERT_EQ(Call("KOBALT_HoldActiveToAnswerInComing"), 0);
    EXPECT_THAT(CallState(), testing::IsSupersetOf(
                                 {"call 1 incoming held 0700", "call 2 incoming active 0800"}));
    EXPECT_EQ(Call("KOBALT_AcceptHoldInComingCall"), -12) << "another call is active";
    ASSERT_EQ(Call("KOBALT_HFAP_CancelCall"), 0);
    ASSERT_EQ(Call("KOBALT_AcceptHoldInComingCall"), 0);
    PhoneOk("waiting 0900");
    ASSERT_EQ(Call("KOBALT_ReleaseActiveToAnswerInComing"), 0);
    PhoneOk("waiting 0950");
    ASSERT_EQ(Call("KOBALT_RejectInComingCall"), 0);
    ASSERT_EQ(Call("KOBALT_HFAP_CancelCall"), 0);
    ASSERT_TRUE(WaitHfCount(10));
    EXPECT_THAT(Hf(),
                ElementsAre("23:0800", "24", "5", "24", "23:0900", "24", "23:0950", "25", "5", "4"))
        << "the audio leaves only with the last call";
}

TEST_F(CallLibrary, IncomingCallOnHoldIsAcceptedOrRejected) {
    PhoneOk("ring 0700");
    ASSERT_EQ(Call("KOBALT_HoldInComingCall"), 0);
    EXPECT_EQ(Call("KOBALT_RejectHoldInComingCall"), 0);
    EXPECT_EQ(Call("KOBALT_RejectHoldInComingCall"), -12);
    ASSERT_TRUE(WaitHfContains("25"));
    std::vector<std::string> lines = Hf();
    EXPECT_THAT(std::vector<std::string>(lines.end() - 2, lines.end()), ElementsAre("22", "25"));
}

TEST_F(CallLibrary, DtmfOnlyDuringAnActiveCallAndOnlyToneCharacters) {
    EXPECT_EQ(Dtmf('1'), -12);
    Talking("0700");
    EXPECT_EQ(Dtmf('1'), 0);
    EXPECT_EQ(Dtmf('#'), 0);
    EXPECT_EQ(Dtmf('D'), 0);
    EXPECT_EQ(Dtmf('x'), -5);
    EXPECT_EQ(Dtmf(256 + '1'), -5);
    const std::vector<std::string> state = CallState();
    ASSERT_GE(state.size(), 3u);
    EXPECT_THAT(std::vector<std::string>(state.end() - 3, state.end()),
                ElementsAre("dtmf 1", "dtmf \"#\"", "dtmf D"));
}

TEST_F(CallLibrary, MicrophoneMuteIsRecorded) {
    EXPECT_EQ(Call("KOBALT_HFAP_MuteMic"), 0);
    EXPECT_THAT(CallState(), Contains("mic muted"));
    EXPECT_EQ(Call("KOBALT_HFAP_UnmuteMic"), 0);
    EXPECT_THAT(CallState(), Contains("mic unmuted"));
}

TEST_F(CallLibrary, IndicatorsCarryTheirData) {
    for (const char* command : {"service on", "service off", "signal 4", "battery 0", "roam on",
                                "roam off", "text \"Orange F\xC3\xA9\""}) {
        PhoneOk(command);
    }
    EXPECT_EQ(Phone("signal 6"), "error: the level must be 0 to 5, found '6'\n");
    EXPECT_EQ(Phone("roam maybe"), "error: expected on or off, found 'maybe'\n");
    ASSERT_TRUE(WaitHfCount(7));
    EXPECT_THAT(Hf(), ElementsAre("15", "16", "17:&4", "18:&0", "19", "20", "21:Orange F\xC3\xA9"));
}

TEST_F(CallLibrary, GetCurrentCallsReportsEachCall) {
    EXPECT_EQ(Call("KOBALT_GetCurrentCalls"), 0);
    Talking("0700");
    PhoneOk("waiting 0800");
    ASSERT_EQ(Call("KOBALT_GetCurrentCalls"), 0);
    ASSERT_TRUE(WaitHfCount(3));
    EXPECT_THAT(Hf(),
                ElementsAre("23:0800", "26:1 incoming active 0700", "26:2 incoming waiting 0800"));
}

TEST_F(CallLibrary, LosingTheHfLinkEndsEveryCall) {
    Talking("0700");
    PhoneOk("waiting 0800");
    PhoneOk("range 66:55:44:33:22:11 out");
    EXPECT_THAT(CallState(), Not(Contains(testing::StartsWith("call "))));
    EXPECT_THAT(CallState(), Contains("audio phone"));
    EXPECT_EQ(Call("KOBALT_HFAP_AnswerCall"), -10);
    EXPECT_EQ(Call("KOBALT_HFAP_GetAudioStatus"), -10);
    EXPECT_EQ(Phone("ring 0700"), "error: no hands-free connection\n");
    EXPECT_EQ(Phone("signal 3"), "error: no hands-free connection\n");
    PhoneOk("range 66:55:44:33:22:11 in");
    PhoneOk("connect 66:55:44:33:22:11 hf");
    PhoneOk("service on"); // a sentinel behind anything the lost calls might have sent
    ASSERT_TRUE(WaitHfContains("15"));
    EXPECT_THAT(Hf(), ElementsAre("23:0800", "15"));
}

// The console's answer mode changed while the library runs: `accept` answers in manual mode,
// and switching to auto answers a call that alerts already.
TEST_F(CallLibrary, AnswerModeChangedWhileRunning) {
    EXPECT_EQ(PhoneOk("answer manual"), "answer manual: the called party answers on accept\n");
    ASSERT_EQ(Dial("0600", 4), 0);
    ASSERT_TRUE(WaitHfCount(2));
    EXPECT_EQ(Phone("accept"), "ok\n0600 answered call 1\n");
    ASSERT_TRUE(WaitHfCount(4));
    EXPECT_THAT(Hf(), ElementsAre("7", "10:0600", "6", "3"));
    ASSERT_EQ(Call("KOBALT_HFAP_CancelCall"), 0);
    ASSERT_TRUE(WaitHfCount(6));
    ClearHf();

    ASSERT_EQ(Dial("0601", 4), 0);
    const auto alerting = [] {
        const std::vector<std::string> state = CallState();
        return std::find(state.begin(), state.end(), "call 1 outgoing alerting 0601") !=
               state.end();
    };
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    while (!alerting() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(alerting());
    PhoneOk("answer auto");
    ASSERT_TRUE(WaitHfCount(4)) << "the alerting call is answered once the mode is auto";
    EXPECT_THAT(Hf(), ElementsAre("7", "10:0601", "6", "3"));
    ASSERT_EQ(Call("KOBALT_HFAP_CancelCall"), 0);
}

// PIM events: the hands-free tests download the call logs to see the calls they made.
struct PimRecorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int32_t> events;
};
PimRecorder& g_pim = *new PimRecorder;

void OnPim(int32_t event) {
    {
        std::lock_guard lock(g_pim.mutex);
        g_pim.events.push_back(event);
    }
    g_pim.changed.notify_all();
}

// The numbers of call log `type` as KOBALT_PIMGetCalllogs serves them after a download.
std::vector<std::string> DownloadedNumbers(int type) {
    std::size_t seen = 0;
    {
        std::lock_guard lock(g_pim.mutex);
        seen = g_pim.events.size();
    }
    EXPECT_EQ(Entry<KOBALT_Fn_PIMRegisterCallback>("KOBALT_PIMRegisterCallback")(OnPim), 0);
    EXPECT_EQ(Entry<KOBALT_Fn_PIMStartUpdate>("KOBALT_PIMStartUpdateCalllogEx")(type), 0);
    {
        std::unique_lock lock(g_pim.mutex);
        if (!g_pim.changed.wait_for(lock, kWaitLimit, [&] { return g_pim.events.size() > seen; }) ||
            g_pim.events.back() != 5) {
            ADD_FAILURE() << "no call log downloaded";
            return {};
        }
    }
    const auto get = Entry<KOBALT_Fn_PIMGetRecords>("KOBALT_PIMGetCalllogs");
    uint32_t count = 0;
    EXPECT_EQ(get(nullptr, &count), 0);
    std::vector<unsigned char> buffer(count * KOBALT_CALLLOG_RECORD_SIZE);
    EXPECT_EQ(get(buffer.data(), &count), 0);
    std::vector<std::string> numbers;
    for (uint32_t i = 0; i < count; ++i) {
        std::string number;
        for (std::size_t unit = 0;; ++unit) {
            char16_t c = 0;
            std::memcpy(
                &c, &buffer[i * KOBALT_CALLLOG_RECORD_SIZE + KOBALT_CALLLOG_NUMBER + 2 * unit], 2);
            if (c == 0) {
                break;
            }
            number += c < 0x80 ? static_cast<char>(c) : '?';
        }
        numbers.push_back(number);
    }
    return numbers;
}

// The phone's log holds the world's older entries; the calls of this run go before them,
// newest first, as docs/phone.md says.
TEST_F(CallLibrary, CallsOfThisRunComeFirstInTheDownloadedLogs) {
    ASSERT_EQ(Dial("0200 555", 8), 0);
    ASSERT_TRUE(WaitHfContains("6"));
    ASSERT_EQ(Call("KOBALT_HFAP_CancelCall"), 0);
    ASSERT_TRUE(WaitHfContains("5"));
    ClearHf();
    PhoneOk("ring 0300");
    ASSERT_TRUE(WaitHfContains("11:0300"));
    PhoneOk("hangup");
    ASSERT_TRUE(WaitHfContains("5"));

    const std::vector<std::string> outgoing = DownloadedNumbers(1);
    ASSERT_GE(outgoing.size(), 6u);
    EXPECT_EQ(outgoing.front(), "0200 555");
    EXPECT_THAT(std::vector<std::string>(outgoing.end() - 5, outgoing.end()),
                ElementsAre("+44 7700 900123", "+44 20 7946 0018", "*86", "+1 415 555 0102",
                            "+44 7700 900001"))
        << "the built-in world's entries, newest first, after every call of this run";
    const std::vector<std::string> missed = DownloadedNumbers(2);
    ASSERT_GE(missed.size(), 4u);
    EXPECT_EQ(missed.front(), "0300");
    EXPECT_THAT(std::vector<std::string>(missed.end() - 3, missed.end()),
                ElementsAre("+44 20 7946 0321", "", "+44 7700 900999"));
}

} // namespace
} // namespace kobalt::sim::test
