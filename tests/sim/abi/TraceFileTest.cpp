// The trace file named by KOBALT_SIM_TRACE, as a run of the console would leave it.
#include "PhoneSupport.h"
#include "SimLibrary.h"
#include "sdk/KobaltAbi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace kobalt::sim::test {
namespace {

// The lines appended to the trace file after construction.
class TraceTail {
public:
    TraceTail() {
        SimLibrary::Get(); // the library may create the file when it loads
        const char* path = std::getenv("KOBALT_SIM_TRACE");
        if (path == nullptr) {
            ADD_FAILURE() << "KOBALT_SIM_TRACE is not set";
            return;
        }
        m_path = path;
        m_start = Read().size();
    }

    std::vector<std::string> Lines() const {
        std::istringstream text(Read().substr(m_start));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::string Text() const { return Read().substr(m_start); }

private:
    std::string Read() const {
        std::ifstream file(m_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }

    std::string m_path;
    std::size_t m_start = 0;
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

int ConnectEventCallback(int, KOBALT_BdAddr*, int16_t) {
    return 1;
}
int HfEventCallback(uint32_t, intptr_t) {
    return 0;
}

TEST(TraceFile, ConsoleSessionIsTracedLineByLine) {
    StartWithWorld({"66:55:44:33:22:11 \"Pixel 7\" hf paired", "00:1A:7D:DA:71:13 \"\" hf paired"});
    Call("KOBALT_UnInit");
    TraceTail tail;
    KOBALT_BdAddr addr{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};
    KOBALT_WCHAR name[64] = {};
    char pin[260] = {};
    uint32_t length = 260;
    uint32_t count = 0;
    KOBALT_WCHAR params[5][260] = {};

    Entry<KOBALT_Fn_SetIntegrateTL>("KOBALT_SetIntegrateTL")(2);
    Entry<KOBALT_Fn_Void>("KOBALT_Init")();
    Entry<KOBALT_Fn_RegisterConnectCallback>("KOBALT_RegisterConnectCallback")(
        ConnectEventCallback);
    Entry<KOBALT_Fn_RegisterPairCallback>("KOBALT_RegisterPairCallback")(nullptr);
    Entry<KOBALT_Fn_HFAP_RegisterCallback>("KOBALT_HFAP_RegisterCallback")(0, HfEventCallback);
    Entry<KOBALT_Fn_GetRemoteName>("KOBALT_GetRemoteName")(&addr, name);
    Entry<KOBALT_Fn_Connection>("KOBALT_Connect")(nullptr, 1);
    Entry<KOBALT_Fn_Connection>("KOBALT_IsConnected")(&addr, 0x110E);
    Entry<KOBALT_Fn_GetAllShortCuts>("KOBALT_GetAllShortCuts")(nullptr, &count);
    Entry<KOBALT_Fn_GetDefaultPinCode>("KOBALT_GetDefaultPinCode")(pin, &length);
    Entry<KOBALT_Fn_GetLocalName>("KOBALT_GetLocalName")(name, 64);
    Entry<KOBALT_Fn_HFAP_Dial>("KOBALT_HFAP_Dial")("+8610086", 9);
    Entry<KOBALT_Fn_HFAP_TransmitDTMFCode>("KOBALT_HFAP_TransmitDTMFCode")('*');
    Entry<KOBALT_Fn_DUNGetProvider>("KOBALT_DUNGetProvider")(4294967295u, nullptr, &count);
    Entry<KOBALT_Fn_DUNGetParams>("KOBALT_DUNGetParams")(7, params[0], params[1], params[2],
                                                         params[3], params[4]);
    Entry<KOBALT_Fn_DUNConnect>("KOBALT_DUNConnect")(&addr, u"*99#", u"", u"user", u"pass",
                                                     u"cmnet");
    Entry<KOBALT_Fn_Void>("KOBALT_HFAP_GetAudioStatus")();
    Entry<KOBALT_Fn_Other>("KOBALT_ExcuteCmd")();
    Entry<KOBALT_Fn_Void>("KOBALT_UnInit")();

    EXPECT_EQ(
        Joined(tail.Lines()),
        Joined({
            "KOBALT_SetIntegrateTL(2) = 0",
            "KOBALT_Init() = 0",
            "KOBALT_RegisterConnectCallback(ConnectEventCallback) = 0",
            "KOBALT_RegisterPairCallback(null) = 0",
            "KOBALT_HFAP_RegisterCallback(0, HfEventCallback) = 0",
            "KOBALT_GetRemoteName(66:55:44:33:22:11, buf) = 0",
            "KOBALT_Connect(null, 1) = -5",
            "KOBALT_IsConnected(66:55:44:33:22:11, 4366) = 0",
            "KOBALT_GetAllShortCuts(null, &0) = 0",
            "KOBALT_GetDefaultPinCode(buf, &260) = 0",
            "KOBALT_GetLocalName(buf, 64) = 0",
            "KOBALT_HFAP_Dial(\"+8610086\", 9) = -10",
            "KOBALT_HFAP_TransmitDTMFCode(42) = -10",
            "KOBALT_DUNGetProvider(4294967295, null, &2) = -20", // the count the shortcuts left
            "KOBALT_DUNGetParams(7, buf, buf, buf, buf, buf) = -20",
            "KOBALT_DUNConnect(66:55:44:33:22:11, \"*99#\", \"\", \"user\", \"pass\", "
            "\"cmnet\") = -20",
            "KOBALT_HFAP_GetAudioStatus() = -10",
            "KOBALT_ExcuteCmd() = -1",
            "KOBALT_UnInit() = 0",
        }));
}

TEST(TraceFile, StringsAreQuotedUtf8WithEscapes) {
    TraceTail tail;
    const KOBALT_WCHAR name[] = {u'"', u'\\', u'\t', 0x00E9, 0xD83D, 0xDE00, 0xDC00, u'x', 0};
    char pin[260] = "1\"2\\3\n\xFF";

    Entry<KOBALT_Fn_SetLocalName>("KOBALT_SetLocalName")(name);
    Entry<KOBALT_Fn_SetDefaultPinCode>("KOBALT_SetDefaultPinCode")(pin, 260);

    // The unpaired surrogate makes the name unacceptable; the PIN's bytes are taken as given.
    EXPECT_EQ(tail.Text(), "KOBALT_SetLocalName(\"\\\"\\\\\\x09\u00E9\U0001F600\uFFFDx\") = -22\n"
                           "KOBALT_SetDefaultPinCode(\"1\\\"2\\\\3\\x0A\\xFF\", 260) = 0\n");
}

TEST(TraceFile, ConcurrentCallsLeaveWholeLines) {
    TraceTail tail;
    const auto setMode = Entry<KOBALT_Fn_SetIntegrateTL>("KOBALT_SetIntegrateTL");
    const auto dial = Entry<KOBALT_Fn_HFAP_Dial>("KOBALT_HFAP_Dial");
    constexpr int kThreads = 4;
    constexpr int kCalls = 200;
    const std::string longNumber(300, '5');

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i) {
                setMode(t);
                dial(longNumber.c_str(), static_cast<int>(longNumber.size()));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    std::set<std::string> allowed{"KOBALT_HFAP_Dial(\"" + longNumber + "\", 300) = -3"};
    for (int t = 0; t < kThreads; ++t) {
        allowed.insert("KOBALT_SetIntegrateTL(" + std::to_string(t) + ") = 0");
    }
    const std::vector<std::string> lines = tail.Lines();
    EXPECT_EQ(lines.size(), std::size_t{kThreads * kCalls * 2});
    std::size_t broken = 0;
    for (const std::string& line : lines) {
        broken += allowed.count(line) == 0 ? 1 : 0;
    }
    EXPECT_EQ(broken, 0u);
}

void AskNameInside(int, KOBALT_BdAddr* addr) {
    KOBALT_WCHAR name[64] = {};
    Entry<KOBALT_Fn_GetRemoteName>("KOBALT_GetRemoteName")(addr, name);
}

TEST(TraceFile, CallbacksAreTracedBeforeTheCallsMadeInsideThem) {
    StartWithWorld({"66:55:44:33:22:11 \"Pixel 7\" hf"});
    TraceTail tail;
    Events::InsideNextConnect(AskNameInside);
    PhoneOk("connect 66:55:44:33:22:11 hf");
    PhoneOk("connect none 9");
    PhoneOk("pair 66:55:44:33:22:11 fail");
    ASSERT_TRUE(Events::WaitForCount(3));
    ASSERT_EQ(Entry<KOBALT_Fn_DeviceDiscovery>("KOBALT_DeviceDiscovery")(Events::OnDiscovery), 0);
    ASSERT_TRUE(Events::WaitForCount(5));
    Call("KOBALT_UnInit");

    // A call's line is written when it returns, so the search's own line and its first report
    // (on the event thread) may come in either order.
    std::vector<std::string> lines = tail.Lines();
    const std::string discovery = "KOBALT_DeviceDiscovery(DiscoveryCallback) = 0";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), discovery), 1);
    lines.erase(std::remove(lines.begin(), lines.end(), discovery), lines.end());
    EXPECT_EQ(Joined(lines), Joined({
                                 "-> ConnectEventCallback(1, 66:55:44:33:22:11, 1)",
                                 "KOBALT_GetRemoteName(66:55:44:33:22:11, buf) = 0",
                                 "-> ConnectEventCallback(1, null, 9)",
                                 "-> PairEventCallback(0, 66:55:44:33:22:11)",
                                 "-> DiscoveryCallback(0, {66:55:44:33:22:11, \"Pixel 7\"})",
                                 "-> DiscoveryCallback(1, {00:00:00:00:00:00, \"\"})",
                                 "KOBALT_UnInit() = 0",
                             }));
}

} // namespace
} // namespace kobalt::sim::test
