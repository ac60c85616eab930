// Typed resources the executable carries besides its dialogs and icon.
#pragma once

#include "platform/Windows.h"

// A resource found by type and name, holding one word of data.
struct ResourceMarker {
    const WCHAR* type;
    const WCHAR* name;
    WORD value;
};

// Type "CEUX", name "HI_RES_AWARE", value 1: the program lays itself out for high-resolution
// displays, so the platform must not scale it.
extern const ResourceMarker g_HiResAware;
