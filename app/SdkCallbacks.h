// The callbacks the console hands to the SDK. They run on the SDK's threads, touch no window
// object and find the main window only through its published handle (g_hMainWnd).
#pragma once

#include "app/AppMessages.h"
#include "sdk/KobaltAbi.h"

int ConnectEventCallback(int connected, KOBALT_BdAddr* addr, int16_t service);
int PairEventCallback(int success, KOBALT_BdAddr* addr);
// Posts the registered dialer-state message (code, data) and returns the post's result.
int HfEventCallback(uint32_t code, intptr_t data);
int DiscoveryCallback(int finished, KOBALT_DeviceRecord record);

// What the connect callback reads on the SDK's thread before it hands the event over: the
// address by value, the remote name when there is an address, and for an SPP connect the client
// port twice (once for the button, once for the text).
ConnectEventData ReadConnectEvent(int connected, KOBALT_BdAddr* addr, int16_t service);
// What the pair callback reads: the address, and the remote name on success.
PairEventData ReadPairEvent(int success, KOBALT_BdAddr* addr);
