// Entry-point slots in-process: their layout in CSdkApi, calls through unresolved slots, and
// fakes put into slots. Nothing here constructs CSdkApi, so no library is loaded.
#include "sdk/SdkApi.h"

#include "platform/DeviceServices.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

// A static table's slots are null before any constructor runs.
constinit SdkSlot<KOBALT_Fn_Void, SdkFailure::Error> g_StaticSlot;

constexpr std::size_t SlotOffset(int slotNumber) {
    return sizeof(HMODULE) + static_cast<std::size_t>(slotNumber - 1) * sizeof(void (*)());
}

// Family boundaries and the names the library misspells, at their 1-based slot numbers.
TEST(SdkApiLayout, SlotsFollowTheModuleHandleInTableOrder) {
    struct Row {
        const char* name;
        std::size_t offset;
        int slot;
    };
    const Row rows[] = {
        {"KOBALT_LoadProfileDrvs", offsetof(CSdkApi, KOBALT_LoadProfileDrvs), 1},
        {"KOBALT_Init", offsetof(CSdkApi, KOBALT_Init), 5},
        {"KOBALT_GetSofewareVersion", offsetof(CSdkApi, KOBALT_GetSofewareVersion), 11},
        {"KOBALT_IsConnected", offsetof(CSdkApi, KOBALT_IsConnected), 29},
        {"KOBALT_HFAP_GetAudioStatus", offsetof(CSdkApi, KOBALT_HFAP_GetAudioStatus), 46},
        {"KOBALT_AddHeldToConvertion", offsetof(CSdkApi, KOBALT_AddHeldToConvertion), 59},
        {"KOBALT_GetSignalBattch", offsetof(CSdkApi, KOBALT_GetSignalBattch), 71},
        {"KOBALT_PIMRegPhoneSurpportOrNotCB", offsetof(CSdkApi, KOBALT_PIMRegPhoneSurpportOrNotCB),
         84},
        {"KOBALT_EnalbeA2DP", offsetof(CSdkApi, KOBALT_EnalbeA2DP), 99},
        {"KOBALT_DUNConnect", offsetof(CSdkApi, KOBALT_DUNConnect), 102},
        {"KOBALT_GetClientPort", offsetof(CSdkApi, KOBALT_GetClientPort), 106},
        {"KOBALT_ExcuteCmd", offsetof(CSdkApi, KOBALT_ExcuteCmd), 130},
        {"KOBALT_RegistryWnd", offsetof(CSdkApi, KOBALT_RegistryWnd), 131},
    };
    EXPECT_EQ(offsetof(CSdkApi, m_hModule), 0u);
    for (const Row& row : rows) {
        EXPECT_EQ(row.offset, SlotOffset(row.slot)) << row.name;
    }
    EXPECT_EQ(sizeof(CSdkApi), SlotOffset(kSdkEntryPointCount + 1));
}

// Argument buffers filled with a pattern; an unresolved slot must leave them as they are.
class Canaries {
public:
    static constexpr std::size_t kSize = 8192; // more than any record the library writes
    static constexpr unsigned char kPattern = 0xA5;

    template <class T> T Make() {
        if constexpr (std::is_pointer_v<T> && std::is_function_v<std::remove_pointer_t<T>>) {
            return nullptr; // a callback; nothing may call it anyway
        } else if constexpr (std::is_pointer_v<T>) {
            auto& buffer = m_buffers.emplace_back(std::make_unique<Buffer>());
            buffer->bytes.fill(kPattern);
            return reinterpret_cast<T>(buffer->bytes.data());
        } else {
            return static_cast<T>(0x5A);
        }
    }

    std::size_t Count() const { return m_buffers.size(); }
    bool Intact() const {
        for (const auto& buffer : m_buffers) {
            for (unsigned char byte : buffer->bytes) {
                if (byte != kPattern) {
                    return false;
                }
            }
        }
        return true;
    }

private:
    struct Buffer {
        alignas(std::max_align_t) std::array<unsigned char, kSize> bytes;
    };
    std::vector<std::unique_ptr<Buffer>> m_buffers;
};

template <class R, class... Args, SdkFailure F, int Row>
R CallWithCanaries(const SdkSlot<R (*)(Args...), F, Row>& slot, Canaries& canaries) {
    return slot(canaries.Make<Args>()...);
}

struct NullCall {
    std::string name;
    bool resolved;
    int result;
    bool argumentsIntact;
    std::size_t pointerArguments;
};

std::vector<NullCall> CallEveryNullSlot() {
    std::vector<NullCall> calls;
#define KOBALT_TEST_NULL_CALL(name, fn, failure)                                                   \
    {                                                                                              \
        decltype(CSdkApi::name) slot;                                                              \
        Canaries canaries;                                                                         \
        const int result = CallWithCanaries(slot, canaries);                                       \
        calls.push_back(                                                                           \
            {#name, static_cast<bool>(slot), result, canaries.Intact(), canaries.Count()});        \
    }
    KOBALT_SDK_ENTRY_POINTS(KOBALT_TEST_NULL_CALL)
#undef KOBALT_TEST_NULL_CALL
    return calls;
}

TEST(SdkSlot, UnresolvedSlotsReturnTheirFailureAndTouchNoArgument) {
    EXPECT_FALSE(g_StaticSlot);
    EXPECT_NE(g_StaticSlot(), 0);

    const std::vector<NullCall> calls = CallEveryNullSlot();
    ASSERT_EQ(calls.size(), static_cast<std::size_t>(kSdkEntryPointCount));
    std::size_t pointerArguments = 0;
    for (const NullCall& call : calls) {
        SCOPED_TRACE(call.name);
        EXPECT_FALSE(call.resolved);
        EXPECT_TRUE(call.argumentsIntact);
        pointerArguments += call.pointerArguments;
        if (call.name == "KOBALT_IsConnected") {
            EXPECT_EQ(call.result & 0xFF, 0) << "read as an 8-bit boolean: not connected";
        } else if (call.name == "KOBALT_HFAP_GetAudioStatus") {
            EXPECT_NE(call.result, 0) << "0 would start a transfer";
            EXPECT_NE(call.result, 1) << "1 would start a transfer back";
        } else {
            EXPECT_NE(call.result, 0) << "0 reads as success";
        }
    }
    // The output-buffer entry points were really given buffers to spoil.
    EXPECT_GE(pointerArguments, 20u);
}

// Fakes record what reached them.
struct FakeLog {
    uint32_t countryId = 0;
    KOBALT_DunListEntry* entries = nullptr;
    uint32_t* count = nullptr;
    int calls = 0;
};
FakeLog g_FakeLog;

int FakeDunGetProvider(uint32_t countryId, KOBALT_DunListEntry* entries, uint32_t* count) {
    ++g_FakeLog.calls;
    g_FakeLog.countryId = countryId;
    g_FakeLog.entries = entries;
    g_FakeLog.count = count;
    *count = 3;
    return 0;
}

TEST(SdkSlot, ResolvedSlotPassesArgumentsAndResultThrough) {
    g_FakeLog = {};
    SdkSlot<KOBALT_Fn_DUNGetProvider, SdkFailure::Error> slot;
    slot = &FakeDunGetProvider;
    ASSERT_TRUE(slot);

    KOBALT_DunListEntry entries[2]{};
    uint32_t count = 0;
    EXPECT_EQ(slot(86, entries, &count), 0) << "success must not be mistaken for the failure";
    EXPECT_EQ(g_FakeLog.calls, 1);
    EXPECT_EQ(g_FakeLog.countryId, 86u);
    EXPECT_EQ(g_FakeLog.entries, entries);
    EXPECT_EQ(g_FakeLog.count, &count);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(slot.Get(), &FakeDunGetProvider);

    // Unbinding restores the unresolved behaviour.
    slot = nullptr;
    EXPECT_FALSE(slot);
    count = 7;
    EXPECT_NE(slot(86, entries, &count), 0);
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(g_FakeLog.calls, 1);
}

TEST(SdkSlot, BooleanAndStatusSlotsReturnWhatTheFakeSays) {
    SdkSlot<KOBALT_Fn_Connection, SdkFailure::False> isConnected;
    isConnected = [](KOBALT_BdAddr*, int16_t service) { return service == 0x110E ? 1 : 0; };
    KOBALT_BdAddr addr{};
    EXPECT_EQ(isConnected(&addr, 0x110E), 1);
    EXPECT_EQ(isConnected(&addr, 0x110C), 0);

    SdkSlot<KOBALT_Fn_Void, SdkFailure::NoAudioStatus> audioStatus;
    audioStatus = [] { return 0; };
    EXPECT_EQ(audioStatus(), 0) << "status 0 is a real answer, not the failure value";
}

// Rows by name, as CSdkApi numbers its slots.
static_assert(SdkEntryPointIndex(u"KOBALT_LoadProfileDrvs") == 0);
static_assert(SdkEntryPointIndex(u"KOBALT_Init") == 4);
static_assert(SdkEntryPointIndex(u"KOBALT_RegistryWnd") == kSdkEntryPointCount - 1);
static_assert(SdkEntryPointIndex(u"KOBALT_In") == -1 &&
              SdkEntryPointIndex(u"KOBALT_InitExtra") == -1);

// What `use` writes to standard error with KOBALT_DEBUG set to `channels`.
template <class Use> std::string StderrOf(const char* channels, Use use) {
    setenv("KOBALT_DEBUG", channels, 1);
    testing::internal::CaptureStderr();
    use();
    unsetenv("KOBALT_DEBUG");
    return testing::internal::GetCapturedStderr();
}

TEST(SdkSlot, EachUseOfAMissingEntryPointIsReportedOnTheSdkChannelOnly) {
    constexpr int kRow = SdkEntryPointIndex(u"KOBALT_AVRCPPlayLast");
    decltype(CSdkApi::KOBALT_AVRCPPlayLast) playLast;
    decltype(CSdkApi::KOBALT_AVRCPPlayNext) playNext; // its library has it
    SdkSlot<KOBALT_Fn_Void, SdkFailure::Error> outsideTable;
    const std::string line = "sdk: KOBALT_AVRCPPlayLast used, missing from the library\n";

    SetSdkExport(kRow, SdkExport::Missing);
    const std::size_t debugLines = kobalt::device::DebugLineCount();
    EXPECT_EQ(StderrOf("msg,sdk",
                       [&] {
                           EXPECT_NE(playLast(), 0);
                           EXPECT_NE(playLast(), 0);
                           EXPECT_FALSE(playLast) << "a check before calling is a use too";
                           EXPECT_NE(playNext(), 0);
                           EXPECT_NE(outsideTable(), 0);
                       }),
              line + line + line);
    EXPECT_EQ(kobalt::device::DebugLineCount(), debugLines) << "the debug output keeps one line";

    // The channel off, or named only in part: nothing written.
    EXPECT_EQ(StderrOf("", [&] { EXPECT_NE(playLast(), 0); }), "");
    EXPECT_EQ(StderrOf("sdkx,s", [&] { EXPECT_NE(playLast(), 0); }), "");

    // Resolved (a fake put in), or not recorded missing (no library loaded): nothing written.
    playLast = [] { return 0; };
    EXPECT_EQ(StderrOf("sdk", [&] { EXPECT_EQ(playLast(), 0); }), "");
    playLast = nullptr;
    SetSdkExport(kRow, SdkExport::Present);
    EXPECT_EQ(StderrOf("sdk", [&] { EXPECT_NE(playLast(), 0); }), "");
}

} // namespace
