#include "platform/controls/CaseFold.h"

#include <algorithm>

namespace kobalt::platform {

char16_t FoldCase(char16_t c) {
    if (c < 0x80) {
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
    }
    // Latin-1: À..Þ except the multiplication sign.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return static_cast<char16_t>(c + 0x20);
    }
    // Latin Extended-A pairs capital and small letters, capital first, on even code points up
    // to U+0137 and from U+014A to U+0177, on odd ones from U+0139 to U+0148 and U+0179 to
    // U+017E. U+0130 (capital I with dot) has no pair within the block.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
        return static_cast<char16_t>(c | 1);
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
        return (c & 1) ? static_cast<char16_t>(c + 1) : c;
    }
    if (c == 0x178) { // Ÿ
        return 0xFF;
    }
    // Greek capitals (U+03A2 is unassigned) and Cyrillic capitals.
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0x400 && c <= 0x40F) {
        return static_cast<char16_t>(c + 0x50);
    }
    if (c >= 0x410 && c <= 0x42F) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0xFF21 && c <= 0xFF3A) { // full-width Latin capitals
        return static_cast<char16_t>(c + 0x20);
    }
    return c;
}

int CompareFolded(std::u16string_view a, std::u16string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const char16_t x = FoldCase(a[i]);
        const char16_t y = FoldCase(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

} // namespace kobalt::platform
