#include "platform/controls/ListCursor.h"

#include <algorithm>

namespace kobalt::platform {

namespace {
constexpr int kLinePixels = 16; // one text row of the front ends
} // namespace

bool ListCursor::Select(int index, int count) {
    const bool valid = index >= 0 && index < count;
    m_selected = valid ? index : -1;
    return valid;
}

void ListCursor::ScrollTo(int index, int count) {
    m_top = std::clamp(index, 0, std::max(count - 1, 0));
}

void ListCursor::EnsureVisible(int index, int pageLines) {
    if (index < m_top) {
        m_top = index;
    } else if (index >= m_top + pageLines) {
        m_top = index - pageLines + 1;
    }
}

void ListCursor::Inserted(int index) {
    if (m_selected >= index) {
        ++m_selected;
    }
}

void ListCursor::Erased(int index, int count) {
    if (m_selected == index) {
        m_selected = -1;
    } else if (m_selected > index) {
        --m_selected;
    }
    m_top = std::min(m_top, std::max(count - 1, 0));
}

void ListCursor::Reset() {
    m_selected = -1;
    m_top = 0;
}

int PageLines(HWND list, int headerLines) {
    RECT rect{};
    if (!GetWindowRect(list, &rect)) {
        return 1;
    }
    return std::max(1, (rect.bottom - rect.top) / kLinePixels - headerLines);
}

} // namespace kobalt::platform
