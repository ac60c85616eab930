#include "sim/abi/Trace.h"
#include "sim/control/ControlCommand.h"
#include "sim/radio/Dispatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace kobalt::sim {
namespace {

// The PIM codes the callback received, in order.
std::mutex g_mutex;
std::condition_variable g_cv;
std::vector<int32_t> g_received;

void Record(int32_t code) {
    {
        std::lock_guard lock(g_mutex);
        g_received.push_back(code);
    }
    g_cv.notify_all();
}

// Waits until `count` callbacks came; the bound only keeps a broken build from hanging.
std::vector<int32_t> WaitFor(std::size_t count) {
    std::unique_lock lock(g_mutex);
    g_cv.wait_for(lock, std::chrono::seconds(30), [&] { return g_received.size() >= count; });
    return g_received;
}

class HoldEventsTest : public testing::Test {
protected:
    void SetUp() override {
        std::lock_guard lock(g_mutex);
        g_received.clear();
    }
    void Post(int32_t code) { m_dispatcher.Post(PimEvent{&Record, code}); }

    Trace m_trace{nullptr};
    Dispatcher m_dispatcher{m_trace};
};

// Held events survive KOBALT_UnInit's Discard and go out, in order and with the later ones,
// once released.
TEST_F(HoldEventsTest, HeldEventsOutliveDiscardAndKeepTheirOrder) {
    m_dispatcher.SetHold(Dispatcher::Hold::On);
    Post(1);
    Post(2);
    m_dispatcher.Discard();
    Post(3);
    m_dispatcher.SetHold(Dispatcher::Hold::Off);
    EXPECT_EQ(WaitFor(3), (std::vector<int32_t>{1, 2, 3}));
}

// Held until the next Discard: that Discard releases the queue instead of dropping it, and
// later events flow as usual.
TEST_F(HoldEventsTest, UntilUnInitReleasesOnTheNextDiscardOnly) {
    m_dispatcher.SetHold(Dispatcher::Hold::UntilUnInit);
    Post(4);
    Post(5);
    m_dispatcher.Discard();
    EXPECT_EQ(WaitFor(2), (std::vector<int32_t>{4, 5}));
    Post(6);
    EXPECT_EQ(WaitFor(3), (std::vector<int32_t>{4, 5, 6}));
}

TEST(HoldEventsCommandTest, ParsesTheThreeModes) {
    struct Case {
        const char* line;
        bool valid;
        bool on;
        bool untilUnInit;
    };
    const Case cases[] = {
        {"hold-events on", true, true, false},      {"hold-events off", true, false, false},
        {"hold-events uninit", true, true, true},   {"hold-events", false, false, false},
        {"hold-events maybe", false, false, false}, {"hold-events on off", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const ControlParse parse = ParseControlCommand(c.line);
        ASSERT_EQ(parse.command.has_value(), c.valid) << parse.problem;
        if (c.valid) {
            EXPECT_EQ(parse.command->kind, CommandKind::HoldEvents);
            EXPECT_EQ(parse.command->on, c.on);
            EXPECT_EQ(parse.command->untilUnInit, c.untilUnInit);
        }
    }
}

} // namespace
} // namespace kobalt::sim
