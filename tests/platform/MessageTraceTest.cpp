// The message trace: with KOBALT_DEBUG=+msg every message delivered to a window procedure, sent
// or posted, is one line on the debug output; without the variable nothing is written. CTest
// runs the MessageTraceOn cases with the variable set and the MessageTraceOff cases without it
// (the variable is read once, at start).

#include "WindowTestSupport.h"
#include "platform/DeviceServices.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace kobalt::test;

// The debug lines written since `from` (a DebugLineCount), as ASCII.
std::vector<std::string> LinesSince(std::size_t from) {
    const std::vector<std::u16string> all = kobalt::device::DebugLines();
    std::vector<std::string> lines;
    for (std::size_t i = from; i < all.size(); ++i) {
        lines.emplace_back(all[i].begin(), all[i].end());
    }
    return lines;
}

std::string Hex(std::uintptr_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%" PRIXPTR, value);
    return text;
}

// The line the trace writes for one delivery.
std::string Line(const char* how, const std::string& name, HWND hwnd, WPARAM wParam, LPARAM lParam,
                 DWORD thread) {
    return std::string("msg: ") + how + " " + name +
           " hwnd=" + Hex(reinterpret_cast<std::uintptr_t>(hwnd)) + " wParam=" + Hex(wParam) +
           " lParam=" + Hex(static_cast<std::uintptr_t>(lParam)) +
           " thread=" + std::to_string(thread);
}

void PumpPosted() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
}

TEST(MessageTraceOn, SentAndPostedMessagesOfTheCallingThreadAreWrittenByName) {
    ASSERT_STREQ(std::getenv("KOBALT_DEBUG"), "+msg") << "run by CTest with KOBALT_DEBUG=+msg";
    const DWORD self = GetCurrentThreadId();
    const UINT registered = RegisterWindowMessageW(u"KOBALT_TRACE_TEST_MESSAGE");
    ASSERT_GE(registered, 0xC000u);
    char registeredName[32];
    std::snprintf(registeredName, sizeof registeredName, "registered 0x%04X", registered);

    std::size_t from = kobalt::device::DebugLineCount();
    Log log;
    HWND hwnd = MakeWindow(&log);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(LinesSince(from),
              std::vector<std::string>{Line("sent", "WM_CREATE", hwnd, 0, 0, self)});

    from = kobalt::device::DebugLineCount();
    const auto other = reinterpret_cast<LPARAM>(hwnd);
    SendMessageW(hwnd, WM_COMMAND, 0x00010005, other);
    ASSERT_TRUE(PostMessageW(hwnd, LB_ADDSTRING, 0, -1));
    ASSERT_TRUE(PostMessageW(hwnd, registered, 7, 0));
    ASSERT_TRUE(PostMessageW(hwnd, WM_APP + 0x14D, 1, 2));
    SendMessageW(hwnd, kRecord, 21, 0);
    PumpPosted();
    DestroyWindow(hwnd);
    const std::vector<std::string> expected = {
        Line("sent", "WM_COMMAND", hwnd, 0x00010005, other, self),
        Line("sent", "WM_APP+0x1", hwnd, 21, 0, self),
        Line("posted", "LB_ADDSTRING", hwnd, 0, -1, self),
        Line("posted", registeredName, hwnd, 7, 0, self),
        Line("posted", "WM_APP+0x14D", hwnd, 1, 2, self),
        Line("sent", "WM_DESTROY", hwnd, 0, 0, self),
    };
    EXPECT_EQ(LinesSince(from), expected);
    EXPECT_EQ(log.Values(), std::vector<WPARAM>{21});
}

TEST(MessageTraceOn, ACrossThreadSendOrPostNamesTheReceivingThread) {
    Log log;
    OwnerThread owner(&log);
    const std::size_t from = kobalt::device::DebugLineCount();
    EXPECT_EQ(SendMessageW(owner.Handle(), kRecord, 4, 0), 8);
    ASSERT_TRUE(PostMessageW(owner.Handle(), kRecord, 5, 0));
    owner.Stop(); // kStop is posted after kRecord and the thread then destroys its window
    const std::vector<std::string> expected = {
        Line("sent", "WM_APP+0x1", owner.Handle(), 4, 0, owner.ThreadId()),
        Line("posted", "WM_APP+0x1", owner.Handle(), 5, 0, owner.ThreadId()),
        Line("posted", "WM_APP+0x2", owner.Handle(), 0, 0, owner.ThreadId()),
        Line("sent", "WM_DESTROY", owner.Handle(), 0, 0, owner.ThreadId()),
    };
    EXPECT_EQ(LinesSince(from), expected);
    EXPECT_NE(owner.ThreadId(), GetCurrentThreadId());
}

TEST(MessageTraceOn, LinesHoldNoControlCharacters) {
    const std::size_t from = kobalt::device::DebugLineCount();
    Log log;
    HWND hwnd = MakeWindow(&log);
    // Message numbers with no name, in every range the name table formats.
    for (UINT msg : {0x0099u, 0x03FFu, 0x0400u, 0x7FFFu, 0xBFFFu, 0xC123u, 0xFFFFu, 0x12345u}) {
        SendMessageW(hwnd, msg, ~WPARAM{0}, -1);
    }
    DestroyWindow(hwnd);
    const std::vector<std::string> lines = LinesSince(from);
    ASSERT_EQ(lines.size(), 10u); // WM_CREATE, eight, WM_DESTROY
    for (const std::string& line : lines) {
        for (char c : line) {
            EXPECT_TRUE(c >= 0x20 && c < 0x7F) << line;
        }
    }
    EXPECT_NE(lines[8].find(" 0x12345 hwnd="), std::string::npos) << lines[8];
}

TEST(MessageTraceOff, NothingIsWrittenWithoutTheVariable) {
    ASSERT_EQ(std::getenv("KOBALT_DEBUG"), nullptr) << "run by CTest without KOBALT_DEBUG";
    const std::size_t from = kobalt::device::DebugLineCount();
    Log log;
    HWND hwnd = MakeWindow(&log);
    SendMessageW(hwnd, WM_COMMAND, 1, 0);
    ASSERT_TRUE(PostMessageW(hwnd, kRecord, 3, 0));
    PumpPosted();
    {
        OwnerThread owner(&log);
        SendMessageW(owner.Handle(), kRecord, 4, 0);
    }
    DestroyWindow(hwnd);
    EXPECT_EQ(log.Values(), (std::vector<WPARAM>{3, 4})) << "the messages did arrive";
    EXPECT_EQ(LinesSince(from), std::vector<std::string>{});
}

} // namespace
