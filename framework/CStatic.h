// A static text control. Its text is CWnd's window text.
#pragma once

#include "framework/CWnd.h"

class CStatic : public CWnd {
    DECLARE_DYNAMIC(CStatic)
};
