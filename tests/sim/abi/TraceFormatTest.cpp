#include "sim/abi/TraceFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace kobalt::sim {
namespace {

std::string Utf8(std::string_view text) {
    std::string out;
    AppendTraceText(out, text);
    return out;
}

std::string Utf16(std::u16string_view text) {
    std::string out;
    AppendTraceText(out, text);
    return out;
}

TEST(TraceFormat, NarrowTextKeepsUtf8AndEscapesTheRest) {
    struct Row {
        std::string_view in;
        std::string_view out;
    };
    const Row rows[] = {
        {"plain 123 +*#", "plain 123 +*#"},
        {"say \"hi\" \\ bye", "say \\\"hi\\\" \\\\ bye"},
        {std::string_view("a\0b", 3), "a\\x00b"},
        {"\r\n\x1F\x7F", "\\x0D\\x0A\\x1F\\x7F"},
        {"\xC3\xA9\xE5\xAE\x8B\xF0\x9F\x98\x80", "\xC3\xA9\xE5\xAE\x8B\xF0\x9F\x98\x80"},
        {"\xFF\xFE", "\\xFF\\xFE"},                   // never valid in UTF-8
        {"\xC3", "\\xC3"},                            // truncated sequence
        {"\xC3(", "\\xC3("},                          // bad continuation
        {"\xC0\xAF", "\\xC0\\xAF"},                   // overlong '/'
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},          // encoded surrogate
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"}, // beyond U+10FFFF
        {"\xE9t\xE9", "\\xE9t\\xE9"},                 // Latin-1, as an ANSI PIN could be
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Utf8(row.in), row.out) << "input of " << row.in.size() << " bytes";
    }
}

TEST(TraceFormat, WideTextBecomesUtf8) {
    EXPECT_EQ(Utf16(u"Nokia \"N9\""), "Nokia \\\"N9\\\"");
    EXPECT_EQ(Utf16(u"\u5B8B\u4F53"), "\u5B8B\u4F53");
    EXPECT_EQ(Utf16(u"\U0001F600!"), "\U0001F600!");
    EXPECT_EQ(Utf16(u"\t\\"), "\\x09\\\\");
    const char16_t lone[] = {0xD83D, u'a', 0xDE00, 0};
    EXPECT_EQ(Utf16(lone), "\uFFFDa\uFFFD");
    const char16_t highAtEnd[] = {u'a', 0xD83D, 0};
    EXPECT_EQ(Utf16(highAtEnd), "a\uFFFD");
}

TEST(TraceFormat, ArgumentsByMeaning) {
    const KOBALT_BdAddr addr{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};
    const uint32_t count = 260;
    char buffer[4] = {};
    EXPECT_EQ(FormatCall("F"), "F()");
    EXPECT_EQ(FormatCall("F", arg::Int{-7}, arg::Int{int64_t{4294967295}}), "F(-7, 4294967295)");
    EXPECT_EQ(FormatCall("F", arg::Addr{&addr}, arg::Addr{nullptr}), "F(66:55:44:33:22:11, null)");
    EXPECT_EQ(FormatCall("F", arg::Buf{buffer}, arg::Buf{nullptr}), "F(buf, null)");
    EXPECT_EQ(FormatCall("F", arg::Count{&count}, arg::Count{nullptr}), "F(&260, null)");
    EXPECT_EQ(FormatCall("F", arg::Str{"1234"}, arg::Str{nullptr}), "F(\"1234\", null)");
    EXPECT_EQ(FormatCall("F", arg::WStr{u""}, arg::WStr{nullptr}), "F(\"\", null)");
}

TEST(TraceFormat, CallbacksByKindName) {
    const KOBALT_ConnectCallback none = nullptr;
    const KOBALT_PimCallback pim = [](int32_t) {};
    const KOBALT_DiscoveryCallback discovery = [](int, KOBALT_DeviceRecord) { return 0; };
    EXPECT_EQ(FormatCall("R", arg::Cb{pim}, arg::Cb{discovery}, arg::Cb{none}),
              "R(PimCallback, DiscoveryCallback, null)");
}

TEST(TraceFormat, RecordNameStopsAtItsSixtyFourUnits) {
    KOBALT_DeviceRecord record{{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}}, {}};
    EXPECT_EQ(FormatCall("D", arg::Int{0}, arg::Record{record}), "D(0, {66:55:44:33:22:11, \"\"})");
    for (KOBALT_WCHAR& unit : record.name) {
        unit = u'x';
    }
    EXPECT_EQ(FormatCall("D", arg::Record{record}),
              "D({66:55:44:33:22:11, \"" + std::string(64, 'x') + "\"})");
}

} // namespace
} // namespace kobalt::sim
