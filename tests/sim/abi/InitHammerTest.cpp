// KOBALT_Init and KOBALT_UnInit from several threads at once, while other threads call entry
// points, the control socket makes events and callbacks run. Meant for ThreadSanitizer; the
// checks are that every lifecycle call succeeds and that the stack works afterwards.
#include "PhoneSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace kobalt::sim::test {
namespace {

constexpr int kCycles = 400;

TEST(InitHammer, LifecycleFromManyThreadsWhileEverythingElseRuns) {
    StartWithWorld({"66:55:44:33:22:11 \"Pixel 7\" hf,avrcp,dun,spp paired"});
    const KOBALT_BdAddr pixel = Addr("66:55:44:33:22:11");
    std::atomic<int> lifecycleFailures{0};
    std::atomic<int> lifecycleDone{0};
    std::atomic<int> otherCalls{0};

    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&] {
            // The hammering starts once the other callers are under way.
            while (otherCalls.load() == 0)
                std::this_thread::yield();
            for (int i = 0; i < kCycles; ++i) {
                lifecycleFailures += Call("KOBALT_Init") != 0;
                lifecycleFailures += Call("KOBALT_UnInit") != 0;
            }
            ++lifecycleDone;
        });
    }
    // Entry points of every kind; their results depend on the moment and are not checked.
    const auto callers = [&](int seed) {
        KOBALT_BdAddr addr = pixel;
        while (lifecycleDone < 2) {
            Entry<KOBALT_Fn_Connection>("KOBALT_Connect")(&addr, seed == 0 ? 1 : 0x110E);
            Entry<KOBALT_Fn_Connection>("KOBALT_IsConnected")(&addr, 1);
            Call("KOBALT_AVRCPPlay");
            uint32_t count = 0;
            Entry<KOBALT_Fn_DUNGetCountry>("KOBALT_DUNGetCountry")(nullptr, &count);
            KOBALT_WCHAR name[64];
            Entry<KOBALT_Fn_GetLocalName>("KOBALT_GetLocalName")(name, 64);
            Entry<KOBALT_Fn_RegisterConnectCallback>("KOBALT_RegisterConnectCallback")(
                Events::OnConnect);
            Entry<KOBALT_Fn_Connection>("KOBALT_Disconnect")(&addr, seed == 0 ? 1 : 0x110E);
            ++otherCalls;
        }
    };
    threads.emplace_back(callers, 0);
    threads.emplace_back(callers, 1);
    threads.emplace_back([&] {
        while (lifecycleDone < 2) {
            Phone("connect 66:55:44:33:22:11 spp");
            Phone("disconnect 66:55:44:33:22:11 spp");
            Phone("state");
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(lifecycleFailures, 0);
    EXPECT_GT(otherCalls, 0);

    // Every cycle ended with an UnInit: the stack is down and starts again as new.
    EXPECT_THAT(PhoneState(), testing::Contains("initialised no"));
    StartWithWorld({"66:55:44:33:22:11 \"Pixel 7\" hf paired"});
    ASSERT_EQ(Entry<KOBALT_Fn_Connection>("KOBALT_Connect")(const_cast<KOBALT_BdAddr*>(&pixel), 1),
              0);
    // A callback of the hammering may still finish after the restart cleared the record.
    const auto seen = [] {
        return testing::Value(Events::Lines(), testing::Contains("connect 1 66:55:44:33:22:11 1"));
    };
    for (std::size_t n = 1; !seen() && Events::WaitForCount(n); ++n) {
    }
    EXPECT_TRUE(seen());
    Call("KOBALT_UnInit");
}

} // namespace
} // namespace kobalt::sim::test
