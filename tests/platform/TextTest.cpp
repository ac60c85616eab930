// Code-page conversions: UTF-8 and Windows-1252 in both directions.
#include "common/Utf8.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::u16string ToWide(UINT codePage, const std::string& bytes) {
    const int size = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(needed), u'\0');
    EXPECT_EQ(needed, MultiByteToWideChar(codePage, 0, bytes.data(), size, out.data(), needed));
    return out;
}

std::string ToNarrow(UINT codePage, const std::u16string& text, LPCSTR defaultChar = nullptr,
                     BOOL* usedDefault = nullptr) {
    const int size = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, defaultChar, usedDefault);
    std::string out(static_cast<std::size_t>(needed), '\0');
    EXPECT_EQ(needed, WideCharToMultiByte(codePage, 0, text.data(), size, out.data(), needed,
                                          defaultChar, usedDefault));
    return out;
}

struct DecodeCase {
    const char* what;
    std::string bytes;
    std::u16string expected;
};

std::vector<DecodeCase> Utf8DecodeCases() {
    const std::u16string bad(1, u'\xFFFD');
    return {
        {"ascii", "Hi", u"Hi"},
        {"two bytes", "\xC3\xA9", u"\u00E9"},
        {"three bytes", "\xE2\x82\xAC", u"\u20AC"},
        {"four bytes to a pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"largest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"stray continuation", "a\x80z", u"a" + bad + u"z"},
        {"impossible bytes", "\xFE\xFF", bad + bad},
        {"overlong two-byte slash", "\xC0\xAF", bad + bad},
        {"overlong three-byte", "\xE0\x80\xAF", bad + bad + bad},
        {"encoded surrogate", "\xED\xA0\x80", bad + bad + bad},
        {"above U+10FFFF", "\xF4\x90\x80\x80", bad + bad + bad + bad},
        {"truncated at end", "x\xE2\x82", u"x" + bad},
        {"truncated before ascii",
         "\xF0\x9F\x98"
         "A",
         bad + u"A"},
        {"embedded nul kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
}

TEST(CodePageTest, Utf8DecodesValidAndReplacesMalformedInput) {
    for (const auto& c : Utf8DecodeCases()) {
        EXPECT_EQ(ToWide(CP_UTF8, c.bytes), c.expected) << c.what;
    }
}

// Front ends, which cannot call MultiByteToWideChar, convert with the same rules.
TEST(CodePageTest, CommonUtf8ToUtf16ReadsAsTheCodePageDoes) {
    for (const auto& c : Utf8DecodeCases()) {
        EXPECT_EQ(kobalt::common::Utf8ToUtf16Replacing(c.bytes), c.expected) << c.what;
    }
}

struct EncodeCase {
    const char* what;
    std::u16string text;
    std::string expected;
};

TEST(CodePageTest, Utf8EncodesAndReplacesUnpairedSurrogates) {
    const std::string bad = "\xEF\xBF\xBD";
    const std::vector<EncodeCase> cases = {
        {"ascii", u"Hi", "Hi"},
        {"two bytes", u"\u00E9", "\xC3\xA9"},
        {"three bytes", u"\u5B8B\u4F53", "\xE5\xAE\x8B\xE4\xBD\x93"},
        {"pair", u"\U0001F600", "\xF0\x9F\x98\x80"},
        {"lone high", u"a\xD800z", "a" + bad + "z"},
        {"lone low", u"\xDC00", bad},
        {"high at end", u"x\xDBFF", "x" + bad},
        {"swapped pair", u"\xDC00\xD800", bad + bad},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToNarrow(CP_UTF8, c.text), c.expected) << c.what;
    }
}

TEST(CodePageTest, AnsiIsWindows1252AndEveryByteRoundTrips) {
    const std::vector<std::pair<unsigned char, char16_t>> mappings = {
        {0x80, 0x20AC}, {0x81, 0x0081}, {0x82, 0x201A}, {0x8A, 0x0160}, {0x8D, 0x008D},
        {0x8F, 0x008F}, {0x90, 0x0090}, {0x91, 0x2018}, {0x99, 0x2122}, {0x9D, 0x009D},
        {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF}, {0x41, 0x0041},
    };
    for (const auto& [byte, unit] : mappings) {
        EXPECT_EQ(ToWide(CP_ACP, std::string(1, static_cast<char>(byte))), std::u16string(1, unit))
            << "byte " << int{byte};
    }
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    BOOL usedDefault = TRUE;
    EXPECT_EQ(ToNarrow(CP_ACP, ToWide(CP_ACP, all), nullptr, &usedDefault), all);
    EXPECT_FALSE(usedDefault);
}

TEST(CodePageTest, AnsiReplacesWhatItCannotRepresent) {
    BOOL usedDefault = FALSE;
    EXPECT_EQ(ToNarrow(CP_ACP, u"a\u5B8Bb\U0001F600", nullptr, &usedDefault), "a?b?");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(ToNarrow(CP_ACP, u"\u0100\u0080", "*", &usedDefault), "**");
    EXPECT_TRUE(usedDefault);
}

TEST(CodePageTest, LengthMinusOneCountsTheTerminator) {
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "h\xC3\xA9llo", -1, nullptr, 0), 6);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "h\xC3\xA9llo", 6, nullptr, 0), 5);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"h\u00E9llo", -1, nullptr, 0, nullptr, nullptr), 7);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"h\u00E9llo", -1, nullptr, 0, nullptr, nullptr), 6);
    WCHAR wide[8];
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "ok", -1, wide, 8), 3);
    EXPECT_EQ(std::u16string(wide), u"ok");
}

// Every capacity from 1 to one past the need: either the whole text fits, or the call fails
// with ERROR_INSUFFICIENT_BUFFER; the canaries past the capacity are never touched.
TEST(CodePageTest, SmallBuffersFailWithoutWritingPastTheirCapacity) {
    constexpr char kCanary = 0x5A;
    constexpr char16_t kWideCanary = 0x5A5A;
    struct Case {
        UINT codePage;
        std::string narrow;
        std::u16string wide;
    };
    const std::vector<Case> cases = {
        {CP_UTF8, "a\xF0\x9F\x98\x80\xE2\x82\xAC", u"a\U0001F600\u20AC"},
        {CP_ACP, "\x80xyz", u"\u20ACxyz"},
    };
    for (const auto& c : cases) {
        for (int srcLength : {static_cast<int>(c.narrow.size()), -1}) {
            const int needed =
                MultiByteToWideChar(c.codePage, 0, c.narrow.c_str(), srcLength, nullptr, 0);
            ASSERT_GT(needed, 0);
            for (int capacity = 1; capacity <= needed + 1; ++capacity) {
                std::vector<char16_t> buffer(static_cast<std::size_t>(needed) + 8, kWideCanary);
                SetLastError(0);
                const int got = MultiByteToWideChar(c.codePage, 0, c.narrow.c_str(), srcLength,
                                                    buffer.data(), capacity);
                EXPECT_EQ(got, capacity >= needed ? needed : 0) << capacity;
                if (capacity < needed) {
                    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
                }
                for (std::size_t i = static_cast<std::size_t>(capacity); i < buffer.size(); ++i) {
                    ASSERT_EQ(buffer[i], kWideCanary) << "capacity " << capacity << " at " << i;
                }
            }
        }
        const int wideLength = static_cast<int>(c.wide.size());
        const int needed = WideCharToMultiByte(c.codePage, 0, c.wide.c_str(), wideLength, nullptr,
                                               0, nullptr, nullptr);
        ASSERT_EQ(needed, static_cast<int>(c.narrow.size()));
        for (int capacity = 1; capacity <= needed + 1; ++capacity) {
            std::vector<char> buffer(static_cast<std::size_t>(needed) + 8, kCanary);
            const int got = WideCharToMultiByte(c.codePage, 0, c.wide.c_str(), wideLength,
                                                buffer.data(), capacity, nullptr, nullptr);
            EXPECT_EQ(got, capacity >= needed ? needed : 0) << capacity;
            for (std::size_t i = static_cast<std::size_t>(capacity); i < buffer.size(); ++i) {
                ASSERT_EQ(buffer[i], kCanary) << "capacity " << capacity << " at " << i;
            }
        }
    }
}

TEST(CodePageTest, InvalidArgumentsAreRefused) {
    WCHAR wide[4];
    char narrow[4];
    BOOL used = FALSE;
    const std::vector<std::pair<const char*, std::function<int()>>> cases = {
        {"null source", [&] { return MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 4); }},
        {"empty count", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 4); }},
        {"unknown code page", [&] { return MultiByteToWideChar(437, 0, "a", -1, wide, 4); }},
        {"null buffer with room",
         [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", -1, nullptr, 4); }},
        {"null wide source",
         [&] { return WideCharToMultiByte(CP_ACP, 0, nullptr, -1, narrow, 4, nullptr, nullptr); }},
        {"default char with UTF-8",
         [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", -1, narrow, 4, nullptr, &used); }},
    };
    for (const auto& [what, call] : cases) {
        SetLastError(0);
        EXPECT_EQ(call(), 0) << what;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << what;
    }
}

} // namespace
