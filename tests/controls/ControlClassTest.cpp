#include "platform/ControlServices.h"
#include "platform/controls/CaseFold.h"

#include <gtest/gtest.h>

namespace kobalt::platform {
namespace {

using desktop::ControlKind;

TEST(ControlClass, NamesMatchWithoutCaseAndStylesPickTheKind) {
    struct Case {
        const WCHAR* name;
        DWORD style;
        ControlKind kind; // Other: no such class
    };
    const Case cases[] = {
        {u"BUTTON", BS_PUSHBUTTON, ControlKind::PushButton},
        {u"button", BS_DEFPUSHBUTTON | WS_TABSTOP, ControlKind::PushButton},
        {u"Button", BS_AUTORADIOBUTTON | WS_GROUP, ControlKind::RadioButton},
        {u"static", SS_LEFT, ControlKind::Static},
        {u"Edit", ES_AUTOHSCROLL, ControlKind::Edit},
        {u"listbox", LBS_SORT | LBS_NOTIFY, ControlKind::ListBox},
        {u"SYSLISTVIEW32", LVS_REPORT, ControlKind::ListView},
        {u"ComboBox", 0, ControlKind::Other},
        {u"LISTBOX2", 0, ControlKind::Other},
        {u"", 0, ControlKind::Other},
    };
    for (const Case& c : cases) {
        const ControlClass* cls = FindControlClass(c.name);
        const ControlKind kind = cls ? cls->kindFor(c.style) : ControlKind::Other;
        EXPECT_EQ(static_cast<int>(kind), static_cast<int>(c.kind))
            << std::u16string_view(c.name).size() << "-unit name, style " << c.style;
    }
    EXPECT_EQ(FindControlClass(nullptr), nullptr);
}

TEST(CaseFold, OrdersLettersWithoutCaseAndEverythingElseByCodeUnit) {
    struct Case {
        std::u16string_view a, b;
        int sign;
    };
    const Case cases[] = {
        {u"[Extend]Signal", u"BlueTooth Start", -1}, // '[' 0x5B before 'b' 0x62
        {u"HANGUP", u"hangup", 0},
        {u"Z", u"a", 1},
        {u"_", u"A", -1}, // '_' 0x5F before 'a', after 'A' unfolded
        {u"abc", u"ab", 1},
        {u"", u"a", -1},
        {u"\u00C9t\u00E9", u"\u00E9T\u00C9", 0},             // Latin-1
        {u"\u00D7", u"\u00F7", -1},                          // the signs are no letters
        {u"\u0178", u"\u00FF", 0},                           // Y with diaeresis, outside its block
        {u"\u0141\u00F3d\u017A", u"\u0142\u00D3D\u0179", 0}, // Latin Extended-A
        {u"\u0130", u"i", 1},                                // dotted capital I stays itself
        {u"\u03A9", u"\u03C9", 0},                           // Greek
        {u"\u0416\u0401", u"\u0436\u0451", 0},               // Cyrillic
        {u"\uFF21", u"\uFF41", 0},                           // full-width
        {u"\u5B8B", u"\u4F53", 1},
    };
    const auto sign = [](int value) { return (value > 0) - (value < 0); };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(CompareFolded(c.a, c.b)), c.sign) << "case " << (&c - cases);
        EXPECT_EQ(sign(CompareFolded(c.b, c.a)), -c.sign) << "case " << (&c - cases);
    }
}

} // namespace
} // namespace kobalt::platform
