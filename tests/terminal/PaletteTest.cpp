// What states look like: checked as styles, never as escape sequences.
#include "frontend/terminal/Palette.h"

#include <gtest/gtest.h>

namespace kobalt::terminal {
namespace {

TEST(Palette, InactiveWindowsAreOneDimGreyWhateverTheirState) {
    const Style dimmed = StyleOf(Role::Window, kInactive, ColourMode::Colour);
    EXPECT_TRUE(dimmed.dim);
    for (Role role : {Role::Button, Role::List, Role::Title, Role::Field}) {
        EXPECT_EQ(StyleOf(role, kInactive | kSelected | kFocused, ColourMode::Colour), dimmed);
    }
    EXPECT_TRUE(StyleOf(Role::Button, kInactive | kFocused, ColourMode::Monochrome).dim);
    EXPECT_FALSE(StyleOf(Role::Button, kInactive | kFocused, ColourMode::Monochrome).bold);
}

TEST(Palette, SelectionFocusAndDisabledStandOut) {
    for (ColourMode mode : {ColourMode::Colour, ColourMode::Monochrome}) {
        const Style line = StyleOf(Role::List, 0, mode);
        const Style selected = StyleOf(Role::List, kSelected, mode);
        const Style focusedSelected = StyleOf(Role::List, kSelected | kFocused, mode);
        EXPECT_NE(selected, line);
        EXPECT_NE(focusedSelected, selected);
        EXPECT_TRUE(focusedSelected.bold);
        EXPECT_NE(StyleOf(Role::Button, kFocused, mode), StyleOf(Role::Button, 0, mode));
        const Style disabled = StyleOf(Role::Button, kDisabled | kFocused, mode);
        EXPECT_TRUE(disabled.dim);
        EXPECT_FALSE(disabled.bold) << "a disabled control does not look focused";
    }
    EXPECT_NE(StyleOf(Role::Button, kDisabled, ColourMode::Colour).fg,
              StyleOf(Role::Button, 0, ColourMode::Colour).fg)
        << "greyed even where the terminal cannot dim";
}

} // namespace
} // namespace kobalt::terminal
