// Run-time class information: a class's name and its base, for IsKindOf and diagnostics.
#pragma once

#include "platform/Windows.h"

struct CRuntimeClass {
    LPCSTR m_lpszClassName;            // the C++ class name, e.g. "HandFree"
    int m_nObjectSize;                 // sizeof the class
    const CRuntimeClass* m_pBaseClass; // null only for CObject

    // True when this class is `base` or derives from it.
    BOOL IsDerivedFrom(const CRuntimeClass* base) const;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

// In the class body: a static CRuntimeClass named class<Name> and the GetRuntimeClass override.
#define DECLARE_DYNAMIC(class_name)                                                                \
public:                                                                                            \
    static const CRuntimeClass class##class_name;                                                  \
    const CRuntimeClass* GetRuntimeClass() const override;

// In one source file: the class's run-time information, chained to its base's.
#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                             \
    const CRuntimeClass class_name::class##class_name = {#class_name, sizeof(class_name),          \
                                                         RUNTIME_CLASS(base_class_name)};          \
    const CRuntimeClass* class_name::GetRuntimeClass() const {                                     \
        return RUNTIME_CLASS(class_name);                                                          \
    }
