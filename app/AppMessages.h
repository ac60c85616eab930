// Private messages of the main window (the WM_APP range below the PIM messages 0x814D/0x814E).
//
// The SDK's callbacks run on its threads. They send these messages to the main window, so the
// work on the window and its fields happens on the user-interface thread while the SDK thread
// waits, as it would for the window operations themselves. What the handlers need from the SDK
// (the remote name, the client port) the callbacks ask for before sending, on the SDK's thread
// and inside its callback, where the SDK allows such calls; the handlers make no SDK call for
// an event.
#pragma once

#include "platform/Windows.h"
#include "sdk/KobaltAbi.h"

#include <optional>

constexpr UINT WM_APP_CONNECT_EVENT = WM_APP + 0x100;  // lParam: const ConnectEventData*
constexpr UINT WM_APP_PAIR_EVENT = WM_APP + 0x101;     // lParam: const PairEventData*
constexpr UINT WM_APP_DEVICE_FOUND = WM_APP + 0x102;   // lParam: const KOBALT_DeviceRecord*
constexpr UINT WM_APP_DISCOVERY_DONE = WM_APP + 0x103; // lParam: const KOBALT_DeviceRecord* or null

// The units of a remote-name buffer.
constexpr int kRemoteNameUnits = 64;

// A connect or disconnect event as the callback read it.
struct ConnectEventData {
    BOOL connected = FALSE;
    std::optional<KOBALT_BdAddr> addr; // none when the SDK gave no address
    short service = 0;
    // Zeroed, then filled by KOBALT_GetRemoteName when the event has an address.
    KOBALT_WCHAR name[kRemoteNameUnits] = {};
    // SPP connect only: the client port for the SPP button, then asked again for the text.
    int captionPort = 0;
    int textPort = 0;
};

// A pairing event as the callback read it.
struct PairEventData {
    BOOL success = FALSE;
    std::optional<KOBALT_BdAddr> addr;
    // Zeroed, then filled by KOBALT_GetRemoteName on a successful pairing with an address.
    KOBALT_WCHAR name[kRemoteNameUnits] = {};
};
