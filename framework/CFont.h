// A font object: owns the HFONT it created and deletes it with itself.
#pragma once

#include "framework/CObject.h"

class CFont : public CObject {
    DECLARE_DYNAMIC(CFont)

public:
    CFont() = default;
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;
    ~CFont() override;

    // FALSE when this object already holds a font (DeleteObject it first) or creation fails.
    BOOL CreateFontIndirect(const LOGFONTW* lpLogFont);
    BOOL DeleteObject();
    // The face and height the font was created with.
    BOOL GetLogFont(LOGFONTW* pLogFont) const;

    HFONT GetSafeHandle() const { return m_hObject; }
    operator HFONT() const { return m_hObject; }

    // The CFont that holds `hFont`, or null. Any thread.
    static CFont* FromHandle(HFONT hFont);

    HFONT m_hObject = nullptr;
};
