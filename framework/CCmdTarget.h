// Base of everything that handles messages through a message map (windows, the application).
#pragma once

#include "framework/CObject.h"
#include "framework/MessageMap.h"

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)

public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Looks the message up in this object's map and then in the base maps; calls the first
    // matching handler, stores its result in *pResult and returns TRUE. FALSE when no entry
    // matches.
    BOOL DispatchThroughMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};
