// The console's only way into KOBALT.dll: one typed slot per entry point, filled once while the
// process starts.
#pragma once

#include "platform/Windows.h"
#include "sdk/KobaltAbi.h"
#include "sdk/SdkEntryPoints.h"
#include "sdk/SdkSlot.h"

#include <type_traits>

// Callers invoke entry points straight through the slots (g_SdkApi.KOBALT_Init()). A slot left
// null by a missing library or export returns its failure value instead of crashing. The table
// is written only by Load, during static initialisation before any other thread exists, and is
// read without locks afterwards.
class CSdkApi {
public:
    // Loads the library; the result of Load is not kept.
    CSdkApi();
    // Releases the module whatever Load left in it; calls no entry point.
    ~CSdkApi();
    CSdkApi(const CSdkApi&) = delete;
    CSdkApi& operator=(const CSdkApi&) = delete;

    // Loads "KOBALT.dll" and resolves every slot. False only when the library itself could not
    // be loaded (after telling the operator); missing entry points are logged one line each.
    bool Load();

    // The loaded module, null when loading failed. Fields stay public and in this order so
    // the table keeps a plain, checkable layout: the handle, then the slots in table order.
    HMODULE m_hModule = nullptr;
#define KOBALT_SDK_DECLARE_SLOT(name, fn, failure)                                                 \
    SdkSlot<fn, SdkFailure::failure, SdkEntryPointIndex(u"" #name)> name;
    KOBALT_SDK_ENTRY_POINTS(KOBALT_SDK_DECLARE_SLOT)
#undef KOBALT_SDK_DECLARE_SLOT
};

static_assert(std::is_standard_layout_v<CSdkApi>);
static_assert(sizeof(CSdkApi) == sizeof(HMODULE) + kSdkEntryPointCount * sizeof(void (*)()),
              "one pointer per slot, nothing else");

extern CSdkApi g_SdkApi;
