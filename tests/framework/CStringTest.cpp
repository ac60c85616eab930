#include "framework/CString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Narrow(const CString& s) {
    std::string out;
    for (int i = 0; i < s.GetLength(); ++i) {
        out += static_cast<char>(s[i]);
    }
    return out;
}

TEST(CStringFormat, TakesCStringArgumentsWithoutACast) {
    const CString name(u"HandFree");
    CString s;
    s.Format(u"%s: %d calls, %u%% [%5d] %c 0x%04X", name, -3, 50u, 42, u'#', 0xBEEF);
    EXPECT_EQ(Narrow(s), "HandFree: -3 calls, 50% [   42] # 0xBEEF");
}

TEST(CStringFormat, ReplacesEarlierContentsAndStopsAtTheFormatterLimit) {
    CString s(u"old text that is longer");
    s.Format(u"Init Suc(nCount = %d)", 1);
    EXPECT_EQ(s, u"Init Suc(nCount = 1)");

    const std::u16string huge(3000, u'x');
    s.Format(u"%s", huge.c_str());
    EXPECT_EQ(s.GetLength(), 1023);
}

TEST(CStringFind, FindsSubstringsFromAStart) {
    const CString caption(u"OnOff OnOff");
    EXPECT_EQ(caption.Find(u"OnOff"), 0);
    EXPECT_EQ(caption.Find(u"OnOff", 1), 6);
    EXPECT_EQ(caption.Find(u"Cancle"), -1);
    EXPECT_EQ(caption.Find(u'f', 4), 4);
    EXPECT_EQ(caption.Find(u"O", 11), -1);
    EXPECT_EQ(caption.Find(u"O", 99), -1);
    EXPECT_EQ(caption.Find(u"O", -1), -1);
    EXPECT_EQ(CString().Find(u""), 0);
}

TEST(CStringBasics, NullIsEmptyAndConcatenationKeepsBothSides) {
    CString s(static_cast<LPCWSTR>(nullptr));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s, static_cast<LPCWSTR>(nullptr));
    EXPECT_EQ(static_cast<LPCWSTR>(s)[0], u'\0');

    s += u"12";
    s += u'#';
    s += CString(u"(Cell)");
    EXPECT_EQ(s, u"12#(Cell)");
    EXPECT_EQ(u"Alice" + CString(u"(Home)"), CString(u"Alice(Home)"));
    EXPECT_FALSE(CString(u"a") == CString(u"ab"));

    s.Empty();
    EXPECT_EQ(s.GetLength(), 0);
}

TEST(CStringBuffer, ReleaseBufferTakesTextUpToTheTerminatorOrAGivenLength) {
    CString s(u"ab");
    LPWSTR buffer = s.GetBuffer(8);
    EXPECT_EQ(buffer[0], u'a'); // contents kept
    buffer[2] = u'c';
    buffer[3] = 0;
    s.ReleaseBuffer();
    EXPECT_EQ(s, u"abc");

    s.GetBuffer(0);
    s.ReleaseBuffer(1);
    EXPECT_EQ(s, u"a");
}

} // namespace
