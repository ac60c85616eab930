// Neutralising outside text and measuring it in columns; the grid's handling of wide cells.
#include "frontend/terminal/TextCells.h"
#include "frontend/terminal/Grid.h"
#include "frontend/terminal/Renderer.h"

#include <gtest/gtest.h>

namespace kobalt::terminal {
namespace {

std::u32string Chars(const std::vector<Glyph>& glyphs) {
    std::u32string out;
    for (const Glyph& glyph : glyphs) {
        out += glyph.ch;
    }
    return out;
}

TEST(ToGlyphs, ControlsAreReplacedFormattingDroppedTabsBlank) {
    EXPECT_EQ(Chars(ToGlyphs(u"a\x1b[0m\x07\r\n\x7f\x85z")),
              U"a\uFFFD[0m\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDz");
    EXPECT_EQ(Chars(ToGlyphs(u"\u202Eevil\u2066\u200B\uFEFFx")), U"evilx");
    EXPECT_EQ(Chars(ToGlyphs(u"a\tb\u2028c")), U"a b\uFFFDc");
    // Unpaired surrogates cannot be shown.
    EXPECT_EQ(Chars(ToGlyphs(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)})),
              U"a\uFFFDb\uFFFD");
}

TEST(ToGlyphs, WidthsAndSources) {
    const std::vector<Glyph> glyphs = ToGlyphs(u"A宋\U0001F600\uFF21e\u0301\u0302\u0303");
    ASSERT_EQ(glyphs.size(), 5u);
    EXPECT_EQ(glyphs[0].width, 1);
    EXPECT_EQ(glyphs[1].width, 2); // CJK
    EXPECT_EQ(glyphs[2].width, 2); // emoji, a surrogate pair
    EXPECT_EQ(glyphs[3].width, 2); // fullwidth A
    EXPECT_EQ(glyphs[4].source, 5u);
    // Marks ride on the character before them; a third is dropped.
    EXPECT_EQ(glyphs[4].marks, (std::array<char32_t, 2>{0x0301, 0x0302}));
    EXPECT_EQ(Columns(glyphs), 8);
    EXPECT_EQ(Columns(u"\u0301x"), 1) << "a mark with nothing before it is dropped";
}

TEST(Classify, UnicodeDataDecidesMarksFormattingAndWidths) {
    EXPECT_EQ(Classify(U'\u00E9'), CharClass::Narrow);
    EXPECT_EQ(Classify(U'\uE000'), CharClass::Narrow) << "private use";
    EXPECT_EQ(Classify(U'\u0915'), CharClass::Narrow);     // DEVANAGARI LETTER KA
    EXPECT_EQ(Classify(U'\u093F'), CharClass::Combining);  // its vowel sign I, a spacing mark
    EXPECT_EQ(Classify(U'\u20DD'), CharClass::Combining);  // an enclosing circle
    EXPECT_EQ(Classify(U'\u0890'), CharClass::Format);     // ARABIC POUND MARK ABOVE
    EXPECT_EQ(Classify(U'\U00013430'), CharClass::Format); // a hieroglyph format control
    EXPECT_EQ(Classify(U'\uAC00'), CharClass::Wide);       // a Hangul syllable
    EXPECT_EQ(Classify(U'\U00020000'), CharClass::Wide);   // CJK extension B
    EXPECT_EQ(Classify(U'\U0001F4F1'), CharClass::Wide);   // an emoji
}

TEST(Classify, ControlsAndVariationSelectorsAreTheFrontEndsOwnRules) {
    for (const char32_t cp : {0x00u, 0x1Bu, 0x7Fu, 0x85u, 0x9Bu, 0x2028u, 0x2029u, 0xD800u, 0xDFFFu,
                              0xFFFEu, 0xFFFFu, 0x1FFFEu, 0x10FFFFu, 0x110000u}) {
        EXPECT_EQ(Classify(cp), CharClass::Control) << std::hex << static_cast<unsigned>(cp);
    }
    for (const char32_t cp : {0x180Bu, 0x180Fu, 0xFE00u, 0xFE0Fu, 0xE0100u, 0xE01EFu}) {
        EXPECT_EQ(Classify(cp), CharClass::Format) << std::hex << static_cast<unsigned>(cp);
    }
    // A selector would make a terminal pick an emoji form of a width we did not count.
    const std::vector<Glyph> glyphs = ToGlyphs(u"\u2764\uFE0F\u5B8B\uFE0E");
    ASSERT_EQ(glyphs.size(), 2u);
    EXPECT_EQ(glyphs[0].marks, (std::array<char32_t, 2>{}));
    EXPECT_EQ(Columns(glyphs), 3);
}

TEST(Grid, OverwritingHalfAWideCharacterBlanksTheOtherHalf) {
    Grid grid(6, 1);
    const Glyph wide{U'宋', {}, 2, 0};
    grid.Put(0, 0, wide, Role::Window, 0);
    grid.Put(2, 0, wide, Role::Window, 0);
    EXPECT_EQ(grid.PlainText(), "宋宋\n");
    grid.Put(1, 0, Glyph{U'x', {}, 1, 0}, Role::Window, 0); // the tail of the first
    grid.Put(3, 0, wide, Role::Window, 0);                  // over the second's tail
    EXPECT_EQ(grid.PlainText(), " x 宋\n");
    grid.Put(5, 0, wide, Role::Window, 0); // no room for both halves
    EXPECT_EQ(grid.PlainText(), " x 宋\n");
    EXPECT_EQ(grid.At(5, 0).width, 1);
}

TEST(EditScroll, KeepsTheCaretInViewMovingTheLeast) {
    const std::vector<Glyph> text = ToGlyphs(u"0123456789");
    EXPECT_EQ(EditScroll(0, text, 3, 5), 0);
    EXPECT_EQ(EditScroll(0, text, 10, 5), 6) << "caret at the end takes a cell of its own";
    EXPECT_EQ(EditScroll(6, text, 8, 5), 6) << "moving inside the view does not scroll";
    EXPECT_EQ(EditScroll(6, text, 2, 5), 2);
    // Text deleted at the end pulls the view back, so no blank shows while text is hidden.
    EXPECT_EQ(EditScroll(6, ToGlyphs(u"0123456"), 7, 5), 3);
    const std::vector<Glyph> wide = ToGlyphs(u"宋体宋体");
    EXPECT_EQ(EditScroll(0, wide, 4, 5), 2);
    EXPECT_EQ(CaretGlyph(ToGlyphs(u"\U0001F600ab"), 2), 1) << "carets count code units";
}

} // namespace
} // namespace kobalt::terminal
