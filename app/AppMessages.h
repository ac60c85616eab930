// Private messages of the main window (the WM_APP range below the PIM messages 0x814D/0x814E).
//
// The SDK's callbacks run on its threads. They send these messages to the main window, so the
// work on the window and its fields happens on the user-interface thread while the SDK thread
// waits, as it would for the window operations themselves.
#pragma once

#include "platform/Windows.h"
#include "sdk/KobaltAbi.h"

constexpr UINT WM_APP_CONNECT_EVENT = WM_APP + 0x100; // lParam: const ConnectEventData*
constexpr UINT WM_APP_PAIR_EVENT = WM_APP + 0x101;    // lParam: const PairEventData*
constexpr UINT WM_APP_DEVICE_FOUND = WM_APP + 0x102;  // lParam: const KOBALT_DeviceRecord*
constexpr UINT WM_APP_DISCOVERY_DONE = WM_APP + 0x103;

struct ConnectEventData {
    BOOL connected;
    KOBALT_BdAddr* addr; // may be null
    short service;
};

struct PairEventData {
    BOOL success;
    KOBALT_BdAddr* addr;
};
