#include "frontend/terminal/TextCells.h"

#include <algorithm>
#include <iterator>
#include <utf8proc.h>

namespace kobalt::terminal {

namespace {

struct Range {
    char32_t first;
    char32_t last;
};

// Variation selectors pick a glyph's form, emoji or text, and with it a width that terminals do
// not agree on; dropped, so a line takes the columns we count. Unicode files them as marks (Mn).
constexpr Range kVariationSelectors[] = {
    {0x180B, 0x180D}, {0x180F, 0x180F}, {0xFE00, 0xFE0F}, {0xE0100, 0xE01EF}};

bool IsVariationSelector(char32_t cp) {
    return std::any_of(std::begin(kVariationSelectors), std::end(kVariationSelectors),
                       [cp](const Range& range) { return cp >= range.first && cp <= range.last; });
}

} // namespace

CharClass Classify(char32_t cp) {
    if (cp >= 0x20 && cp < 0x7F) {
        return CharClass::Narrow; // most of what a frame shows
    }
    // Code points no font draws (noncharacters, anything past U+10FFFF) count as controls too.
    if (cp > 0x10FFFF || (cp & 0xFFFE) == 0xFFFE) {
        return CharClass::Control;
    }
    const auto point = static_cast<utf8proc_int32_t>(cp);
    switch (utf8proc_category(point)) {
    case UTF8PROC_CATEGORY_CC: // C0, DEL, C1
    case UTF8PROC_CATEGORY_ZL:
    case UTF8PROC_CATEGORY_ZP:
    case UTF8PROC_CATEGORY_CS: // a surrogate on its own
        return CharClass::Control;
    case UTF8PROC_CATEGORY_CF:
        return CharClass::Format;
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_ME:
    case UTF8PROC_CATEGORY_MC:
        if (IsVariationSelector(cp)) {
            return CharClass::Format;
        }
        if (utf8proc_charwidth(point) == 0) {
            return CharClass::Combining;
        }
        break;
    default:
        break;
    }
    return utf8proc_charwidth(point) >= 2 ? CharClass::Wide : CharClass::Narrow;
}

std::vector<Glyph> ToGlyphs(std::u16string_view text) {
    std::vector<Glyph> glyphs;
    glyphs.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t source = i;
        const frontend::Utf16Char decoded = frontend::DecodeUtf16(text.substr(i));
        const char32_t cp = decoded.cp; // a lone surrogate is a control
        i += decoded.length;
        if (cp == U'\t') {
            glyphs.push_back(Glyph{U' ', {}, 1, source});
            continue;
        }
        switch (Classify(cp)) {
        case CharClass::Control:
            glyphs.push_back(Glyph{kReplacement, {}, 1, source});
            break;
        case CharClass::Format:
            break;
        case CharClass::Combining:
            if (!glyphs.empty()) {
                for (char32_t& mark : glyphs.back().marks) {
                    if (mark == 0) {
                        mark = cp;
                        break;
                    }
                }
            }
            break;
        case CharClass::Narrow:
            glyphs.push_back(Glyph{cp, {}, 1, source});
            break;
        case CharClass::Wide:
            glyphs.push_back(Glyph{cp, {}, 2, source});
            break;
        }
    }
    return glyphs;
}

int Columns(const std::vector<Glyph>& glyphs) {
    int columns = 0;
    for (const Glyph& glyph : glyphs) {
        columns += glyph.width;
    }
    return columns;
}

int Columns(std::u16string_view text) {
    return Columns(ToGlyphs(text));
}

} // namespace kobalt::terminal
