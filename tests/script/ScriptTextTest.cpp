#include "frontend/common/ScriptText.h"

#include <gtest/gtest.h>

namespace kobalt::script {
namespace {

TEST(Utf8ToUtf16, DecodesEveryLength) {
    EXPECT_EQ(Utf8ToUtf16("A\xC3\xA9\xE5\xAE\x8B\xF0\x9F\x98\x80"), u"A\u00E9\u5B8B\U0001F600");
    EXPECT_EQ(Utf8ToUtf16(""), u"");
    EXPECT_EQ(Utf8ToUtf16(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(Utf8ToUtf16, RejectsMalformedInput) {
    const char* bad[] = {
        "\x80",             // a lone continuation byte
        "\xC3",             // truncated
        "\xE5\xAE",         // truncated
        "\xC0\x80",         // overlong NUL
        "\xE0\x80\xAF",     // overlong '/'
        "\xED\xA0\x80",     // an encoded surrogate
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\xF8\x88\x80\x80", // five-byte lead
        "\xC3\x28",         // continuation missing
    };
    for (const char* text : bad) {
        EXPECT_FALSE(Utf8ToUtf16(text)) << testing::PrintToString(text);
    }
}

TEST(Printable, NeutralisesWhatCouldDriveATerminal) {
    EXPECT_EQ(Printable(u"\x1B[31mred\x1B[0m"), "\\x1B[31mred\\x1B[0m");
    EXPECT_EQ(Printable(u"a\tb\rc\nd"), "a\\tb\\rc\\nd");
    EXPECT_EQ(Printable(std::u16string(u"nul\0del\x7F c1\x9B", 12)), "nul\\x00del\\x7F c1\\x9B");
    EXPECT_EQ(Printable(u"x" + std::u16string(1, char16_t(0xD83D))), "x\\uD83D");
}

TEST(Printable, KeepsOrdinaryTextAndBackslashes) {
    EXPECT_EQ(Printable(u"KOBALT_Init Miss"), "KOBALT_Init Miss");
    EXPECT_EQ(Printable(u"C:\\dir \"q\""), "C:\\dir \"q\"");
    EXPECT_EQ(Printable(u"宋体 \u00A0 😀"), "宋体 \xC2\xA0 😀");
}

TEST(Quoted, EscapesQuotesAndBackslashesToo) {
    EXPECT_EQ(Quoted(u""), "\"\"");
    EXPECT_EQ(Quoted(u"say \"hi\" \\ now"), R"("say \"hi\" \\ now")");
    EXPECT_EQ(Quoted(u"Bob\t0123"), R"("Bob\t0123")");
}

} // namespace
} // namespace kobalt::script
