// wsprintfW: conversions, flags, width and precision, and the 1024-character limit.
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

struct FormatCase {
    std::u16string expected;
    std::function<int(LPWSTR)> format;
};

TEST(FormatTest, ConversionsFlagsWidthAndPrecision) {
    const std::vector<FormatCase> cases = {
        {u"-5|7|0", [](LPWSTR b) { return wsprintfW(b, u"%d|%i|%d", -5, 7, 0); }},
        {u"   42|42   |", [](LPWSTR b) { return wsprintfW(b, u"%5d|%-5d|", 42, 42); }},
        {u"-0042|+7| 7", [](LPWSTR b) { return wsprintfW(b, u"%05d|%+d|% d", -42, 7, 7); }},
        {u"007|  007", [](LPWSTR b) { return wsprintfW(b, u"%.3d|%05.3d", 7, 7); }},
        {u"-2147483648", [](LPWSTR b) { return wsprintfW(b, u"%d", INT32_MIN); }},
        {u"4294967295|ff|FF|0xff",
         [](LPWSTR b) { return wsprintfW(b, u"%u|%x|%X|%#x", 0xFFFFFFFFu, 255, 255, 255); }},
        {u"05|AB|000ABCDE",
         [](LPWSTR b) { return wsprintfW(b, u"%02X|%02X|%08lX", 5, 0xAB, 0xABCDEul); }},
        {u"-1|4464|65535",
         [](LPWSTR b) { return wsprintfW(b, u"%ld|%hd|%hu", -1L, 70000, 0xFFFF); }},
        {u"Z|\u00E9", [](LPWSTR b) { return wsprintfW(b, u"%c|%c", u'Z', u'\u00E9'); }},
        {u"abc|ab|  abc|abc  |",
         [](LPWSTR b) {
             return wsprintfW(b, u"%s|%.2s|%5s|%-5s|", u"abc", u"abc", u"abc", u"abc");
         }},
        {u"(null)|(nu",
         [](LPWSTR b) {
             return wsprintfW(b, u"%s|%.3s", static_cast<LPCWSTR>(nullptr),
                              static_cast<LPCWSTR>(nullptr));
         }},
        {u"narrow \u20AC", [](LPWSTR b) { return wsprintfW(b, u"%hs", "narrow \x80"); }},
        {u"100%", [](LPWSTR b) { return wsprintfW(b, u"%d%%", 100); }},
        {u"66:55:44:33:22:11",
         [](LPWSTR b) {
             const BYTE a[6] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
             return wsprintfW(b, u"%02X:%02X:%02X:%02X:%02X:%02X", a[5], a[4], a[3], a[2], a[1],
                              a[0]);
         }},
    };
    for (const auto& c : cases) {
        WCHAR buffer[1100];
        const int written = c.format(buffer);
        EXPECT_EQ(std::u16string(buffer), c.expected);
        EXPECT_EQ(written, static_cast<int>(c.expected.size())) << "for " << c.expected.size();
    }
}

// Output stops at 1023 characters plus the terminator, however long the result would be, and
// nothing past the 1024th character is written.
TEST(FormatTest, OutputIsCutAt1024CharactersIncludingTheTerminator) {
    const std::u16string exact(1023, u'x');
    const std::u16string longer(1500, u'y');
    const struct {
        const std::u16string& argument;
        std::u16string expected;
    } cases[] = {
        {exact, exact},
        {longer, std::u16string(1023, u'y')},
    };
    for (const auto& c : cases) {
        std::vector<WCHAR> buffer(2000, u'#');
        EXPECT_EQ(wsprintfW(buffer.data(), u"%s", c.argument.c_str()), 1023);
        EXPECT_EQ(std::u16string(buffer.data()), c.expected);
        for (std::size_t i = 1024; i < buffer.size(); ++i) {
            ASSERT_EQ(buffer[i], u'#') << "written at " << i;
        }
    }
    std::vector<WCHAR> buffer(2000, u'#');
    EXPECT_EQ(wsprintfW(buffer.data(), u"%-2000d|", 1), 1023);
    EXPECT_EQ(std::u16string(buffer.data()), u"1" + std::u16string(1022, u' '));
}

} // namespace
