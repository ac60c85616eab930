#include "framework/CObject.h"

const CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const {
    return &classCObject;
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}
