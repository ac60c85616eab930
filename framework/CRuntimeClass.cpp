#include "framework/CRuntimeClass.h"

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
    for (const CRuntimeClass* c = this; c != nullptr; c = c->m_pBaseClass) {
        if (c == base) {
            return TRUE;
        }
    }
    return FALSE;
}
