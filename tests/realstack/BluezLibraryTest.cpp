// The bluez KOBALT.dll as the console loads it, without any bus: the export layer's results,
// the PIN kept in the configuration folder, Init's failure without a bus, the phone's data
// before START, the dial-up lists (which need no START) and the entry points that are not mapped
// touching nothing.
#include "sdk/KobaltAbi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// The library's environment is read when it loads: the configuration folder and a bus address
// nobody listens on are set first, once for the program.
class BluezLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/kobalt-bluez-lib-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        s_folder = pattern;
        setenv("XDG_CONFIG_HOME", s_folder.c_str(), 1);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + s_folder + "/no-bus").c_str(), 1);
        setenv("KOBALT_PROVIDER_DB", KOBALT_PROVIDER_FIXTURE, 1);
        // The live trace, as the terminal front end hands it to the library it loads.
        int pair[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
        s_traceReceiver = pair[0];
        setenv("KOBALT_TRACE_FD", std::to_string(pair[1]).c_str(), 1);
        s_handle = dlopen(KOBALT_BLUEZ_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(s_handle, nullptr) << dlerror();
    }
    static void TearDownTestSuite() { std::system(("rm -rf '" + s_folder + "'").c_str()); }
    template <class Fn> static Fn Entry(const char* name) {
        Fn fn = reinterpret_cast<Fn>(dlsym(s_handle, name));
        EXPECT_NE(fn, nullptr) << name;
        return fn;
    }

    // The lines of the live trace's records waiting now (each record: time, blank, line).
    static std::vector<std::string> TraceLines() {
        std::vector<std::string> lines;
        char record[4096];
        ssize_t got = 0;
        while ((got = recv(s_traceReceiver, record, sizeof record, MSG_DONTWAIT)) > 0) {
            const std::string text(record, static_cast<std::size_t>(got));
            lines.push_back(text.substr(text.find(' ') + 1));
        }
        return lines;
    }

    static inline std::string s_folder;
    static inline int s_traceReceiver = -1;
    static inline void* s_handle = nullptr;
};

TEST_F(BluezLibrary, InitWithoutABusFailsClearlyAndUnInitIsHarmless) {
    TraceLines();
    EXPECT_EQ(Entry<KOBALT_Fn_Void>("KOBALT_Init")(), -30);
    // The call and the library's reason reach the live trace (the terminal's event log), not
    // stderr.
    const std::vector<std::string> lines = TraceLines();
    bool call = false;
    bool reason = false;
    for (const std::string& line : lines) {
        call = call || line == "KOBALT_Init() = -30";
        reason = reason || line.starts_with("[KOBALT.bluez] ");
    }
    EXPECT_TRUE(call && reason) << testing::PrintToString(lines);
    EXPECT_EQ(Entry<KOBALT_Fn_Void>("KOBALT_UnInit")(), 0);
    KOBALT_BdAddr addr{{1, 2, 3, 4, 5, 6}};
    EXPECT_EQ(Entry<KOBALT_Fn_Connection>("KOBALT_IsConnected")(&addr, KOBALT_SERVICE_HF), 0);
    EXPECT_EQ(Entry<KOBALT_Fn_Connection>("KOBALT_Connect")(&addr, KOBALT_SERVICE_HF), -3);
    EXPECT_EQ(Entry<KOBALT_Fn_HFAP_Dial>("KOBALT_HFAP_Dial")("123", 3), -3);
}

TEST_F(BluezLibrary, PinIsKeptInTheConfigurationFolderAndRefusedWhenMalformed) {
    char pin[] = "4321";
    auto set = Entry<KOBALT_Fn_SetDefaultPinCode>("KOBALT_SetDefaultPinCode");
    auto get = Entry<KOBALT_Fn_GetDefaultPinCode>("KOBALT_GetDefaultPinCode");
    ASSERT_EQ(set(pin, sizeof pin), 0);
    std::stringstream stored;
    stored << std::ifstream(s_folder + "/kobalt/bluez-pin").rdbuf();
    EXPECT_EQ(stored.str(), "4321\n");

    char unterminated[4] = {'9', '9', '9', '9'};
    EXPECT_EQ(set(unterminated, sizeof unterminated), -22);
    char empty[] = "";
    EXPECT_EQ(set(empty, sizeof empty), -22);

    char small[4] = {'x', 'x', 'x', 'x'};
    uint32_t length = sizeof small;
    EXPECT_EQ(get(small, &length), -21); // "4321" and its NUL need 5 bytes
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(std::memcmp(small, "xxxx", 4), 0);
    char buffer[32];
    length = sizeof buffer;
    EXPECT_EQ(get(buffer, &length), 0);
    EXPECT_STREQ(buffer, "4321");
}

TEST_F(BluezLibrary, EntryPointsNotMappedFail) {
    EXPECT_EQ(Entry<KOBALT_Fn_Other>("KOBALT_FTPGetRemoteFileList")(), -1);
    EXPECT_EQ(Entry<KOBALT_Fn_Void>("KOBALT_HoldInComingCall")(), -1);
}

// The call audio needs the stack: before START the audio status and both transfers say so.
TEST_F(BluezLibrary, AudioBeforeStartIsNotInitialised) {
    for (const char* name :
         {"KOBALT_HFAP_GetAudioStatus", "KOBALT_HFAP_Transfer", "KOBALT_HFAP_TransferBack"}) {
        EXPECT_EQ(Entry<KOBALT_Fn_Void>(name)(), -3) << name;
    }
}

// The dial-up lists come from the provider database (the fixture) as in the simulated SDK, without
// START; a dial needs START.
TEST_F(BluezLibrary, DialUpListsWithoutStart) {
    const auto countries = Entry<KOBALT_Fn_DUNGetCountry>("KOBALT_DUNGetCountry");
    uint32_t count = 0;
    ASSERT_EQ(countries(nullptr, &count), 0);
    ASSERT_EQ(count, 13u);
    std::vector<KOBALT_DunListEntry> entries(count + 1);
    entries[11].id = 0xC0FFEE;
    count = 11; // less room than countries
    ASSERT_EQ(countries(entries.data(), &count), 0);
    EXPECT_EQ(count, 11u);
    EXPECT_EQ(std::u16string(entries[10].name), u"Germany");
    EXPECT_EQ(entries[11].id, 0xC0FFEEu);

    KOBALT_WCHAR p[5][260] = {};
    ASSERT_EQ(Entry<KOBALT_Fn_DUNGetParams>("KOBALT_DUNGetParams")(entries[10].id * 1000 + 1, p[0],
                                                                   p[1], p[2], p[3], p[4]),
              0);
    EXPECT_EQ(std::u16string(p[1]), u"internet.telekom");
    KOBALT_BdAddr addr{{1, 2, 3, 4, 5, 6}};
    EXPECT_EQ(Entry<KOBALT_Fn_DUNConnect>("KOBALT_DUNConnect")(&addr, p[0], p[1], p[2], p[3], p[4]),
              -3);
}

// The phone's data needs the stack: before START every PIM entry point says so and touches
// nothing.
TEST_F(BluezLibrary, PhoneDataBeforeStartFailsAndTouchesNothing) {
    unsigned char records[KOBALT_OPP_RECORD_SIZE];
    std::memset(records, 0xA5, sizeof records);
    for (const char* name :
         {"KOBALT_PIMGetContacts", "KOBALT_PIMGetCalllogs", "KOBALT_PIMGetOppContacts"}) {
        uint32_t count = 1;
        EXPECT_EQ(Entry<KOBALT_Fn_PIMGetRecords>(name)(records, &count), -3) << name;
        EXPECT_EQ(count, 1u) << name;
    }
    for (const unsigned char byte : records) {
        ASSERT_EQ(byte, 0xA5);
    }
    EXPECT_EQ(Entry<KOBALT_Fn_PIMStartUpdate>("KOBALT_PIMStartUpdateContacts")(0), -3);
    EXPECT_EQ(Entry<KOBALT_Fn_PIMStartUpdate>("KOBALT_PIMStartUpdateCalllogEx")(0), -3);
    EXPECT_EQ(Entry<KOBALT_Fn_Void>("KOBALT_PIMStopUpdate")(), -3);
}

TEST_F(BluezLibrary, VersionNamesTheLinuxStack) {
    KOBALT_WCHAR version[40];
    ASSERT_EQ(Entry<KOBALT_Fn_GetSofewareVersion>("KOBALT_GetSofewareVersion")(version), 0);
    const std::u16string text(version);
    EXPECT_EQ(text, u"KOBALT SDK 3.2.1 (bluez)");
}

} // namespace
