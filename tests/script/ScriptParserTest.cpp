#include "frontend/script/ScriptParser.h"
#include "frontend/common/ScriptText.h"

#include <gtest/gtest.h>

namespace kobalt::script {
namespace {

// One command in a canonical form, so a table row can say everything that was parsed.
std::string Render(const Command& c) {
    std::string out;
    auto texts = [&c] {
        std::string s;
        for (const std::u16string& t : c.texts) {
            s += ' ' + Quoted(t);
        }
        return s;
    };
    const std::string control = DescribeControl(c.control);
    switch (c.kind) {
    case CommandKind::Press:
        return "press " + control;
    case CommandKind::Select:
        return "select " + control + ' ' + std::to_string(c.number);
    case CommandKind::Type:
        return "type " + control + texts();
    case CommandKind::Ok:
        return "ok";
    case CommandKind::Close:
        return "close";
    case CommandKind::Sleep:
        return "sleep " + std::to_string(c.number);
    case CommandKind::Power:
        return c.power == PowerAction::Suspend ? "power suspend" : "power resume";
    case CommandKind::Dump:
        return "dump";
    case CommandKind::ExpectWindow:
        return "expect window" + texts();
    case CommandKind::ExpectBox:
        return "expect box" + texts();
    case CommandKind::ExpectCaption:
        return "expect caption" + texts();
    case CommandKind::ExpectText:
        return "expect text " + control + texts();
    case CommandKind::ExpectLines:
        return "expect lines " + control + texts();
    case CommandKind::ExpectSelected:
        return "expect selected " + control + ' ' + std::to_string(c.number);
    case CommandKind::ExpectState: {
        const char* names[] = {"enabled", "disabled", "checked", "unchecked"};
        return std::string("expect ") + names[static_cast<int>(c.condition)] + ' ' + control;
    }
    case CommandKind::ExpectDebug:
        return "expect debug" + texts();
    case CommandKind::ExpectNoDebug:
        return "expect nodebug" + texts();
    case CommandKind::ExpectAudio:
        return c.audio == AudioState::On ? "expect audio on" : "expect audio off";
    case CommandKind::Phone:
        out = "phone";
        for (const std::string& w : c.words) {
            out += " [" + w + ']';
        }
        return out;
    case CommandKind::ExpectPhone:
        return "expect phone" + texts();
    }
    return "?";
}

struct GoodLine {
    const char* line;
    const char* parsed;
};

class ParsesLine : public testing::TestWithParam<GoodLine> {};

TEST_P(ParsesLine, IntoOneCommand) {
    const ParsedScript script = ParseScript(GetParam().line);
    ASSERT_TRUE(script.errors.empty()) << script.errors.front().message;
    ASSERT_EQ(script.commands.size(), 1u);
    EXPECT_EQ(Render(script.commands[0]), GetParam().parsed);
    EXPECT_EQ(script.commands[0].line, 1);
}

INSTANTIATE_TEST_SUITE_P(
    EveryForm, ParsesLine,
    testing::Values(
        GoodLine{"press 1000", "press 1000"}, GoodLine{"press \"START\"", "press \"START\""},
        GoodLine{"press \" A2DP\"", "press \" A2DP\""}, GoodLine{"press 0", "press 0"},
        GoodLine{"press 65535", "press 65535"}, GoodLine{"select 1001 3", "select 1001 3"},
        GoodLine{"select 1001 -1", "select 1001 -1"},
        GoodLine{"type 1012 \"0123\"", "type 1012 \"0123\""},
        GoodLine{"type 1012 \"\"", "type 1012 \"\""}, GoodLine{"ok", "ok"},
        GoodLine{"close", "close"}, GoodLine{"sleep 0", "sleep 0"},
        GoodLine{"sleep 2000", "sleep 2000"}, GoodLine{"power suspend", "power suspend"},
        GoodLine{"power resume", "power resume"}, GoodLine{"dump", "dump"},
        GoodLine{"expect window \"KOBALTDemo\"", "expect window \"KOBALTDemo\""},
        GoodLine{"expect box \"Load KOBALT.dll Fail\" \"ERROR\"",
                 "expect box \"Load KOBALT.dll Fail\" \"ERROR\""},
        GoodLine{"expect caption \"x\"", "expect caption \"x\""},
        GoodLine{"expect text \"SPP(3)\" \"SPP(3)\"", "expect text \"SPP(3)\" \"SPP(3)\""},
        GoodLine{"expect lines 1001", "expect lines 1001"},
        GoodLine{"expect lines 1001 \"a\" \"b\"", "expect lines 1001 \"a\" \"b\""},
        GoodLine{"expect selected 1001 -1", "expect selected 1001 -1"},
        GoodLine{"expect enabled 1000", "expect enabled 1000"},
        GoodLine{"expect disabled \"Dail\"", "expect disabled \"Dail\""},
        GoodLine{"expect checked 1048", "expect checked 1048"},
        GoodLine{"expect unchecked 1046", "expect unchecked 1046"},
        GoodLine{"expect debug \"[KOBALT][API]Ready\"", "expect debug \"[KOBALT][API]Ready\""},
        GoodLine{"expect nodebug \"KOBALT_Init Miss\"", "expect nodebug \"KOBALT_Init Miss\""},
        GoodLine{"expect audio on", "expect audio on"},
        GoodLine{"expect audio off", "expect audio off"},
        GoodLine{"phone ring \"0123\" 2", "phone [ring] [\"0123\"] [2]"},
        GoodLine{"expect phone \"dialled 123\"", "expect phone \"dialled 123\""},
        // Blanks, tabs and comments around the words.
        GoodLine{"\t press\t\t1000   ", "press 1000"},
        GoodLine{"press 1000 # the START button", "press 1000"},
        GoodLine{"press 1000#no blank needed", "press 1000"},
        GoodLine{"press \"a # b\"", "press \"a # b\""},
        GoodLine{"expect lines 1001 \"x\"# right after the text", "expect lines 1001 \"x\""},
        GoodLine{"ok\r", "ok"}));

TEST(ScriptParser, ResolvesEveryEscape) {
    const ParsedScript script =
        ParseScript(R"(type 1 "q\" b\\ t\t r\r n\n x\x41\x7f u\u5B8B\uD800")");
    ASSERT_TRUE(script.errors.empty()) << script.errors.front().message;
    EXPECT_EQ(script.commands.at(0).texts.at(0),
              u"q\" b\\ t\t r\r n\n xA\x7F u\u5B8B" + std::u16string(1, char16_t(0xD800)));
}

TEST(ScriptParser, KeepsUtf8TextAsUtf16) {
    const ParsedScript script = ParseScript("expect text 1 \"宋体 😀\"");
    ASSERT_TRUE(script.errors.empty());
    EXPECT_EQ(script.commands.at(0).texts.at(0), u"宋体 😀");
}

TEST(ScriptParser, NumbersLinesAcrossBlankAndCommentLinesAndKeepsTheSource) {
    const ParsedScript script = ParseScript("\xEF\xBB\xBF# demo\r\n"
                                            "\r\n"
                                            "  press 1000   # go\r\n"
                                            "\n"
                                            "ok");
    ASSERT_TRUE(script.errors.empty());
    ASSERT_EQ(script.commands.size(), 2u);
    EXPECT_EQ(script.commands[0].line, 3);
    EXPECT_EQ(script.commands[0].source, "press 1000   # go");
    EXPECT_EQ(script.commands[1].line, 5);
    EXPECT_EQ(script.commands[1].source, "ok");
}

TEST(ScriptParser, EmptyScriptHasNoCommands) {
    EXPECT_TRUE(ParseScript("").commands.empty());
    EXPECT_TRUE(ParseScript("\n\n# nothing\n").commands.empty());
    EXPECT_TRUE(ParseScript("\n\n# nothing\n").errors.empty());
}

struct BadLine {
    const char* line;
    const char* message; // a part of the error message
};

class RejectsLine : public testing::TestWithParam<BadLine> {};

TEST_P(RejectsLine, WithAClearMessage) {
    const ParsedScript script = ParseScript(std::string("ok\n") + GetParam().line + "\nok\n");
    ASSERT_EQ(script.errors.size(), 1u) << GetParam().line;
    EXPECT_EQ(script.errors[0].line, 2);
    EXPECT_NE(script.errors[0].message.find(GetParam().message), std::string::npos)
        << "message: " << script.errors[0].message;
    EXPECT_EQ(script.commands.size(), 2u) << "the good lines around it still parse";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RejectsLine,
    testing::Values(
        BadLine{"prss 1000", "unknown command 'prss'"},
        BadLine{"Press 1000", "unknown command 'Press'"},
        BadLine{"\"START\"", "starts with a command"}, BadLine{"press", "press: missing CONTROL"},
        BadLine{"press START", "found 'START'"},
        BadLine{"press -1", "control id -1 cannot be addressed"},
        BadLine{"press 65536", "found '65536'"}, BadLine{"press +5", "found '+5'"},
        BadLine{"press 1000 1001", "unexpected '1001' after the command"},
        BadLine{"ok now", "ok: unexpected 'now'"},
        BadLine{"press \"START", "closing quote is missing"},
        BadLine{"press \"START\\", "closing quote is missing"},
        BadLine{"press \"a\\qb\"", "unknown escape \\q"},
        BadLine{"press \"\\x4\"", "\\x needs 2 hexadecimal digits"},
        BadLine{"press \"\\u12G4\"", "\\u needs 4 hexadecimal digits"},
        BadLine{"press \"a\"\"b\"", "expected a blank after the closing quote"},
        BadLine{"press ST\"ART\"", "a quote inside the word 'ST'"},
        BadLine{"type 1012 0123", "expected the TEXT in double quotes, found '0123'"},
        BadLine{"type 1012", "type: missing the TEXT"}, BadLine{"select 1001", "missing INDEX"},
        BadLine{"select 1001 -2", "found '-2'"}, BadLine{"select 1001 one", "found 'one'"},
        BadLine{"sleep -5", "sleep: expected MS"},
        BadLine{"sleep 4294967295", "sleep: expected MS"},
        BadLine{"power off", "expected suspend or resume"},
        BadLine{"expect", "expect: missing what to expect"},
        BadLine{"expect colour 1000", "unknown expectation 'colour'"},
        BadLine{"expect \"x\"", "found the text \"x\""},
        BadLine{"expect box \"only text\"", "missing the box's CAPTION"},
        BadLine{"expect lines 1001 a", "expected a LINE in double quotes"},
        BadLine{"expect audio loud", "expected on or off"},
        BadLine{"expect enabled", "missing CONTROL"}, BadLine{"phone", "phone: missing"},
        BadLine{"press \"\x01\"", "control character 0x01"},
        BadLine{"press \"\xC3\x28\"", "not valid UTF-8"}));

TEST(ScriptParser, ReportsEveryFaultyLineInOrder) {
    const ParsedScript script = ParseScript("bogus\npress 1\nexpect\n\nok extra\n");
    ASSERT_EQ(script.errors.size(), 3u);
    EXPECT_EQ(script.errors[0].line, 1);
    EXPECT_EQ(script.errors[1].line, 3);
    EXPECT_EQ(script.errors[2].line, 5);
}

TEST(ScriptParser, QuotedTextsFromReportsParseBackToTheSameText) {
    // Dumps and reports quote desktop texts; a tester pastes them into scripts.
    const std::u16string texts[] = {
        u"plain",
        u"tab\there, line\r\nbreak",
        u"quote \" and backslash \\",
        u"escape \x1B[2J and bell \x07 and C1 \x9B",
        u"lone surrogate " + std::u16string(1, char16_t(0xDC00)) + u" end",
        u"宋体 😀",
    };
    for (const std::u16string& text : texts) {
        const ParsedScript script = ParseScript("expect text 1 " + Quoted(text));
        ASSERT_TRUE(script.errors.empty()) << Quoted(text) << ": " << script.errors[0].message;
        EXPECT_EQ(script.commands.at(0).texts.at(0), text) << Quoted(text);
    }
}

} // namespace
} // namespace kobalt::script
