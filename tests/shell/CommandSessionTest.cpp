#include "frontend/shell/CommandSession.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kobalt::shell {
namespace {

using std::chrono::milliseconds;

TEST(CommandSession, ParsesEachLineAlone) {
    CommandSession session;
    EXPECT_TRUE(session.Run("").ok);
    EXPECT_TRUE(session.Run("   # a comment").ok);
    const Answer unknown = session.Run("frobnicate 1");
    EXPECT_FALSE(unknown.ok);
    EXPECT_THAT(unknown.error, testing::HasSubstr("unknown command 'frobnicate'"));
    const Answer open = session.Run("press \"START");
    EXPECT_FALSE(open.ok);
    EXPECT_THAT(open.error, testing::HasSubstr("closing quote"));
    // A line break cannot smuggle a second command in.
    EXPECT_FALSE(session.Run("sleep 1\nsleep 1").ok);
}

TEST(CommandSession, RefusesSleepsBeyondItsLimit) {
    CommandSession session(milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    const Answer refused = session.Run("sleep 100000");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, "sleep: at most 50 ms here");
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(5000));
    EXPECT_TRUE(session.Run("sleep 1").ok);
}

TEST(CommandSession, DumpsAnEmptyDesktopAndReportsMissingTargets) {
    CommandSession session;
    const Answer dump = session.Run("dump");
    EXPECT_TRUE(dump.ok);
    EXPECT_THAT(dump.output, testing::ElementsAre("no windows"));
    // The console has ended: an action gives up at once instead of waiting for its window.
    session.NotifyConsoleEnded();
    const Answer press = session.Run("press \"START\"");
    EXPECT_FALSE(press.ok);
    EXPECT_EQ(press.error, "cannot carry out");
    EXPECT_THAT(press.output, testing::ElementsAre("no active window", "the console has ended"));
}

} // namespace
} // namespace kobalt::shell
