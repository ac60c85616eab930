#include "frontend/monkey/EventLedger.h"

#include "app/AppMessages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace kobalt::monkey {
namespace {

TEST(EventLedger, KnowsTheConsolesMessages) {
    constexpr UINT kHandsFree = 0xC123;
    const std::pair<UINT, std::optional<EventKind>> cases[] = {
        {WM_APP_CONNECT_EVENT, EventKind::Connect},
        {WM_APP_PAIR_EVENT, EventKind::Pair},
        {WM_APP_DEVICE_FOUND, EventKind::DeviceFound},
        {WM_APP_DISCOVERY_DONE, EventKind::DiscoveryDone},
        {kHandsFree, EventKind::HandsFree},
        {WM_APP_DISCOVERY_DONE + 1, std::nullopt},
        {WM_COMMAND, std::nullopt},
    };
    for (const auto& [msg, kind] : cases) {
        EXPECT_EQ(MessageKind(msg, kHandsFree), kind) << msg;
    }
    EXPECT_EQ(MessageKind(0, 0), std::nullopt) << "no hands-free message registered yet";
}

TEST(EventLedger, CountsCallbackLinesOfTheTrace) {
    const std::pair<const char*, std::optional<EventKind>> cases[] = {
        {"-> ConnectEventCallback(1, 66:55:44:33:22:11, 1)", EventKind::Connect},
        {"-> ConnectEventCallback(1, null, 9)", EventKind::Connect},
        {"-> PairEventCallback(0, 66:55:44:33:22:11)", EventKind::Pair},
        {"-> DiscoveryCallback(0, {66:55:44:33:22:11, \"Pixel 7\"})", EventKind::DeviceFound},
        {"-> DiscoveryCallback(1, {00:00:00:00:00:00, \"\"})", EventKind::DiscoveryDone},
        {"-> HfEventCallback(17, &4)", EventKind::HandsFree},
        {"-> PimCallback(1)", std::nullopt},
        {"KOBALT_RegisterConnectCallback(ConnectEventCallback) = 0", std::nullopt},
        {"KOBALT_HFAP_Dial(\"-> HfEventCallback(\", 9) = -1", std::nullopt},
    };
    for (const auto& [line, kind] : cases) {
        EXPECT_EQ(CallbackKind(line), kind) << line;
    }
}

TEST(EventLedger, CountsLinesSplitAcrossReads) {
    const std::string trace = "KOBALT_Init() = 0\n-> HfEventCallback(7, 0)\n"
                              "-> ConnectEventCallback(1, null, 9)\n-> HfEventCallback(5, 0)\n";
    for (std::size_t cut = 0; cut <= trace.size(); ++cut) {
        TraceCounter counter;
        counter.Feed(std::string_view(trace).substr(0, cut));
        counter.Feed(std::string_view(trace).substr(cut));
        EXPECT_EQ(counter.Counts()[static_cast<std::size_t>(EventKind::HandsFree)], 2u) << cut;
        EXPECT_EQ(counter.Counts()[static_cast<std::size_t>(EventKind::Connect)], 1u) << cut;
    }
    TraceCounter unfinished;
    unfinished.Feed("-> HfEventCallback(7, 0)");
    EXPECT_EQ(unfinished.Counts()[static_cast<std::size_t>(EventKind::HandsFree)], 0u)
        << "a line counts once it is complete";
}

TEST(EventLedger, ReadsOnlyWhatTheTraceFileGainedAfterTheOffset) {
    const std::string path = testing::TempDir() + "ledger-" + std::to_string(::getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const std::string earlier = "-> PairEventCallback(1, 66:55:44:33:22:11)\n";
    std::fputs(earlier.c_str(), file);
    std::fflush(file);
    TraceFile trace(path, earlier.size());
    ASSERT_TRUE(trace.Update());
    EXPECT_EQ(trace.Counts()[static_cast<std::size_t>(EventKind::Pair)], 0u);
    std::fputs("-> PairEventCallback(0, 66:55:44:33:22:11)\n-> PairEvent", file);
    std::fflush(file);
    ASSERT_TRUE(trace.Update());
    std::fputs("Callback(1, null)\n", file);
    std::fclose(file);
    ASSERT_TRUE(trace.Update());
    EXPECT_EQ(trace.Counts()[static_cast<std::size_t>(EventKind::Pair)], 2u);
    std::remove(path.c_str());
    EXPECT_FALSE(TraceFile(path).Update());
}

TEST(EventLedger, CountsOnlyTheMainWindowsEventMessages) {
    DeliveryCounter counter;
    const HWND main = reinterpret_cast<HWND>(0x10);
    const HWND other = reinterpret_cast<HWND>(0x20);
    counter.Delivered(main, WM_APP_CONNECT_EVENT); // before the main window is known
    counter.SetMainWindow(main);
    counter.SetHandsFreeMessage(0xC001);
    counter.Delivered(main, WM_APP_CONNECT_EVENT);
    counter.Delivered(other, WM_APP_CONNECT_EVENT);
    counter.Delivered(main, 0xC001);
    counter.Delivered(main, 0xC001);
    counter.Delivered(main, WM_COMMAND);
    const EventCounts counts = counter.Counts();
    EXPECT_EQ(counts[static_cast<std::size_t>(EventKind::Connect)], 1u);
    EXPECT_EQ(counts[static_cast<std::size_t>(EventKind::HandsFree)], 2u);
    EXPECT_EQ(counts[static_cast<std::size_t>(EventKind::Pair)], 0u);
}

TEST(EventLedger, FindsLostAndDuplicatedEvents) {
    struct Case {
        const char* name;
        EventCounts before, delivered, after;
        const char* problem; // empty: agreement
    };
    const Case cases[] = {
        {"all handled", {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, ""},
        {"more arrived meanwhile", {1, 0, 0, 0, 5}, {1, 0, 0, 0, 7}, {1, 0, 0, 0, 8}, ""},
        {"one hands-free event lost",
         {0, 0, 0, 0, 5},
         {0, 0, 0, 0, 4},
         {0, 0, 0, 0, 5},
         "hands-free: 1 of 5 callbacks never reached"},
        {"connect handled twice",
         {2, 0, 0, 0, 0},
         {3, 0, 0, 0, 0},
         {2, 0, 0, 0, 0},
         "connect: 3 messages handled for 2 callbacks"},
    };
    for (const Case& c : cases) {
        const std::string problems = CompareCounts(c.before, c.delivered, c.after);
        if (*c.problem == '\0') {
            EXPECT_EQ(problems, "") << c.name;
            EXPECT_TRUE(AllDelivered(c.before, c.delivered)) << c.name;
        } else {
            EXPECT_NE(problems.find(c.problem), std::string::npos) << c.name << ": " << problems;
        }
    }
}

} // namespace
} // namespace kobalt::monkey
