#include "app/SdkCallbacks.h"

#include "app/AppMessages.h"
#include "app/MainApp.h"
#include "app/MainDlg.h"

namespace {

// The main window's handle, or null once it is gone.
HWND MainWindow() {
    CWnd* main = theApp.m_pMainWnd;
    return main ? main->GetSafeHwnd() : nullptr;
}

} // namespace

int ConnectEventCallback(int connected, KOBALT_BdAddr* addr, int16_t service) {
    ConnectEventData data{connected, addr, service};
    SendMessageW(MainWindow(), WM_APP_CONNECT_EVENT, 0, reinterpret_cast<LPARAM>(&data));
    return 1;
}

int PairEventCallback(int success, KOBALT_BdAddr* addr) {
    PairEventData data{success, addr};
    SendMessageW(MainWindow(), WM_APP_PAIR_EVENT, 0, reinterpret_cast<LPARAM>(&data));
    return 1;
}

int HfEventCallback(uint32_t code, intptr_t data) {
    // Posted, never sent: the SDK thread does not wait for the user-interface thread.
    HWND target = CMainDlg::DialerStateTarget();
    return target ? PostMessageW(target, g_uDialerStateMsg, code, data) : FALSE;
}

int DiscoveryCallback(int finished, KOBALT_DeviceRecord record) {
    HWND main = MainWindow();
    if (!finished) {
        SendMessageW(main, WM_APP_DEVICE_FOUND, 0, reinterpret_cast<LPARAM>(&record));
        return 0;
    }
    SendMessageW(main, WM_APP_DISCOVERY_DONE, 0, 0);
    // Shown on the SDK thread, which waits until the operator dismisses it.
    MessageBoxW(nullptr, u"Device Discovery Completed", u"Hint", MB_OK);
    return 0;
}
