// The stack's lifecycle:
//
// ```mermaid
// stateDiagram-v2
//     [*] --> Uninitialised
//     Uninitialised --> Ready: KOBALT_Init
//     Ready --> Ready: KOBALT_Init (no change)
//     Ready --> Uninitialised: KOBALT_UnInit (registrations and mode kept)
//     Uninitialised --> Uninitialised: KOBALT_UnInit (no change)
//     Ready --> Ready: Register* (recorded)
//     Uninitialised --> Uninitialised: Register* (kErrNotInitialised)
// ```
#include "sim/Stack.h"

#include <gtest/gtest.h>

namespace kobalt::sim {
namespace {

int OnConnect(int, KOBALT_BdAddr*, int16_t) {
    return 1;
}
int OnPair(int, KOBALT_BdAddr*) {
    return 1;
}
int OnHf(uint32_t, intptr_t) {
    return 0;
}
void OnSync(int32_t) {}
void OnPush(int32_t) {}

TEST(Stack, InitAndUnInitAreIdempotentWithoutCounting) {
    Stack stack;
    EXPECT_EQ(stack.State(), StackState::Uninitialised);
    EXPECT_EQ(stack.UnInit(), kOk);
    EXPECT_EQ(stack.State(), StackState::Uninitialised);
    EXPECT_EQ(stack.Init(), kOk);
    EXPECT_EQ(stack.Init(), kOk);
    EXPECT_EQ(stack.State(), StackState::Ready);
    EXPECT_EQ(stack.UnInit(), kOk);
    EXPECT_EQ(stack.State(), StackState::Uninitialised) << "one UnInit ends two Init calls";
}

TEST(Stack, RegistrationIsRefusedAndNotRecordedWhileUninitialised) {
    Stack stack;
    EXPECT_EQ(stack.RegisterConnectCallback(OnConnect), kErrNotInitialised);
    EXPECT_EQ(stack.RegisterPairCallback(OnPair), kErrNotInitialised);
    EXPECT_EQ(stack.RegisterHfCallback(OnHf), kErrNotInitialised);
    EXPECT_EQ(stack.RegisterPimCallback(OnSync), kErrNotInitialised);
    stack.Init();
    const Callbacks callbacks = stack.GetCallbacks();
    EXPECT_EQ(callbacks.connect, nullptr);
    EXPECT_EQ(callbacks.pair, nullptr);
    EXPECT_EQ(callbacks.hf, nullptr);
    EXPECT_EQ(callbacks.pim, nullptr);
}

TEST(Stack, RegistrationsSurviveARestart) {
    Stack stack;
    stack.Init();
    ASSERT_EQ(stack.RegisterConnectCallback(OnConnect), kOk);
    ASSERT_EQ(stack.RegisterPairCallback(OnPair), kOk);
    ASSERT_EQ(stack.RegisterHfCallback(OnHf), kOk);
    ASSERT_EQ(stack.RegisterPimCallback(OnSync), kOk);
    stack.UnInit();
    stack.Init();
    const Callbacks callbacks = stack.GetCallbacks();
    EXPECT_EQ(callbacks.connect, &OnConnect);
    EXPECT_EQ(callbacks.pair, &OnPair);
    EXPECT_EQ(callbacks.hf, &OnHf);
    EXPECT_EQ(callbacks.pim, &OnSync);
}

TEST(Stack, PimRegistrationReplacesAndNullRemoves) {
    Stack stack;
    stack.Init();
    stack.RegisterPimCallback(OnSync);
    stack.RegisterPimCallback(OnPush);
    EXPECT_EQ(stack.GetCallbacks().pim, &OnPush);
    stack.RegisterConnectCallback(OnConnect);
    EXPECT_EQ(stack.RegisterConnectCallback(nullptr), kOk);
    EXPECT_EQ(stack.GetCallbacks().connect, nullptr);
    EXPECT_EQ(stack.GetCallbacks().pim, &OnPush) << "other registrations stay";
}

TEST(Stack, IntegrationModeIsRecordedInAnyStateAndKept) {
    Stack stack;
    EXPECT_EQ(stack.IntegrationMode(), 0);
    EXPECT_EQ(stack.SetIntegrateTL(2), kOk);
    stack.Init();
    EXPECT_EQ(stack.IntegrationMode(), 2);
    EXPECT_EQ(stack.SetIntegrateTL(1), kOk);
    stack.UnInit();
    EXPECT_EQ(stack.IntegrationMode(), 1);
}

} // namespace
} // namespace kobalt::sim
