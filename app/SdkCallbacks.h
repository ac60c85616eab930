// The callbacks the console hands to the SDK. They run on the SDK's threads and find the main
// window through theApp.m_pMainWnd.
#pragma once

#include "sdk/KobaltAbi.h"

int ConnectEventCallback(int connected, KOBALT_BdAddr* addr, int16_t service);
int PairEventCallback(int success, KOBALT_BdAddr* addr);
// Posts the registered dialer-state message (code, data) and returns the post's result.
int HfEventCallback(uint32_t code, intptr_t data);
int DiscoveryCallback(int finished, KOBALT_DeviceRecord record);
