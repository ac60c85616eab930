// Device records on the main window: devices found by a search, the paired-device shortcuts with
// the counts the SDK reports for them, and the remote names of connect and pair events; with the
// operator's Search, Record, Clear and Connect in between.
//
// Input: operations of [op][operands...] (see the switch). Records are 134 bytes shaped from the
// input; names may fill all 64 units without a terminator.

#include "FuzzInput.h"

#include "app/AppMessages.h"
#include "app/MainApp.h"
#include "app/MainDlg.h"
#include "app/SdkCallbacks.h"

#include <cstring>

using namespace kobalt::fuzz;

namespace {

CMainDlg* g_main = nullptr;

// What the fake SDK answers for the current operation.
struct FakeDevices {
    std::vector<KOBALT_DeviceRecord> shortcuts; // the records the SDK holds
    uint32_t queryCount = 0;                    // what the count query reports
    uint32_t fillCount = 0;                     // what the fill leaves in the count
    KOBALT_WCHAR remoteName[64] = {};
} g_fake;

int GetAllShortCuts(KOBALT_DeviceRecord* records, uint32_t* count) {
    if (records == nullptr) {
        *count = g_fake.queryCount;
        return 0;
    }
    // A real SDK fills no more than the capacity it was given; the count it leaves is anything.
    std::size_t n = std::min<std::size_t>(*count, g_fake.shortcuts.size());
    std::copy_n(g_fake.shortcuts.data(), n, records);
    *count = g_fake.fillCount;
    return 0;
}

int GetRemoteName(KOBALT_BdAddr*, KOBALT_WCHAR* name) {
    std::memcpy(name, g_fake.remoteName, sizeof g_fake.remoteName);
    return 0;
}

int Succeed(KOBALT_BdAddr*, int16_t) {
    return 0;
}
int DeviceDiscovery(KOBALT_DiscoveryCallback) {
    return 0;
}
int GetClientPort() {
    return 7;
}

KOBALT_DeviceRecord MakeRecord(FuzzInput& in) {
    KOBALT_DeviceRecord record{};
    std::vector<uint8_t> bytes = in.Record(sizeof record);
    std::memcpy(&record, bytes.data(), sizeof record);
    return record;
}

// Every entry's item data is null or one of the address slots of the main window.
void CheckItemData() {
    const auto* devBegin = &g_main->m_DevAddr[0];
    const auto* shortBegin = &g_main->m_ShortcutAddr[0];
    for (int i = 0, n = g_main->m_StatusList.GetCount(); i < n; ++i) {
        const auto* p = static_cast<const BdAddr*>(g_main->m_StatusList.GetItemDataPtr(i));
        FUZZ_CHECK(p == nullptr || (p >= devBegin && p < devBegin + CMainDlg::kMaxDevices) ||
                   (p >= shortBegin && p < shortBegin + CMainDlg::kMaxDevices));
        FUZZ_CHECK(g_main->m_StatusList.GetTextLen(i) <= 80);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    UnbindSdk();
    g_SdkApi.KOBALT_GetAllShortCuts = &GetAllShortCuts;
    g_SdkApi.KOBALT_GetRemoteName = &GetRemoteName;
    g_SdkApi.KOBALT_Connect = &Succeed;
    g_SdkApi.KOBALT_Disconnect = &Succeed;
    g_SdkApi.KOBALT_DeviceDiscovery = &DeviceDiscovery;
    g_SdkApi.KOBALT_GetClientPort = &GetClientPort;
    g_main = new CMainDlg(nullptr);
    if (!CreateModeless(*g_main))
        std::abort();
    theApp.m_pMainWnd = g_main;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const HWND window = g_main->GetSafeHwnd();
    g_main->m_StatusList.ResetContent();
    g_main->m_nDeviceCount = 0;
    int operations = 0;
    while (!in.Empty() && ++operations <= 512) {
        const int op = in.Byte() % 8;
        switch (op) {
        case 0:
            Click(window, IDC_MAIN_SEARCH);
            break;
        case 1: {
            KOBALT_DeviceRecord record = MakeRecord(in);
            g_main->SendMessage(WM_APP_DEVICE_FOUND, 0, reinterpret_cast<LPARAM>(&record));
            break;
        }
        case 2:
            g_main->SendMessage(WM_APP_DISCOVERY_DONE, 0, 0);
            break;
        case 3: {
            g_fake.shortcuts.clear();
            for (uint8_t n = in.Byte() % 8; n > 0; --n)
                g_fake.shortcuts.push_back(MakeRecord(in));
            const auto held = static_cast<uint32_t>(g_fake.shortcuts.size());
            g_fake.queryCount = in.Count(held);
            g_fake.fillCount = in.Count(std::min(held, g_fake.queryCount));
            Click(window, IDC_MAIN_RECORD);
            break;
        }
        case 4:
            Click(window, IDC_MAIN_CLEAR);
            break;
        case 5: {
            const int count = g_main->m_StatusList.GetCount();
            const int index = count > 0 ? in.Byte() % count : 0;
            g_main->m_StatusList.SetCurSel(index);
            const auto* chosen =
                static_cast<const BdAddr*>(g_main->m_StatusList.GetItemDataPtr(index));
            Click(window, IDC_MAIN_CONNECT);
            if (count > 0 && chosen != nullptr && chosen != reinterpret_cast<const BdAddr*>(-1))
                FUZZ_CHECK(std::memcmp(g_main->m_pCurAddr, chosen, sizeof(BdAddr)) == 0);
            break;
        }
        case 6:
        case 7: {
            const bool connect = (in.Byte() & 1) != 0;
            KOBALT_BdAddr addr{};
            in.Fill(&addr, sizeof addr);
            std::memset(g_fake.remoteName, 0, sizeof g_fake.remoteName);
            std::vector<uint8_t> name = in.Record(sizeof g_fake.remoteName);
            std::memcpy(g_fake.remoteName, name.data(), sizeof g_fake.remoteName);
            KOBALT_BdAddr* pAddr = (in.Byte() & 1) ? nullptr : &addr;
            if (op == 6) {
                static constexpr short kServices[] = {0, 1, 2, 3, 4, 5, 6, 7, 0x110C, 0x110E};
                const short service = kServices[in.Byte() % std::size(kServices)];
                g_main->OnConnectEvent(ReadConnectEvent(connect, pAddr, service));
            } else {
                g_main->OnPairEvent(
                    ReadPairEvent(TRUE, pAddr)); // a failed pairing only shows a message box
            }
            break;
        }
        }
    }
    CheckItemData();
    return 0;
}
