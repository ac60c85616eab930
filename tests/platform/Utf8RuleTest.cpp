// The one UTF-8 rule (common/Utf8.h): what is well formed, how code points are written, and the
// trace's text, which escapes what the rule refuses.
#include "common/TraceText.h"
#include "common/Utf8.h"
#include "tests/MalformedUtf8.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using kobalt::common::AppendUtf16;
using kobalt::common::AppendUtf8;
using kobalt::common::DecodeUtf16;
using kobalt::common::DecodeUtf8;
using kobalt::common::Utf16ToUtf8;
using kobalt::common::Utf8ToUtf16;
using kobalt::testing_utf8::kMalformed;
using namespace std::string_view_literals;

TEST(Utf8Rule, DecodesTheFirstCodePointAtEachBoundary) {
    struct Row {
        std::string_view bytes;
        char32_t cp;
    };
    const Row rows[] = {
        {"\0"sv, 0x0},
        {"\x7F"sv, 0x7F},
        {"\xC2\x80"sv, 0x80},
        {"\xDF\xBF"sv, 0x7FF},
        {"\xE0\xA0\x80"sv, 0x800},
        {"\xED\x9F\xBF"sv, 0xD7FF}, // last before the surrogates
        {"\xEE\x80\x80"sv, 0xE000}, // first after them
        {"\xEF\xBF\xBF"sv, 0xFFFF},
        {"\xF0\x90\x80\x80"sv, 0x10000},
        {"\xF4\x8F\xBF\xBF"sv, 0x10FFFF},
    };
    for (const Row& row : rows) {
        const std::string text = std::string(row.bytes) + "\xC3\xA9tail";
        const auto decoded = DecodeUtf8(text);
        ASSERT_TRUE(decoded) << std::hex << static_cast<unsigned>(row.cp);
        EXPECT_EQ(decoded->cp, row.cp);
        EXPECT_EQ(decoded->length, row.bytes.size()) << std::hex << static_cast<unsigned>(row.cp);
    }
    EXPECT_FALSE(DecodeUtf8("")) << "nothing to decode";
}

TEST(Utf8Rule, RefusesEveryMalformedSequenceWhole) {
    for (const auto& bad : kMalformed) {
        EXPECT_FALSE(DecodeUtf8(bad.bytes)) << bad.kind;
        EXPECT_FALSE(Utf8ToUtf16("ok " + std::string(bad.bytes) + " ok")) << bad.kind;
        // The trace keeps the ASCII and escapes every other byte of it on its own.
        std::string trace;
        kobalt::common::AppendTraceText(trace, bad.bytes);
        EXPECT_EQ(trace, kobalt::testing_utf8::EscapedHighBytes(bad.bytes, "\\x", true))
            << bad.kind;
    }
}

TEST(Utf8Rule, EveryScalarValueRoundTrips) {
    std::string bytes;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp == 0xD800) {
            cp = 0xE000;
        }
        bytes.clear();
        AppendUtf8(bytes, cp);
        const std::size_t expected = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        ASSERT_EQ(bytes.size(), expected) << std::hex << static_cast<unsigned>(cp);
        const auto decoded = DecodeUtf8(bytes);
        ASSERT_TRUE(decoded) << std::hex << static_cast<unsigned>(cp);
        ASSERT_EQ(decoded->cp, cp);
    }
    bytes.clear();
    AppendUtf8(bytes, 0x110000);
    EXPECT_EQ(bytes, "") << "no form past U+10FFFF";
    AppendUtf8(bytes, 0xDC00);
    EXPECT_EQ(bytes, "\xED\xB0\x80") << "a lone half is passed through as its three bytes";
}

TEST(Utf8Rule, EveryScalarValueRoundTripsThroughUtf16) {
    std::u16string units;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp == 0xD800) {
            cp = 0xE000;
        }
        units.clear();
        AppendUtf16(units, cp);
        ASSERT_EQ(units.size(), cp < 0x10000 ? 1u : 2u) << std::hex << static_cast<unsigned>(cp);
        const auto decoded = DecodeUtf16(units);
        ASSERT_EQ(decoded.cp, cp);
        ASSERT_EQ(decoded.length, units.size());
    }
    units.clear();
    AppendUtf16(units, 0x110000);
    EXPECT_EQ(units, u"") << "no form past U+10FFFF";
}

TEST(Utf8Rule, Utf16DecodingJoinsOnlyAHighHalfFollowedByALowOne) {
    struct Row {
        std::u16string units;
        char32_t cp;
        std::size_t length;
    };
    const Row rows[] = {
        {u"ax", U'a', 1},
        {u"\U0001F600x", 0x1F600, 2},
        {u"\U00010000", 0x10000, 2},
        {u"\U0010FFFF", 0x10FFFF, 2},
        {{char16_t(0xD83D), u'x'}, 0xD83D, 1},             // high, then no low
        {{char16_t(0xD83D)}, 0xD83D, 1},                   // high at the end
        {{char16_t(0xDE00), char16_t(0xD83D)}, 0xDE00, 1}, // low first
        {{char16_t(0xD83D), char16_t(0xD83D)}, 0xD83D, 1}, // two highs
    };
    for (const Row& row : rows) {
        const auto decoded = DecodeUtf16(row.units);
        EXPECT_EQ(decoded.cp, row.cp) << std::hex << static_cast<unsigned>(row.cp);
        EXPECT_EQ(decoded.length, row.length) << std::hex << static_cast<unsigned>(row.cp);
    }
}

TEST(Utf8Rule, Utf16ConversionsReachTheLastCodePointAndRefuseReversedPairs) {
    EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
    EXPECT_EQ(Utf16ToUtf8(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
    EXPECT_FALSE(Utf16ToUtf8(std::u16string{char16_t(0xDE00), char16_t(0xD83D)}));
}

} // namespace
