#include "frontend/terminal/DebugLog.h"

#include <gtest/gtest.h>

namespace kobalt::terminal {
namespace {

TEST(DebugLog, WindowShowsTheNewestLinesLastAndScrollsBack) {
    DebugLog log;
    EXPECT_EQ(log.Window(3, 0).total, 0u);
    for (char16_t c = u'a'; c <= u'f'; ++c) {
        log.Append(std::u16string(1, c));
    }
    DebugWindow newest = log.Window(3, 0);
    EXPECT_EQ(newest.lines, (std::vector<std::u16string>{u"d", u"e", u"f"}));
    EXPECT_EQ(newest.first, 3u);
    EXPECT_EQ(newest.total, 6u);
    EXPECT_EQ(log.Window(3, 2).lines, (std::vector<std::u16string>{u"b", u"c", u"d"}));
    EXPECT_EQ(log.Window(3, 5).lines, (std::vector<std::u16string>{u"a"}));
    EXPECT_EQ(log.Window(10, 0).lines.size(), 6u);
    EXPECT_TRUE(log.Window(0, 0).lines.empty());
}

} // namespace
} // namespace kobalt::terminal
