// Debug output lines and the audio-driver hook.
#include "platform/DeviceServices.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

std::vector<std::u16string> LinesSince(std::size_t first) {
    const auto all = kobalt::device::DebugLines();
    return {all.begin() + static_cast<std::ptrdiff_t>(first), all.end()};
}

TEST(DebugOutputTest, OneTrailingLineEndIsStripped) {
    const std::size_t first = kobalt::device::DebugLineCount();
    NKDbgPrintfW(u"[KOBALT][API]Ready\r\n");
    NKDbgPrintfW(u"%s Miss\r\n", u"KOBALT_Init");
    NKDbgPrintfW(u"unix\n");
    NKDbgPrintfW(u"twice\r\n\r\n");
    NKDbgPrintfW(u"bare");
    NKDbgPrintfW(u"\r\n");
    const std::vector<std::u16string> expected = {
        u"[KOBALT][API]Ready", u"KOBALT_Init Miss", u"unix", u"twice\r\n", u"bare", u""};
    EXPECT_EQ(LinesSince(first), expected);
    EXPECT_EQ(kobalt::device::DebugLineCount(), first + expected.size());
}

// Lines from several threads are all kept, each thread's in its own order, and the sink sees
// exactly the history's order.
TEST(DebugOutputTest, ConcurrentLinesAreKeptWholeAndInTheSinksOrder) {
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 200;
    std::vector<std::u16string> sunk; // only touched by the sink, which runs under the lock
    kobalt::device::SetDebugSink([&sunk](const std::u16string& line) { sunk.push_back(line); });
    const std::size_t first = kobalt::device::DebugLineCount();

    std::vector<HANDLE> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.push_back(CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD {
                const int thread = static_cast<int>(reinterpret_cast<std::intptr_t>(p));
                for (int i = 0; i < kLinesEach; ++i) {
                    NKDbgPrintfW(u"T%d %d\r\n", thread, i);
                }
                return 0;
            },
            reinterpret_cast<LPVOID>(static_cast<std::intptr_t>(t)), 0, nullptr));
    }
    for (HANDLE thread : threads) {
        ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
        CloseHandle(thread);
    }
    kobalt::device::SetDebugSink(nullptr);

    const auto lines = LinesSince(first);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
    EXPECT_EQ(sunk, lines);
    std::map<int, int> nextOf;
    for (const auto& line : lines) {
        WCHAR expected[32];
        const int thread = line[1] - u'0';
        wsprintfW(expected, u"T%d %d", thread, nextOf[thread]++);
        ASSERT_EQ(line, std::u16string(expected));
    }
}

TEST(AudioHookTest, PrivateMessagesSwitchCallAudio) {
    const struct {
        UINT message;
        MMRESULT result;
        bool audioAfter;
    } steps[] = {
        {1069, MMSYSERR_NOERROR, true},      {1069, MMSYSERR_NOERROR, true},
        {1071, MMSYSERR_NOTSUPPORTED, true}, {1070, MMSYSERR_NOERROR, false},
        {0, MMSYSERR_NOTSUPPORTED, false},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(waveOutMessage(nullptr, step.message, 0, 0), step.result) << step.message;
        EXPECT_EQ(kobalt::device::CallAudioOn(), step.audioAfter) << step.message;
    }
}

} // namespace
