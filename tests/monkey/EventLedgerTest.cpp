#include "frontend/monkey/EventLedger.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kobalt::monkey {
namespace {

std::size_t At(EventKind kind) {
    return static_cast<std::size_t>(kind);
}

TEST(EventLedger, TakesTheCallbackLinesOfTheTrace) {
    const std::pair<const char*, std::optional<EventKind>> cases[] = {
        {"-> ConnectEventCallback(1, 66:55:44:33:22:11, 1)", EventKind::Connect},
        {"-> ConnectEventCallback(1, null, 9)", EventKind::Connect},
        {"-> PairEventCallback(0, 66:55:44:33:22:11)", EventKind::Pair},
        {"-> DiscoveryCallback(0, {66:55:44:33:22:11, \"Pixel 7\"})", EventKind::Discovery},
        {"-> DiscoveryCallback(1, {00:00:00:00:00:00, \"\"})", EventKind::Discovery},
        {"-> HfEventCallback(17, &4)", EventKind::HandsFree},
        {"-> PimCallback(1)", EventKind::Pim},
        {"KOBALT_RegisterConnectCallback(ConnectEventCallback) = 0", std::nullopt},
        {"KOBALT_HFAP_Dial(\"-> HfEventCallback(\", 9) = -1", std::nullopt},
        {"-> SomethingElse(1)", std::nullopt},
    };
    for (const auto& [line, kind] : cases) {
        const std::optional<std::string_view> call = TraceCallback(line);
        EXPECT_EQ(call ? CallKind(*call) : std::nullopt, kind) << line;
        if (call) {
            EXPECT_EQ(std::string("-> ") + std::string(*call), line);
        }
    }
}

TEST(EventLedger, TakesLinesSplitAcrossReadsOnceComplete) {
    const std::string trace = "KOBALT_Init() = 0\n-> HfEventCallback(7, 0)\n"
                              "-> ConnectEventCallback(1, null, 9)\n-> HfEventCallback(5, 0)\n";
    const std::vector<std::string> expected = {
        "HfEventCallback(7, 0)", "ConnectEventCallback(1, null, 9)", "HfEventCallback(5, 0)"};
    for (std::size_t cut = 0; cut <= trace.size(); ++cut) {
        TraceParser parser;
        parser.Feed(std::string_view(trace).substr(0, cut));
        std::vector<std::string> calls = parser.Take();
        parser.Feed(std::string_view(trace).substr(cut));
        for (std::string& call : parser.Take()) {
            calls.push_back(std::move(call));
        }
        EXPECT_EQ(calls, expected) << cut;
    }
    TraceParser unfinished;
    unfinished.Feed("-> HfEventCallback(7, 0)");
    EXPECT_TRUE(unfinished.Take().empty()) << "a line counts once it is complete";
}

class TraceFileTest : public ::testing::Test {
protected:
    void TearDown() override { std::remove(m_path.c_str()); }
    std::string m_path = testing::TempDir() + "ledger-" + std::to_string(::getpid());
};

TEST_F(TraceFileTest, ReadsOnlyWhatTheFileGainedAfterTheOffset) {
    std::FILE* file = std::fopen(m_path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const std::string earlier = "-> PairEventCallback(1, 66:55:44:33:22:11)\n";
    std::fputs(earlier.c_str(), file);
    std::fflush(file);
    TraceFile trace(m_path, earlier.size());
    ASSERT_EQ(trace.Update(), TraceStatus::Ok);
    EXPECT_TRUE(trace.Take().empty());
    std::fputs("-> PairEventCallback(0, 66:55:44:33:22:11)\n-> PairEvent", file);
    std::fflush(file);
    ASSERT_EQ(trace.Update(), TraceStatus::Ok);
    std::fputs("Callback(1, null)\n", file);
    std::fclose(file);
    ASSERT_EQ(trace.Update(), TraceStatus::Ok);
    EXPECT_EQ(trace.Take(), (std::vector<std::string>{"PairEventCallback(0, 66:55:44:33:22:11)",
                                                      "PairEventCallback(1, null)"}));
}

TEST_F(TraceFileTest, AnUnreadableTraceIsAnErrorNotAnEmptyOne) {
    EXPECT_EQ(TraceFile(m_path).Update(), TraceStatus::Unreadable) << "missing";
    TraceFile missing(m_path);
    (void)missing.Update();
    EXPECT_NE(missing.Problem().find(m_path), std::string::npos) << missing.Problem();

    // A FIFO would block a reader; it is refused without waiting for a writer.
    ASSERT_EQ(::mkfifo(m_path.c_str(), 0600), 0);
    TraceFile fifo(m_path);
    EXPECT_EQ(fifo.Update(), TraceStatus::Unreadable);
    EXPECT_NE(fifo.Problem().find("not a regular file"), std::string::npos) << fifo.Problem();
    std::remove(m_path.c_str());

    // A trace that shrank below what was read was replaced: its events cannot be accounted.
    std::FILE* file = std::fopen(m_path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("-> PimCallback(1)\n", file);
    std::fclose(file);
    TraceFile shrunk(m_path, 100);
    EXPECT_EQ(shrunk.Update(), TraceStatus::Unreadable);
}

TEST_F(TraceFileTest, ACreatedTraceIsEmptyAndKeepsWhatIsThere) {
    ASSERT_EQ(CreateTrace(m_path), TraceStatus::Ok);
    TraceFile trace(m_path);
    ASSERT_EQ(trace.Update(), TraceStatus::Ok);
    EXPECT_TRUE(trace.Take().empty());
    std::FILE* file = std::fopen(m_path.c_str(), "ab");
    ASSERT_NE(file, nullptr);
    std::fputs("-> PimCallback(2)\n", file);
    std::fclose(file);
    ASSERT_EQ(CreateTrace(m_path), TraceStatus::Ok);
    ASSERT_EQ(trace.Update(), TraceStatus::Ok);
    EXPECT_EQ(trace.Take(), std::vector<std::string>{"PimCallback(2)"});
}

TEST(EventLedger, AnUnreadArgumentMatchesAnyDataButNone) {
    EXPECT_TRUE(SameEvent("HfEventCallback(26, \"1 0 0\")", "HfEventCallback(26, ?)"));
    EXPECT_TRUE(SameEvent("HfEventCallback(26, &3)", "HfEventCallback(26, ?)"));
    EXPECT_FALSE(SameEvent("HfEventCallback(26, 0)", "HfEventCallback(26, ?)"));
    EXPECT_FALSE(SameEvent("HfEventCallback(25, \"x\")", "HfEventCallback(26, ?)"));
    EXPECT_FALSE(SameEvent("HfEventCallback(26, \"a, b\")", "HfEventCallback(26, ?, ?)"))
        << "a comma inside quotes does not split the argument";
    EXPECT_FALSE(SameEvent("HfEventCallback(10, \"1\")", "HfEventCallback(10, \"2\")"));
}

// Feeds a ledger the trace's callbacks and the handled lines and checks once, as the monkey
// does after waiting for the handlers.
std::string Compare(const std::vector<std::string>& made, const std::vector<std::string>& handled) {
    EventLedger ledger;
    ledger.AddCallbacks(made);
    ledger.AddHandled(handled);
    return ledger.Check(ledger.Made());
}

TEST(EventLedger, ComparesEachKindEventByEvent) {
    const std::string a = "HfEventCallback(17, &4)";
    const std::string b = "HfEventCallback(18, &9)";
    const std::string c = "ConnectEventCallback(1, 66:55:44:33:22:11, 1)";
    struct Case {
        const char* name;
        std::vector<std::string> made, handled;
        const char* problem; // empty: agreement
    };
    const Case cases[] = {
        {"all handled", {a, c, b}, {c, a, b}, ""},
        {"a loss and a duplicate with equal counts",
         {a, b},
         {a, a},
         "hands-free: event 2 was HfEventCallback(18, &9) but the console handled "
         "HfEventCallback(17, &4)"},
        {"a reordering", {a, b}, {b, a}, "hands-free: event 1 was HfEventCallback(17, &4)"},
        {"one lost",
         {a, b},
         {a},
         "hands-free: 1 of 2 events never handled, from HfEventCallback(18"},
        {"one handled twice", {c}, {c, c}, "connect: handled ConnectEventCallback"},
        {"other arguments",
         {c},
         {"ConnectEventCallback(0, 66:55:44:33:22:11, 1)"},
         "connect: event 1 was"},
    };
    for (const Case& test : cases) {
        const std::string problems = Compare(test.made, test.handled);
        if (*test.problem == '\0') {
            EXPECT_EQ(problems, "") << test.name;
        } else {
            EXPECT_NE(problems.find(test.problem), std::string::npos)
                << test.name << ": " << problems;
        }
    }
}

TEST(EventLedger, PimEventsMayBeDroppedButNeitherDuplicatedNorReordered) {
    const std::vector<std::string> made = {"PimCallback(1)", "PimCallback(6)", "PimCallback(2)"};
    EXPECT_EQ(Compare(made, {"PimCallback(1)", "PimCallback(2)"}), "");
    EXPECT_EQ(Compare(made, {}), "");
    EXPECT_NE(Compare(made, {"PimCallback(2)", "PimCallback(1)"}), "");
    EXPECT_NE(Compare(made, {"PimCallback(6)", "PimCallback(6)"}), "");
    EXPECT_NE(Compare(made, {"PimCallback(5)"}), "");
}

TEST(EventLedger, WaitsForEventsMadeBeforeTheCheckAndKeepsLaterOnes) {
    EventLedger ledger;
    ledger.AddCallbacks({"PairEventCallback(1, null)"});
    const EventCounts made = ledger.Made();
    EXPECT_FALSE(ledger.CaughtUp(made));
    // Made after the wait began and not handled yet: left for the next check.
    ledger.AddCallbacks({"PairEventCallback(0, null)", "PimCallback(1)"});
    ledger.AddHandled({"PairEventCallback(1, null)"});
    EXPECT_TRUE(ledger.CaughtUp(made)) << "PIM events are never waited for";
    EXPECT_EQ(ledger.Check(made), "");
    ledger.AddHandled({"PairEventCallback(0, null)", "PimCallback(1)"});
    EXPECT_EQ(ledger.Check(ledger.Made()), "");
    EXPECT_EQ(ledger.Handled()[At(EventKind::Pair)], 2u);
    EXPECT_EQ(ledger.Handled()[At(EventKind::Pim)], 1u);
    // A later check still sees a duplicate of an event matched earlier.
    ledger.AddHandled({"PairEventCallback(0, null)"});
    EXPECT_NE(ledger.Check(ledger.Made()), "");
}

TEST(EventLedger, HandledLogCollectsFromManyThreads) {
    HandledLog log;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&log] {
            for (int i = 0; i < 100; ++i) {
                log.Add("PimCallback(1)");
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(log.Take().size(), 400u);
    EXPECT_TRUE(log.Take().empty());
}

} // namespace
} // namespace kobalt::monkey
