#include "framework/CFont.h"

#include <mutex>
#include <unordered_map>

IMPLEMENT_DYNAMIC(CFont, CObject)

namespace {

// Which CFont holds each font, for CWnd::GetFont.
struct FontRegistry {
    std::mutex lock;
    std::unordered_map<HFONT, CFont*> owners;
};

// Never destroyed: a CFont with static storage may outlive any other static.
FontRegistry& Registry() {
    static FontRegistry* registry = new FontRegistry;
    return *registry;
}

} // namespace

CFont::~CFont() {
    DeleteObject();
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* lpLogFont) {
    if (m_hObject != nullptr || lpLogFont == nullptr) {
        return FALSE;
    }
    const HFONT hFont = ::CreateFontIndirectW(lpLogFont);
    if (hFont == nullptr) {
        return FALSE;
    }
    m_hObject = hFont;
    FontRegistry& registry = Registry();
    std::lock_guard lock(registry.lock);
    registry.owners[hFont] = this;
    return TRUE;
}

BOOL CFont::DeleteObject() {
    if (m_hObject == nullptr) {
        return FALSE;
    }
    {
        FontRegistry& registry = Registry();
        std::lock_guard lock(registry.lock);
        registry.owners.erase(m_hObject);
    }
    const BOOL deleted = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return deleted;
}

BOOL CFont::GetLogFont(LOGFONTW* pLogFont) const {
    return m_hObject != nullptr && pLogFont != nullptr ? ::GetFontInfo(m_hObject, pLogFont) : FALSE;
}

CFont* CFont::FromHandle(HFONT hFont) {
    if (hFont == nullptr) {
        return nullptr;
    }
    FontRegistry& registry = Registry();
    std::lock_guard lock(registry.lock);
    const auto it = registry.owners.find(hFont);
    return it == registry.owners.end() ? nullptr : it->second;
}
