#include "sdk/SdkApi.h"

#include "platform/InitOrder.h"
#include "sdk/SdkLibraryChoice.h"

namespace {

// Stores the export `name` of `module` in `slot`; a missing export leaves the slot null, is
// recorded for ReportMissingUse and writes "<name> Miss".
template <class Slot> void Resolve(HMODULE module, Slot& slot, LPCWSTR name) {
    // FARPROC is the generic function pointer; the slot's type says what the export really is.
    slot = reinterpret_cast<typename Slot::Function>(GetProcAddressW(module, name));
    const bool missing = slot.Get() == nullptr;
    SetSdkExport(SdkEntryPointIndex(name), missing ? SdkExport::Missing : SdkExport::Present);
    if (missing) {
        NKDbgPrintfW(u"%s Miss\r\n", name);
    }
}

} // namespace

CSdkApi g_SdkApi KOBALT_INIT_ORDER(KOBALT_INIT_SDK_BINDING);

CSdkApi::CSdkApi() {
    Load();
}

CSdkApi::~CSdkApi() {
    FreeLibrary(m_hModule);
}

bool CSdkApi::Load() {
    m_hModule = LoadLibraryW(kobalt::sdk::ChosenSdkLibrary().path.c_str());
    if (m_hModule == nullptr) {
        MessageBoxW(nullptr, u"Load KOBALT.dll Fail", u"ERROR", MB_OK);
        return false;
    }
#define KOBALT_SDK_RESOLVE_SLOT(name, fn, failure) Resolve(m_hModule, name, u"" #name);
    KOBALT_SDK_ENTRY_POINTS(KOBALT_SDK_RESOLVE_SLOT)
#undef KOBALT_SDK_RESOLVE_SLOT
    NKDbgPrintfW(u"[KOBALT][API]Ready\r\n");
    return true;
}
