// Control command lines, and the word syntax they share with world files.
#include "sim/control/ControlCommand.h"
#include "sim/control/Control.h"
#include "sim/world/Words.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kobalt::sim {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

// A command as text, for comparing parses in one line.
std::string Summary(const ControlCommand& c) {
    const std::string address = c.address ? FormatAddress(*c.address) : "-";
    switch (c.kind) {
    case CommandKind::Help:
        return "help";
    case CommandKind::Devices:
        return "devices";
    case CommandKind::State:
        return "state";
    case CommandKind::Log:
        return "log";
    case CommandKind::AddDevice:
        return "add " + FormatAddress(c.device.address) + " [" + c.device.name + "] " +
               FormatServices(c.device.services) +
               (c.device.pairing == Pairing::Paired ? " paired" : " unpaired") +
               (c.device.range == Range::InRange ? " in" : " out");
    case CommandKind::RemoveDevice:
        return "remove " + address;
    case CommandKind::Range:
        return "range " + address + (c.range == Range::InRange ? " in" : " out");
    case CommandKind::Pair:
        return "pair " + address + (c.pairing == PairOutcome::Success ? " ok" : " fail");
    case CommandKind::Connect:
    case CommandKind::Disconnect:
        return std::string(c.kind == CommandKind::Connect ? "connect " : "disconnect ") + address +
               " " + std::to_string(c.service);
    case CommandKind::Ring:
        return "ring [" + c.text + "]";
    case CommandKind::Waiting:
        return "waiting [" + c.text + "]";
    case CommandKind::Text:
        return "text [" + c.text + "]";
    case CommandKind::Accept:
        return "accept";
    case CommandKind::Answer:
        return std::string("answer ") + (c.on ? "auto" : "manual");
    case CommandKind::HoldEvents:
        return std::string("hold-events ") + (c.untilUnInit ? "uninit" : c.on ? "on" : "off");
    case CommandKind::HangUp:
        return "hangup " + (c.index ? std::to_string(*c.index) : std::string("-"));
    case CommandKind::Service:
    case CommandKind::Roam:
        return std::string(c.kind == CommandKind::Service ? "service " : "roam ") +
               (c.on ? "on" : "off");
    case CommandKind::Signal:
    case CommandKind::Battery:
        return std::string(c.kind == CommandKind::Signal ? "signal " : "battery ") +
               std::to_string(c.level);
    case CommandKind::SignalStorm:
        return "signal-storm " + std::to_string(c.count);
    case CommandKind::Volume:
        return std::string(c.on ? "volume speaker " : "volume mic ") + std::to_string(c.level);
    case CommandKind::Pim:
        return "pim " + std::to_string(static_cast<int>(c.pim.kind));
    case CommandKind::Player:
        return "player " + address + " " + std::string(PlayerCommandName(c.player));
    case CommandKind::Fail:
        return "fail " + std::string(ApiName(c.api)) +
               (c.failMode == FailMode::Always ? " always"
                : c.failMode == FailMode::Off  ? " off"
                                               : " next " + std::to_string(c.count));
    }
    return "?";
}

TEST(ControlCommand, WellFormedLines) {
    struct Row {
        std::string_view line;
        std::string_view parsed;
    };
    const Row rows[] = {
        {"help", "help"},
        {"  state  # what is up\r", "state"},
        {"add-device 11:22:33:44:55:66 \"My \\\"Phone\\\"\" hf,a2dp",
         "add 11:22:33:44:55:66 [My \"Phone\"] hf,a2dp unpaired in"},
        {"add-device 11:22:33:44:55:66 \"\" none out-of-range paired",
         "add 11:22:33:44:55:66 [] none paired out"},
        {"add-device 11:22:33:44:55:66 Word spp", "add 11:22:33:44:55:66 [Word] spp unpaired in"},
        {"remove-device all", "remove -"},
        {"remove-device 11:22:33:44:55:66", "remove 11:22:33:44:55:66"},
        {"range 11:22:33:44:55:66 out", "range 11:22:33:44:55:66 out"},
        {"pair 11:22:33:44:55:66 fail", "pair 11:22:33:44:55:66 fail"},
        {"connect none hf", "connect - 1"},
        {"connect 11:22:33:44:55:66 streaming", "connect 11:22:33:44:55:66 6"},
        {"connect 11:22:33:44:55:66 avrcp-target", "connect 11:22:33:44:55:66 4364"},
        {"disconnect 11:22:33:44:55:66 avrcp", "disconnect 11:22:33:44:55:66 4366"},
        {"disconnect none -32768", "disconnect - -32768"},
        {"disconnect none 65535", "disconnect - -1"},
        {"disconnect none 0x110e", "disconnect - 4366"},
        {"fail KOBALT_Connect", "fail KOBALT_Connect next 1"},
        {"fail HFAP_Dial 3", "fail KOBALT_HFAP_Dial next 3"},
        {"fail KOBALT_Init 0", "fail KOBALT_Init next 0"},
        {"fail KOBALT_Init always", "fail KOBALT_Init always"},
        {"fail KOBALT_Init off", "fail KOBALT_Init off"},
        {"ring +4930123", "ring [+4930123]"},
        {"waiting \"0800 123\"", "waiting [0800 123]"},
        {"accept", "accept"},
        {"answer manual", "answer manual"},
        {"answer auto", "answer auto"},
        {"hangup", "hangup -"},
        {"hangup 2", "hangup 2"},
        {"service off", "service off"},
        {"roam on", "roam on"},
        {"signal 0", "signal 0"},
        {"signal-storm 1000000", "signal-storm 1000000"},
        {"volume speaker 15", "volume speaker 15"},
        {"volume mic 0", "volume mic 0"},
        {"battery 5", "battery 5"},
        {"text \"\"", "text []"},
        {"text \"Orange F\"", "text [Orange F]"},
        {"player 11:22:33:44:55:66 previous", "player 11:22:33:44:55:66 previous"},
        {"player 11:22:33:44:55:66 volume-up", "player 11:22:33:44:55:66 volume-up"},
    };
    for (const Row& row : rows) {
        const ControlParse parse = ParseControlCommand(row.line);
        ASSERT_TRUE(parse.command.has_value()) << row.line << ": " << parse.problem;
        EXPECT_EQ(Summary(*parse.command), row.parsed) << row.line;
    }
}

TEST(ControlCommand, MalformedLinesSayWhy) {
    struct Row {
        std::string_view line;
        std::string_view problem;
    };
    const Row rows[] = {
        {"", "empty command"},
        {"# only a comment", "empty command"},
        {"Devices", "unknown command 'Devices'"},
        {"state please", "usage: state"},
        {"add-device 11:22:33:44:55:66", "expected ADDR"},
        {"add-device 11:22:33:44:55:66 \"x\" hf paired nearby", "unexpected 'nearby'"},
        {"remove-device", "usage: remove-device ADDR|all"},
        {"remove-device none", "or all"},
        {"range all out", "not an address"},
        {"range 11:22:33:44:55:66", "usage: range ADDR in|out"},
        {"range 11:22:33:44:55:66 In", "expected in or out"},
        {"pair 11:22:33:44:55:66 yes", "expected ok or fail"},
        {"answer", "usage: answer auto|manual"},
        {"answer Auto", "expected auto or manual, found 'Auto'"},
        {"answer auto now", "usage: answer auto|manual"},
        {"connect 11:22:33:44:55:66", "usage: connect"},
        {"connect all hf", "not an address"},
        {"connect none HF", "unknown service 'HF'"},
        {"connect none 65536", "unknown service"},
        {"connect none -32769", "unknown service"},
        {"player 11:22:33:44:55:66", "usage: player ADDR"},
        {"player none play", "not an address"},
        {"player 11:22:33:44:55:66 rewind", "found 'rewind'"},
        {"connect none 0x10000", "unknown service"},
        {"connect none 0x-1", "unknown service"},
        {"connect none 12abc", "unknown service"},
        {"fail", "usage: fail"},
        {"fail KOBALT_Nothing", "no entry point named 'KOBALT_Nothing'"},
        {"fail kobalt_init", "no entry point"},
        {"fail KOBALT_Init 4294967296", "expected a count"},
        {"fail KOBALT_Init never", "expected a count"},
        {"pair \"11:22:33:44:55:66 ok", "closing quote"},
        {"ring", "usage: ring NUMBER"},
        {"ring \"\"", "the number is empty"},
        {"waiting 1 2", "usage: waiting NUMBER"},
        {"accept now", "usage: accept"},
        {"hangup 0", "the call index must be 1 to 99"},
        {"hangup x", "the call index"},
        {"service yes", "expected on or off"},
        {"signal 6", "the level must be 0 to 5, found '6'"},
        {"signal-storm 0", "the event count must be 1 to 1000000, found '0'"},
        {"signal-storm 1000001", "the event count must be 1 to 1000000"},
        {"signal-storm", "usage: signal-storm COUNT"},
        {"volume speaker 16", "the gain must be 0 to 15, found '16'"},
        {"volume left 3", "expected speaker or mic, found 'left'"},
        {"volume mic", "usage: volume speaker|mic 0..15"},
        {"battery -1", "the level must be 0 to 5"},
        {"signal 3x", "the level"},
        {"text", "usage: text"},
    };
    for (const Row& row : rows) {
        const ControlParse parse = ParseControlCommand(row.line);
        EXPECT_FALSE(parse.command.has_value()) << row.line;
        EXPECT_THAT(parse.problem, HasSubstr(row.problem)) << row.line;
        EXPECT_EQ(parse.problem.find('\n'), std::string::npos) << "one line: " << row.line;
    }
}

TEST(Words, QuotingReadsBackAsTheSameWord) {
    const std::string words[] = {"hf",          "",      "two words",     "quote\"",
                                 "back\\slash", "#hash", "tab\tcr\rlf\n", "宋体"};
    for (const std::string& word : words) {
        const SplitResult split = SplitWords("x " + QuoteIfNeeded(word) + " y");
        EXPECT_EQ(split.problem, "") << word;
        EXPECT_THAT(split.words, ElementsAre("x", word, "y"));
    }
    EXPECT_EQ(QuoteIfNeeded("a2dp,hf"), "a2dp,hf") << "plain words stay plain";
    EXPECT_EQ(QuoteIfNeeded("a b"), "\"a b\"");
}

TEST(Words, HashStartsACommentOnlyOutsideText) {
    EXPECT_THAT(SplitWords("a \"b # c\" # d").words, ElementsAre("a", "b # c"));
    EXPECT_THAT(SplitWords("a#b").words, ElementsAre("a"));
    EXPECT_THAT(SplitWords("\"a\"# b").words, ElementsAre("a"));
}

// A quoted word may decode to any byte; a reason that repeats it must still be one line of
// the answer, with nothing a terminal would act on.
TEST(ControlReplyText, AReasonIsOneLineWithoutControlCharacters) {
    const ControlParse parse = ParseControlCommand("\"a\\nb\\rc\\td\"");
    ASSERT_FALSE(parse.command);
    const std::string text = ControlReply{parse.problem, {}}.Text();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_TRUE(std::none_of(text.begin(), text.end() - 1, [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    })) << text;
    EXPECT_EQ(ControlReply({"", {"line"}}).Text(), "ok\nline\n");
}

} // namespace
} // namespace kobalt::sim
