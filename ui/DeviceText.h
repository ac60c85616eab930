// Texts made from what the SDK reports about devices. Nothing here trusts the SDK to terminate
// a name: reads stop at the end of the field.
#pragma once

#include "framework/CString.h"
#include "sdk/KobaltAbi.h"

// "66:55:44:33:22:11" for bytes 0x11..0x66: byte 5 first.
CString FormatAddress(const BYTE* addr);

// The name in a fixed field of `capacity` UTF-16 units, up to its terminator or the field's end.
CString NameFromField(const KOBALT_WCHAR* field, int capacity);
