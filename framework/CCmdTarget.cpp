#include "framework/CCmdTarget.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

namespace {

const AFX_MSGMAP_ENTRY g_rootEntries[] = {{0, 0, 0, nullptr, nullptr}};
const AFX_MSGMAP g_rootMap = {nullptr, &g_rootEntries[0]};

bool Matches(const AFX_MSGMAP_ENTRY& entry, UINT message, WPARAM wParam) {
    if (entry.pnRegistered != nullptr) {
        // 0 means the name was never registered; it must not match WM_NULL.
        const UINT registered = *entry.pnRegistered;
        return registered != 0 && registered == message;
    }
    if (entry.nMessage != message) {
        return false;
    }
    if (message == WM_COMMAND) {
        const UINT id = static_cast<UINT>(wParam & 0xFFFF);
        const UINT code = static_cast<UINT>((wParam >> 16) & 0xFFFF);
        return entry.nID == id && entry.nCode == code;
    }
    return true;
}

} // namespace

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    return &g_rootMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

BOOL CCmdTarget::DispatchThroughMessageMap(UINT message, WPARAM wParam, LPARAM lParam,
                                           LRESULT* pResult) {
    for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfn != nullptr; ++entry) {
            if (Matches(*entry, message, wParam)) {
                const LRESULT result = entry->pfn(this, wParam, lParam);
                if (pResult != nullptr) {
                    *pResult = result;
                }
                return TRUE;
            }
        }
    }
    return FALSE;
}
