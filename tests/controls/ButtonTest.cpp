#include "ControlTestSupport.h"

#include "platform/ControlServices.h"

#include <gtest/gtest.h>

namespace kobalt::platform::testing {
namespace {

// Siblings are written one letter each: R auto radio, G auto radio starting a group (WS_GROUP),
// P push button, S a static starting a group. Ids are 10 + position.
std::vector<HWND> MakeSiblings(TestParent& parent, std::string_view layout) {
    std::vector<HWND> controls;
    for (char kind : layout) {
        const int id = 10 + static_cast<int>(controls.size());
        switch (kind) {
        case 'R':
            controls.push_back(parent.Add(WC_BUTTON, BS_AUTORADIOBUTTON, id));
            break;
        case 'G':
            controls.push_back(parent.Add(WC_BUTTON, BS_AUTORADIOBUTTON | WS_GROUP, id));
            break;
        case 'P':
            controls.push_back(parent.Add(WC_BUTTON, BS_PUSHBUTTON, id));
            break;
        default:
            controls.push_back(parent.Add(WC_STATIC, WS_GROUP, id));
            break;
        }
    }
    return controls;
}

// The check of every sibling as one string: 'x' checked, '.' not.
std::string Checks(const std::vector<HWND>& controls) {
    std::string out;
    for (HWND control : controls) {
        out += SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 'x' : '.';
    }
    return out;
}

TEST(Button, ClickingARadioUnchecksTheOthersOfItsGroupOnly) {
    struct Case {
        std::string_view layout;
        std::string before; // checked with BM_SETCHECK first
        int clicked;
        std::string after;
    };
    const Case cases[] = {
        {"RRR", "x..", 2, "..x"},          // no WS_GROUP anywhere: all siblings form one group
        {"RRR", "..x", 2, "..x"},          // clicking the checked one keeps it
        {"GRRGRR", "x..x..", 1, ".x.x.."}, // the second group is untouched
        {"GRRGRR", "x..x..", 5, "x....x"}, {"RRGR", "xx.x", 1, ".x.x"}, // before the first WS_GROUP
        {"GRPR", "x...", 3, "...x"}, // a push button inside the group is skipped
        {"GRSR", "x...", 3, "x..x"}, // a static with WS_GROUP ends the group
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + " " + c.before + " click " +
                     std::to_string(c.clicked));
        TestParent parent;
        const std::vector<HWND> controls = MakeSiblings(parent, c.layout);
        for (std::size_t i = 0; i < controls.size(); ++i) {
            SendMessageW(controls[i], BM_SETCHECK, c.before[i] == 'x' ? BST_CHECKED : BST_UNCHECKED,
                         0);
        }
        parent.TakeNotifications();
        SendMessageW(controls[static_cast<std::size_t>(c.clicked)], BM_CLICK, 0, 0);
        EXPECT_EQ(Checks(controls), c.after);
        EXPECT_EQ(parent.TakeNotifications(),
                  std::vector<std::string>{std::to_string(10 + c.clicked) + "/0"});
        EXPECT_EQ(ViewOf(controls[static_cast<std::size_t>(c.clicked)]).checked,
                  c.layout[static_cast<std::size_t>(c.clicked)] != 'P');
    }
}

TEST(Button, PushButtonsClickButNeverCheckAndDisabledButtonsIgnoreClicks) {
    TestParent parent;
    const HWND push = parent.Add(WC_BUTTON, BS_DEFPUSHBUTTON, 1000, 32, u"START");
    const HWND radio = parent.Add(WC_BUTTON, BS_AUTORADIOBUTTON, 1048, 32, u"Default");
    SendMessageW(push, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageW(push, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageW(push, BM_CLICK, 0, 0);
    EXPECT_EQ(parent.TakeNotifications(), std::vector<std::string>{"1000/0"});

    EnableWindow(radio, FALSE);
    SendMessageW(radio, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(radio, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(parent.TakeNotifications().empty());
}

} // namespace
} // namespace kobalt::platform::testing
