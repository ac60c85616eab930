#include "app/SdkCallbacks.h"

#include "app/MainDlg.h"
#include "sdk/SdkApi.h"

ConnectEventData ReadConnectEvent(int connected, KOBALT_BdAddr* addr, int16_t service) {
    ConnectEventData data;
    data.connected = connected;
    data.service = service;
    if (addr != nullptr) {
        data.addr = *addr;
        g_SdkApi.KOBALT_GetRemoteName(addr, data.name);
    }
    if (service == KOBALT_SERVICE_SPP && connected) {
        data.captionPort = g_SdkApi.KOBALT_GetClientPort();
        data.textPort = g_SdkApi.KOBALT_GetClientPort();
    }
    return data;
}

PairEventData ReadPairEvent(int success, KOBALT_BdAddr* addr) {
    PairEventData data;
    data.success = success;
    if (addr != nullptr) {
        data.addr = *addr;
        if (success)
            g_SdkApi.KOBALT_GetRemoteName(addr, data.name);
    }
    return data;
}

int ConnectEventCallback(int connected, KOBALT_BdAddr* addr, int16_t service) {
    const ConnectEventData data = ReadConnectEvent(connected, addr, service);
    SendMessageW(g_hMainWnd.load(), WM_APP_CONNECT_EVENT, 0, reinterpret_cast<LPARAM>(&data));
    return 1;
}

int PairEventCallback(int success, KOBALT_BdAddr* addr) {
    const PairEventData data = ReadPairEvent(success, addr);
    SendMessageW(g_hMainWnd.load(), WM_APP_PAIR_EVENT, 0, reinterpret_cast<LPARAM>(&data));
    return 1;
}

int HfEventCallback(uint32_t code, intptr_t data) {
    // Posted, never sent: the SDK thread does not wait for the user-interface thread.
    HWND target = g_hMainWnd.load();
    return target ? PostMessageW(target, g_uDialerStateMsg, code, data) : FALSE;
}

int DiscoveryCallback(int finished, KOBALT_DeviceRecord record) {
    HWND main = g_hMainWnd.load();
    if (!finished) {
        SendMessageW(main, WM_APP_DEVICE_FOUND, 0, reinterpret_cast<LPARAM>(&record));
        return 0;
    }
    SendMessageW(main, WM_APP_DISCOVERY_DONE, 0, reinterpret_cast<LPARAM>(&record));
    // Shown on the SDK thread, which waits until the operator dismisses it.
    MessageBoxW(nullptr, u"Device Discovery Completed", u"Hint", MB_OK);
    return 0;
}
