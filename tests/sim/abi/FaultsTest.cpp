#include "sim/abi/Faults.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace kobalt::sim {
namespace {

// How many of `calls` calls of `api` fail.
int Failures(Faults& faults, Api api, int calls) {
    int failed = 0;
    for (int i = 0; i < calls; ++i) {
        failed += faults.ShouldFail(api) ? 1 : 0;
    }
    return failed;
}

TEST(Faults, NothingFailsUnlessAsked) {
    Faults faults;
    EXPECT_EQ(Failures(faults, Api::Init, 3), 0);
}

TEST(Faults, FailNextFailsExactlyThatManyCallsOfThatEntryPoint) {
    Faults faults;
    faults.FailNext(Api::Connect, 3);
    EXPECT_EQ(Failures(faults, Api::Disconnect, 5), 0);
    EXPECT_TRUE(faults.ShouldFail(Api::Connect));
    EXPECT_TRUE(faults.ShouldFail(Api::Connect));
    EXPECT_TRUE(faults.ShouldFail(Api::Connect));
    EXPECT_FALSE(faults.ShouldFail(Api::Connect));
}

TEST(Faults, FailNextReplacesThePendingCount) {
    Faults faults;
    faults.FailNext(Api::Init, 5);
    faults.FailNext(Api::Init, 1);
    EXPECT_EQ(Failures(faults, Api::Init, 5), 1);

    faults.FailNext(Api::Init, 5);
    faults.FailNext(Api::Init, 0);
    EXPECT_EQ(Failures(faults, Api::Init, 5), 0);
}

TEST(Faults, FailAlwaysLastsUntilClearAndClearEndsBothKinds) {
    Faults faults;
    faults.FailAlways(Api::UnInit);
    faults.FailNext(Api::UnInit, 2);
    EXPECT_EQ(Failures(faults, Api::UnInit, 10), 10);
    faults.Clear(Api::UnInit);
    EXPECT_EQ(Failures(faults, Api::UnInit, 10), 0);
}

TEST(Faults, PendingCountIsConsumedExactlyOnceAcrossThreads) {
    Faults faults;
    faults.FailNext(Api::GetClientPort, 100);
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] { failed += Failures(faults, Api::GetClientPort, 1000); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failed, 100);
}

TEST(Faults, ListTakesNamesBetweenCommasIgnoringBlanksAndEmptyItems) {
    Faults faults;
    const auto unknown = faults.FailAlwaysFromList(
        " KOBALT_Init ,,\tKOBALT_AVRCPPlay\t, KOBALT_Nope,KOBALT_Nope , HFAP_Dial,");
    EXPECT_THAT(unknown, testing::ElementsAre("KOBALT_Nope", "HFAP_Dial"));
    EXPECT_TRUE(faults.ShouldFail(Api::Init));
    EXPECT_TRUE(faults.ShouldFail(Api::AVRCPPlay));
    EXPECT_FALSE(faults.ShouldFail(Api::HFAP_Dial));
    EXPECT_FALSE(faults.ShouldFail(Api::UnInit));
}

TEST(Faults, EmptyListChangesNothing) {
    Faults faults;
    EXPECT_THAT(faults.FailAlwaysFromList(""), testing::IsEmpty());
    EXPECT_THAT(faults.FailAlwaysFromList(" , ,"), testing::IsEmpty());
    EXPECT_FALSE(faults.ShouldFail(Api::Init));
}

} // namespace
} // namespace kobalt::sim
