// The phone's audio gateway: recorded exchanges (tests/sim/phone/ag/*.exchange), the framing of
// what a hands-free unit sends, and the calls behind AT+CHLD. The state diagram is in
// AgEngine.md beside this file.
//
// An exchange file is the gateway's log (`kobalt-phone serve-ag --log`) with the phone's side
// written in:
//   # comment                   ignored, as are blank lines
//   < LINE                      the HF sends LINE and a CR
//   > LINE                      what the gateway sends next, in order
//   ! COMMAND                   a control command (kobalt-phone COMMAND); it must succeed
//   @ MS                        the phone's clock moves MS milliseconds
//   ~ close, ~ open             the HF link closes; a new one opens
// The gateway's lines after each step must be exactly the `>` lines that follow it.
#include "AgHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kobalt::sim {
namespace {

using ag::Harness;
using testing::ElementsAre;
using testing::IsEmpty;

std::string Transcript(const std::vector<AgLine>& lines) {
    std::string text;
    for (const AgLine& line : lines) {
        text += (line.way == AgLine::Way::In ? "< " : "> ") + line.text + "\n";
    }
    return text;
}

std::vector<std::string> Sent(const std::vector<AgLine>& lines) {
    std::vector<std::string> sent;
    for (const AgLine& line : lines) {
        if (line.way == AgLine::Way::Out) {
            sent.push_back(line.text);
        }
    }
    return sent;
}

// Runs an exchange file; the transcript it made, in the file's own form, and the problems of
// steps that could not run.
struct Replay {
    std::string expected;
    std::string actual;
    std::vector<std::string> problems;
};

Replay ReplayExchange(const std::filesystem::path& path) {
    Replay replay;
    Harness harness;
    if (!harness.Started().Ok()) {
        replay.problems.push_back(harness.Started().Message());
        return replay;
    }
    std::ifstream file(path);
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        if (line.empty() || line.starts_with('#')) {
            continue;
        }
        replay.expected += line + "\n";
        const std::string step = line.size() > 2 ? line.substr(2) : std::string();
        if (line.starts_with("< ")) {
            replay.actual += Transcript(harness.Send(step + "\r"));
        } else if (line.starts_with("! ")) {
            ControlReply reply;
            const std::vector<AgLine> out = harness.Control(step, &reply);
            replay.actual += line + "\n" + Transcript(out);
            if (!reply.error.empty()) {
                replay.problems.push_back(std::to_string(number) + ": " + reply.error);
            }
        } else if (line.starts_with("@ ")) {
            replay.actual +=
                line + "\n" +
                Transcript(harness.Advance(std::chrono::milliseconds(std::stoi(step))));
        } else if (line == "~ close" || line == "~ open") {
            replay.actual += line + "\n";
            if (line == "~ close") {
                harness.Phone().LinkClosed();
            } else {
                harness.Phone().LinkOpened();
            }
        } else if (!line.starts_with("> ")) {
            replay.problems.push_back(std::to_string(number) + ": not a step: " + line);
        }
    }
    return replay;
}

class RecordedExchange : public testing::TestWithParam<std::string> {};

TEST_P(RecordedExchange, GatewayAnswersAsRecorded) {
    const std::filesystem::path path =
        std::filesystem::path(KOBALT_AG_EXCHANGES) / (GetParam() + ".exchange");
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
    const Replay replay = ReplayExchange(path);
    EXPECT_THAT(replay.problems, IsEmpty());
    EXPECT_EQ(replay.actual, replay.expected) << "in " << path;
}

INSTANTIATE_TEST_SUITE_P(Ag, RecordedExchange,
                         testing::Values("ofono_startup", "dial", "memory_dial", "redial",
                                         "incoming_clip", "answer", "reject", "dtmf",
                                         "waiting_ccwa", "three_way", "voice_recognition", "volume",
                                         "network", "cmee_errors", "reconnect"));

// Every exchange file is run: one left out of the list above would never be checked.
TEST(RecordedExchangeFiles, AreAllListed) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(KOBALT_AG_EXCHANGES)) {
        files.push_back(entry.path().stem().string());
    }
    std::sort(files.begin(), files.end());
    EXPECT_THAT(files, testing::UnorderedElementsAre(
                           "ofono_startup", "dial", "memory_dial", "redial", "incoming_clip",
                           "answer", "reject", "dtmf", "waiting_ccwa", "three_way",
                           "voice_recognition", "volume", "network", "cmee_errors", "reconnect"));
}

// Framing: what a byte stream delivers, however it is cut.

struct Framing : testing::Test {
    void SetUp() override { ASSERT_TRUE(harness.Started().Ok()) << harness.Started().Message(); }
    Harness harness;
};

TEST_F(Framing, LinesSplitAcrossWritesAndMergedInOneAnswerTheSame) {
    std::vector<AgLine> split;
    for (const char c : std::string("AT+BRSF=511\rAT+CIND?\r")) {
        const std::vector<AgLine> part = harness.Send(std::string(1, c));
        split.insert(split.end(), part.begin(), part.end());
    }
    Harness merged;
    EXPECT_EQ(Transcript(split), Transcript(merged.Send("AT+BRSF=511\rAT+CIND?\r")));
    EXPECT_EQ(Transcript(split), "< AT+BRSF=511\n> +BRSF: 999\n> OK\n"
                                 "< AT+CIND?\n> +CIND: 1,0,0,0,5,0,5\n> OK\n");
}

TEST_F(Framing, CrLfAndLfEndLinesAndEmptyLinesAreSkipped) {
    EXPECT_THAT(Sent(harness.Send("AT\r\n\r\n\nAT\n \r")), ElementsAre("OK", "OK"));
}

TEST_F(Framing, NothingIsAnsweredBeforeTheLineEnds) {
    EXPECT_THAT(harness.Send("AT+CIND"), IsEmpty());
    EXPECT_THAT(Sent(harness.Send("?\r")), ElementsAre("+CIND: 1,0,0,0,5,0,5", "OK"));
}

TEST_F(Framing, AnOverlongLineIsDroppedWholeAndAnsweredOnce) {
    const std::string longLine = "AT+VTS=" + std::string(AgEngine::kMaxLineBytes * 3, '1');
    // Delivered in pieces: the buffer never holds more than its bound.
    EXPECT_THAT(harness.Send(longLine.substr(0, 700)), IsEmpty());
    const std::vector<AgLine> out = harness.Send(longLine.substr(700) + "\rAT\r");
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].text.size(), AgEngine::kMaxLineBytes + 3); // kept part and "..."
    EXPECT_EQ(out[1].text, "ERROR");
    EXPECT_EQ(Transcript({out[2], out[3]}), "< AT\n> OK\n");
}

TEST_F(Framing, ALineOfExactlyTheBoundIsCarriedOut) {
    const std::string line = "AT" + std::string(AgEngine::kMaxLineBytes - 2, ' ');
    EXPECT_THAT(Sent(harness.Send(line + "\r")), ElementsAre("OK"));
}

TEST_F(Framing, GarbageAndNulBytesGetErrorAndTheNextLineWorks) {
    EXPECT_THAT(Sent(harness.Send(std::string("AT\0+CIND?\r", 10))), ElementsAre("ERROR"));
    EXPECT_THAT(Sent(harness.Send("\x01\xff\x7f garbage\r")), ElementsAre("ERROR"));
    EXPECT_THAT(Sent(harness.Send("+CIND?\r")), ElementsAre("ERROR")); // no AT
    EXPECT_THAT(Sent(harness.Send("AT+\r")), ElementsAre("ERROR"));
    EXPECT_THAT(Sent(harness.Send("at+cind?\r")), ElementsAre("+CIND: 1,0,0,0,5,0,5", "OK"));
}

TEST_F(Framing, OutputIsFramedCrLfOnBothSides) {
    EXPECT_EQ(AgEngine::Frame(harness.Send("AT+BRSF=0\r")), "\r\n+BRSF: 999\r\n\r\nOK\r\n");
}

TEST_F(Framing, SeveralCommandsOnOneLineStopAtTheFirstFailure) {
    harness.Send("AT+CMEE=1\r");
    // The second fails: the third is not carried out, and one final result ends the line.
    EXPECT_THAT(Sent(harness.Send("AT+VGS=3;+VGS=99;+VGM=4\r")), ElementsAre("+CME ERROR: 50"));
    EXPECT_THAT(Sent(harness.Send("AT+VGS?;+VGM?\r")), ElementsAre("+VGS: 3", "+VGM: 7", "OK"));
}

// Numbers that reach the link come from control commands and world files: nothing in them may
// break the framing or the quoting.
TEST_F(Framing, HostileNumbersCannotInjectLines) {
    harness.Send("AT+BRSF=511\rAT+CMER=3,0,0,1\rAT+CHLD=?\rAT+CLIP=1\r");
    const std::vector<AgLine> out = harness.Control("ring \"12\\r\\nOK\\r\\n\\\"x\\\\\"");
    EXPECT_THAT(Sent(out), ElementsAre("+CIEV: 3,1", "RING", "+CLIP: \"12OKx\",129"));
}

// The calls behind AT+CHLD, checked through what the phone then lists.

struct HoldActions : testing::Test {
    void SetUp() override {
        ASSERT_TRUE(harness.Started().Ok());
        harness.Send("AT+BRSF=511\rAT+CMER=3,0,0,1\rAT+CHLD=?\rAT+CMEE=1\r");
    }
    // Two calls: 1 held (dialled 100), 2 active (waiting 200, taken).
    void ActiveAndHeld() {
        harness.Send("ATD100;\r");
        harness.Control("accept");
        harness.Control("waiting 200");
        harness.Send("AT+CHLD=2\r");
    }
    std::vector<std::string> Clcc() { return Sent(harness.Send("AT+CLCC\r")); }
    std::vector<std::string> Chld(const std::string& value) {
        return Sent(harness.Send("AT+CHLD=" + value + "\r"));
    }
    Harness harness;
};

TEST_F(HoldActions, SwapHoldAndResumeTheSameCalls) {
    ActiveAndHeld();
    EXPECT_THAT(Clcc(),
                ElementsAre("+CLCC: 1,0,1,0,0,\"100\",129", "+CLCC: 2,1,0,0,0,\"200\",129", "OK"));
    EXPECT_THAT(Chld("2"), ElementsAre("OK", "+CIEV: 4,1")); // swapped: callheld 1 again
    EXPECT_THAT(Clcc(),
                ElementsAre("+CLCC: 1,0,0,0,0,\"100\",129", "+CLCC: 2,1,1,0,0,\"200\",129", "OK"));
}

TEST_F(HoldActions, ALoneActiveCallGoesOnHoldAndComesBack) {
    harness.Send("ATD100;\r");
    harness.Control("accept");
    EXPECT_THAT(Chld("2"), ElementsAre("OK", "+CIEV: 4,2"));
    EXPECT_THAT(Chld("2"), ElementsAre("OK", "+CIEV: 4,0"));
    EXPECT_THAT(Chld("0"), ElementsAre("+CME ERROR: 3")); // nothing held or waiting
}

TEST_F(HoldActions, ReleaseActiveResumesTheHeldCall) {
    ActiveAndHeld();
    EXPECT_THAT(Chld("1"), ElementsAre("OK", "+CIEV: 4,0"));
    EXPECT_THAT(Clcc(), ElementsAre("+CLCC: 1,0,0,0,0,\"100\",129", "OK"));
}

TEST_F(HoldActions, ReleaseHeldKeepsTheActiveCall) {
    ActiveAndHeld();
    EXPECT_THAT(Chld("0"), ElementsAre("OK", "+CIEV: 4,0"));
    EXPECT_THAT(Clcc(), ElementsAre("+CLCC: 2,1,0,0,0,\"200\",129", "OK"));
}

TEST_F(HoldActions, ReleaseOneCallByIndex) {
    ActiveAndHeld();
    EXPECT_THAT(Chld("12"), ElementsAre("OK", "+CIEV: 4,2")); // the held one is left alone
    EXPECT_THAT(Chld("13"), ElementsAre("+CME ERROR: 3"));    // no call 3
    EXPECT_THAT(Chld("11"), ElementsAre("OK", "+CIEV: 2,0", "+CIEV: 4,0"));
    EXPECT_THAT(Clcc(), ElementsAre("OK"));
}

TEST_F(HoldActions, ConferencePrivateConsultationAndHangUpOfTheConference) {
    ActiveAndHeld();
    EXPECT_THAT(Chld("3"), ElementsAre("OK", "+CIEV: 4,0"));
    EXPECT_THAT(Clcc(),
                ElementsAre("+CLCC: 1,0,0,0,1,\"100\",129", "+CLCC: 2,1,0,0,1,\"200\",129", "OK"));
    EXPECT_THAT(Chld("3"), ElementsAre("+CME ERROR: 3")); // nothing held to join
    EXPECT_THAT(Chld("21"), ElementsAre("OK", "+CIEV: 4,1"));
    // Two calls cannot be a conference of one: both ordinary again.
    EXPECT_THAT(Clcc(),
                ElementsAre("+CLCC: 1,0,0,0,0,\"100\",129", "+CLCC: 2,1,1,0,0,\"200\",129", "OK"));
    EXPECT_THAT(Chld("3"), ElementsAre("OK", "+CIEV: 4,0"));
    // AT+CHUP ends the whole conference, not one member.
    EXPECT_THAT(Sent(harness.Send("AT+CHUP\r")), ElementsAre("OK", "+CIEV: 2,0"));
    EXPECT_THAT(Clcc(), ElementsAre("OK"));
}

TEST_F(HoldActions, ExplicitTransferLeavesBothCalls) {
    ActiveAndHeld();
    EXPECT_THAT(Chld("4"), ElementsAre("OK", "+CIEV: 2,0", "+CIEV: 4,0"));
    EXPECT_THAT(Clcc(), ElementsAre("OK"));
    ControlReply state;
    harness.Control("state", &state);
    EXPECT_THAT(state.lines, testing::Contains("audio phone"));
}

TEST_F(HoldActions, MalformedChldValuesAreRefusedWithoutChange) {
    ActiveAndHeld();
    for (const std::string value : {"", "5", "1x", "10", "31", "0 1", "2222", "-1"}) {
        EXPECT_THAT(Chld(value), ElementsAre("+CME ERROR: 50")) << value;
    }
    EXPECT_THAT(Clcc(),
                ElementsAre("+CLCC: 1,0,1,0,0,\"100\",129", "+CLCC: 2,1,0,0,0,\"200\",129", "OK"));
}

// DTMF reaches the phone: its state report lists what was sent.
TEST(Dtmf, TonesOfOneLineReachThePhoneInOrder) {
    Harness harness;
    ASSERT_TRUE(harness.Started().Ok());
    harness.Send("ATD100;\r");
    harness.Control("accept");
    EXPECT_THAT(Sent(harness.Send("AT+VTS=1;+VTS=#;+VTS=\"a\"\r")), ElementsAre("OK"));
    ControlReply state;
    harness.Control("state", &state);
    std::vector<std::string> tones;
    for (const std::string& line : state.lines) {
        if (line.starts_with("dtmf ")) {
            tones.push_back(line);
        }
    }
    EXPECT_THAT(tones, ElementsAre("dtmf 1", "dtmf \"#\"", "dtmf A"));
}

TEST(ServedPhone, RefusesWorldsWithoutAPhone) {
    ServedPhoneOptions options;
    options.device = ParseAddress("00:19:5D:24:8E:01"); // the built-in world's OBD adapter
    EXPECT_EQ(Harness(options).Started().Message(), "00:19:5D:24:8E:01 does not offer hf");
    options.device = ParseAddress("01:02:03:04:05:06");
    EXPECT_EQ(Harness(options).Started().Message(), "the world has no device 01:02:03:04:05:06");
    options = {};
    options.worldFile = "/nonexistent/kobalt.world";
    EXPECT_THAT(Harness(options).Started().Message(), testing::HasSubstr("cannot read"));
    options = {};
    options.worldText = "device 00:19:5D:24:8E:01 OBD spp\n";
    EXPECT_EQ(Harness(options).Started().Message(), "the world has no device offering hf");
    options.worldText = "device nonsense\n";
    EXPECT_THAT(Harness(options).Started().Message(), testing::StartsWith("world line 1: "));
}

// The phone's volume keys reach only an HF that said it has remote volume control.
TEST(Volume, KeysReachOnlyAnHfWithRemoteVolumeControl) {
    Harness harness;
    ASSERT_TRUE(harness.Started().Ok());
    harness.Send("AT+BRSF=0\rAT+CMER=3,0,0,1\r"); // no three-way calling: the SLC is up
    EXPECT_THAT(harness.Control("volume speaker 4"), IsEmpty());
    EXPECT_THAT(Sent(harness.Send("AT+VGS?\r")), ElementsAre("+VGS: 4", "OK"));
    harness.Send("AT+BRSF=16\rAT+CMER=3,0,0,1\r");
    EXPECT_THAT(Sent(harness.Control("volume mic 12")), ElementsAre("+VGM: 12"));
}

} // namespace
} // namespace kobalt::sim
