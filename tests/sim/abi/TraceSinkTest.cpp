// The live trace the library sends to the socket named by KOBALT_TRACE_FD, as the console's
// terminal front end receives it.
#include "common/TraceSink.h"
#include "PhoneSupport.h"
#include "SimLibrary.h"
#include "sdk/KobaltAbi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kobalt::sim::test {
namespace {

// The socket pair, made and named before anything loads the library (static initialisation).
struct Sink {
    Sink() {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) == 0) {
            receiver = pair[0];
            sender = pair[1];
            ::setenv(common::kTraceSinkVariable, std::to_string(sender).c_str(), 1);
        }
    }
    int receiver = -1;
    int sender = -1;
};
Sink g_sink;

// Every record waiting now.
std::vector<common::ParsedTraceRecord> Drain(std::vector<std::string>& storage) {
    storage.clear();
    std::vector<char> buffer(common::kMaxTraceRecord);
    for (;;) {
        const ssize_t got = ::recv(g_sink.receiver, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (got <= 0) {
            break;
        }
        storage.emplace_back(buffer.data(), static_cast<std::size_t>(got));
    }
    std::vector<common::ParsedTraceRecord> records;
    for (const std::string& record : storage) {
        records.push_back(common::ParseTraceRecord(record));
    }
    return records;
}

int ConnectEventCallback(int, KOBALT_BdAddr*, int16_t) {
    return 1;
}

TEST(TraceSink, CallsAndCallbacksArriveAsTimedRecords) {
    ASSERT_GE(g_sink.receiver, 0);
    SimLibrary::Get();
    std::vector<std::string> storage;
    Drain(storage);
    const std::uint64_t before = common::MonotonicNanoseconds();
    StartWithWorld({"66:55:44:33:22:11 \"Pixel 7\" hf paired"});
    Entry<KOBALT_Fn_RegisterConnectCallback>("KOBALT_RegisterConnectCallback")(
        &ConnectEventCallback);
    KOBALT_BdAddr addr = Addr("66:55:44:33:22:11");
    EXPECT_EQ(Entry<KOBALT_Fn_Connection>("KOBALT_Connect")(&addr, 1), 0);
    KOBALT_BdAddr nobody = Addr("01:02:03:04:05:06");
    EXPECT_NE(Entry<KOBALT_Fn_Connection>("KOBALT_Connect")(&nobody, 1), 0);
    std::vector<std::string> lines;
    std::vector<std::uint64_t> times;
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    bool called = false;
    while (!called && std::chrono::steady_clock::now() < deadline) {
        for (const common::ParsedTraceRecord& record : Drain(storage)) {
            ASSERT_TRUE(record.monotonicNs) << record.line;
            lines.emplace_back(record.line);
            times.push_back(*record.monotonicNs);
            called = called || lines.back().rfind("-> ConnectEventCallback(1, ", 0) == 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(called) << "no connect callback came";
    const auto has = [&lines](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("KOBALT_RegisterConnectCallback(ConnectEventCallback) = 0"));
    EXPECT_TRUE(has("KOBALT_Connect(66:55:44:33:22:11, 1) = 0"));
    EXPECT_TRUE(has("KOBALT_Connect(01:02:03:04:05:06, 1) = -6"));
    EXPECT_TRUE(has("-> ConnectEventCallback(1, 66:55:44:33:22:11, 1)"));
    for (std::size_t i = 0; i < times.size(); ++i) {
        EXPECT_GE(times[i], before) << lines[i];
        EXPECT_LE(times[i], common::MonotonicNanoseconds()) << lines[i];
        if (i > 0) {
            EXPECT_GE(times[i], times[i - 1]) << "records go out in the order made: " << lines[i];
        }
    }
    Call("KOBALT_UnInit");
}

TEST(TraceSink, AFullReceiverLosesRecordsAndIsToldHowMany) {
    ASSERT_GE(g_sink.receiver, 0);
    SimLibrary::Get();
    std::vector<std::string> storage;
    Drain(storage);
    const int small = 1; // the kernel's least
    ::setsockopt(g_sink.sender, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    const auto setMode = Entry<KOBALT_Fn_SetIntegrateTL>("KOBALT_SetIntegrateTL");
    constexpr int kCalls = 2000;
    for (int i = 0; i < kCalls; ++i) {
        EXPECT_EQ(setMode(1), 0) << "a full sink never fails or holds a call";
    }
    int received = static_cast<int>(Drain(storage).size());
    EXPECT_LT(received, kCalls);
    setMode(2);
    const std::vector<common::ParsedTraceRecord> after = Drain(storage);
    ASSERT_EQ(after.size(), 2u);
    const std::string lost(after[0].line);
    ASSERT_EQ(lost.rfind("(", 0), 0u) << lost;
    EXPECT_EQ(lost, "(" + std::to_string(kCalls - received) + " trace lines lost)");
    EXPECT_EQ(after[1].line, "KOBALT_SetIntegrateTL(2) = 0");
}

} // namespace
} // namespace kobalt::sim::test
