// Root of the framework's classes: run-time class information.
#pragma once

#include "framework/CRuntimeClass.h"

class CObject {
public:
    static const CRuntimeClass classCObject;

    // Slot order matters to nobody but mirrors the device: class information first.
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;

    BOOL IsKindOf(const CRuntimeClass* pClass) const;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};
