// The entry points through the console's function types: stack lifecycle, registration, and
// the failure of everything not implemented yet.
#include "ExpectedNames.h"
#include "SimLibrary.h"
#include "sdk/KobaltAbi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>

namespace kobalt::sim::test {
namespace {

template <class Fn> Fn Entry(const char* name) {
    const Fn fn = SimLibrary::Get().Entry<Fn>(name);
    if (fn == nullptr) {
        ADD_FAILURE() << name << " is not exported";
    }
    return fn;
}

int Call(const char* name) {
    return Entry<KOBALT_Fn_Void>(name)();
}

int ConnectCallback(int, KOBALT_BdAddr*, int16_t) {
    return 1;
}
int PairCallback(int, KOBALT_BdAddr*) {
    return 1;
}
int HfCallback(uint32_t, intptr_t) {
    return 0;
}
void PimCallback(int32_t) {}

TEST(Lifecycle, InitAndUnInitSucceedInEitherState) {
    EXPECT_EQ(Call("KOBALT_UnInit"), 0) << "UnInit of a stack that is not running";
    EXPECT_EQ(Call("KOBALT_Init"), 0);
    EXPECT_EQ(Call("KOBALT_Init"), 0) << "Init of a running stack";
    EXPECT_EQ(Call("KOBALT_UnInit"), 0);
    EXPECT_EQ(Call("KOBALT_UnInit"), 0);
}

TEST(Lifecycle, RegistrationsNeedARunningStack) {
    const auto connect = Entry<KOBALT_Fn_RegisterConnectCallback>("KOBALT_RegisterConnectCallback");
    const auto pair = Entry<KOBALT_Fn_RegisterPairCallback>("KOBALT_RegisterPairCallback");
    const auto hf = Entry<KOBALT_Fn_HFAP_RegisterCallback>("KOBALT_HFAP_RegisterCallback");
    const auto pim = Entry<KOBALT_Fn_PIMRegisterCallback>("KOBALT_PIMRegisterCallback");

    Call("KOBALT_UnInit");
    EXPECT_NE(connect(ConnectCallback), 0);
    EXPECT_NE(pair(PairCallback), 0);
    EXPECT_NE(hf(0, HfCallback), 0);
    EXPECT_NE(pim(PimCallback), 0);

    Call("KOBALT_Init");
    EXPECT_EQ(connect(ConnectCallback), 0);
    EXPECT_EQ(pair(PairCallback), 0);
    EXPECT_EQ(hf(0, HfCallback), 0);
    EXPECT_EQ(pim(PimCallback), 0);
    EXPECT_EQ(pim(nullptr), 0) << "null removes a registration";
    Call("KOBALT_UnInit");
}

// Memory an entry point could write to, filled with a pattern that must survive the call.
struct Canary {
    static constexpr unsigned char kByte = 0xA5;
    static constexpr uint32_t kCount = 0xA5A5A5A5;

    Canary() { bytes.fill(kByte); }
    bool Intact() const {
        return count == kCount &&
               std::all_of(bytes.begin(), bytes.end(), [](unsigned char b) { return b == kByte; });
    }
    template <class T> T* At(std::size_t offset) { return reinterpret_cast<T*>(&bytes[offset]); }

    alignas(8) std::array<unsigned char, 16384> bytes;
    uint32_t count = kCount;
};

struct Case {
    const char* name;
    std::function<int(Canary&)> call;
};

// Every entry point with arguments that has no behaviour yet, called as the console calls it,
// and those that must refuse a device the world does not have (the canary's address).
const std::vector<Case>& CasesWithArguments() {
    static const std::vector<Case> cases{
        {"KOBALT_GetRemoteName",
         [](Canary& c) {
             return Entry<KOBALT_Fn_GetRemoteName>("KOBALT_GetRemoteName")(c.At<KOBALT_BdAddr>(0),
                                                                           c.At<KOBALT_WCHAR>(8));
         }},
        {"KOBALT_Connect",
         [](Canary& c) {
             return Entry<KOBALT_Fn_Connection>("KOBALT_Connect")(c.At<KOBALT_BdAddr>(0), 1);
         }},
        {"KOBALT_Disconnect",
         [](Canary& c) {
             return Entry<KOBALT_Fn_Connection>("KOBALT_Disconnect")(c.At<KOBALT_BdAddr>(0), 5);
         }},
        {"KOBALT_HFAP_Dial",
         [](Canary&) { return Entry<KOBALT_Fn_HFAP_Dial>("KOBALT_HFAP_Dial")("10086", 5); }},
        {"KOBALT_HFAP_TransmitDTMFCode",
         [](Canary&) {
             return Entry<KOBALT_Fn_HFAP_TransmitDTMFCode>("KOBALT_HFAP_TransmitDTMFCode")('#');
         }},
        {"KOBALT_PIMStartUpdateContacts",
         [](Canary&) {
             return Entry<KOBALT_Fn_PIMStartUpdate>("KOBALT_PIMStartUpdateContacts")(0);
         }},
        {"KOBALT_PIMStartUpdateCalllogEx",
         [](Canary&) {
             return Entry<KOBALT_Fn_PIMStartUpdate>("KOBALT_PIMStartUpdateCalllogEx")(2);
         }},
        {"KOBALT_DUNConnect",
         [](Canary& c) {
             return Entry<KOBALT_Fn_DUNConnect>("KOBALT_DUNConnect")(
                 c.At<KOBALT_BdAddr>(0), u"*99#", u"", u"", u"internet", u"");
         }},
    };
    return cases;
}

// With the stack running, so that the failures do not come from a stopped stack.
class Unimplemented : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Call("KOBALT_Init"), 0); }
    void TearDown() override { Call("KOBALT_UnInit"); }
};

TEST_F(Unimplemented, EntryPointsWithArgumentsFailAndLeaveMemoryAlone) {
    for (const Case& c : CasesWithArguments()) {
        SCOPED_TRACE(c.name);
        Canary canary;
        EXPECT_NE(c.call(canary), 0);
        EXPECT_TRUE(canary.Intact());
    }
}

TEST_F(Unimplemented, IsConnectedAnswersFalseInItsLowByteForAnUnknownDevice) {
    Canary canary;
    const int result =
        Entry<KOBALT_Fn_Connection>("KOBALT_IsConnected")(canary.At<KOBALT_BdAddr>(0), 1);
    EXPECT_EQ(result & 0xFF, 0);
    EXPECT_TRUE(canary.Intact());
}

TEST_F(Unimplemented, AudioStatusIsNeitherPhoneNorDevice) {
    const int status = Call("KOBALT_HFAP_GetAudioStatus");
    EXPECT_NE(status, 0);
    EXPECT_NE(status, 1);
}

// The rest take no arguments the console knows of: the no-argument calls of the console and
// the 75 entry points it never calls.
TEST_F(Unimplemented, EntryPointsWithoutArgumentsFail) {
    const std::array<std::string_view, 25> notHere{
        "KOBALT_Init",
        "KOBALT_UnInit",
        "KOBALT_SetIntegrateTL",
        "KOBALT_RegisterConnectCallback",
        "KOBALT_RegisterPairCallback",
        "KOBALT_HFAP_RegisterCallback",
        "KOBALT_PIMRegisterCallback",
        "KOBALT_IsConnected",
        "KOBALT_HFAP_GetAudioStatus",
        "KOBALT_DeviceDiscovery", // PhoneLibraryTest
        "KOBALT_GetAllShortCuts", // PhoneLibraryTest
        "KOBALT_GetClientPort",   // 0 without an SPP connection
        // The adapter's settings and the dial-up lists: AdapterTest, DialUpTest,
        // ProfilesLibraryTest.
        "KOBALT_GetSofewareVersion",
        "KOBALT_GetDefaultPinCode",
        "KOBALT_SetDefaultPinCode",
        "KOBALT_GetLocalName",
        "KOBALT_SetLocalName",
        "KOBALT_GetLocalBTAddr",
        "KOBALT_DUNGetCountry",
        "KOBALT_DUNGetProvider",
        "KOBALT_DUNGetParams",
        // The phone's data: PimLibraryTest.
        "KOBALT_PIMStopUpdate",
        "KOBALT_PIMGetContacts",
        "KOBALT_PIMGetCalllogs",
        "KOBALT_PIMGetOppContacts",
    };
    std::size_t called = 0;
    for (std::string_view name : kExpectedNames) {
        const bool withArguments =
            std::any_of(CasesWithArguments().begin(), CasesWithArguments().end(),
                        [&](const Case& c) { return c.name == name; });
        if (withArguments || std::find(notHere.begin(), notHere.end(), name) != notHere.end()) {
            continue;
        }
        SCOPED_TRACE(std::string(name));
        EXPECT_NE(Call(std::string(name).c_str()), 0);
        ++called;
    }
    EXPECT_EQ(called, kExpectedNames.size() - CasesWithArguments().size() - notHere.size());
}

} // namespace
} // namespace kobalt::sim::test
