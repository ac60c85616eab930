// Private messages of the phone-data dialogs: the PIM callbacks post them, wParam the event.
#pragma once

#include "platform/Windows.h"

constexpr UINT WM_PHONEBOOK_EVENT = WM_APP + 0x14D; // 0x814D
constexpr UINT WM_CALLLOG_EVENT = WM_APP + 0x14E;   // 0x814E
