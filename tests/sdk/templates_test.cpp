// The dialog templates as registered during static initialisation: a sample of the facts a
// transcription slip would break, and the rules every template keeps.
#include "platform/DialogTemplate.h"
#include "res/ResourceMarker.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Narrow(const WCHAR* text) {
    std::string out;
    for (; text != nullptr && *text != 0; ++text) {
        out += *text < 0x80 ? static_cast<char>(*text) : '?';
    }
    return out;
}

const DialogControlTemplate* FindControl(const DialogTemplate& tmpl, int id) {
    for (const DialogControlTemplate& control : tmpl.controls) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

struct TemplateFacts {
    int id;
    const char* caption;
    int cx, cy;
    std::size_t controls;
    bool systemMenu;
};

const TemplateFacts kTemplateFacts[] = {
    {IDD_KOBALTDEMO_DIALOG, "KOBALTDemo", 365, 176, 21, false},
    {IDD_KOBALTDEMO_DIALOG_WIDE, "KOBALTDemo", 210, 129, 1, false},
    {IDD_SETTING, "Setting", 210, 111, 9, true},
    {IDD_HANDFREE, "HandFree", 370, 157, 32, true},
    {IDD_DTMF, "DTMF", 221, 164, 13, true},
    {IDD_PHONEBOOK, "PhoneBook", 289, 149, 4, true},
    {IDD_A2DP, "ACRCP_TG", 162, 119, 8, true},
    {IDD_DUN, "DUN", 201, 117, 5, true},
    {IDD_CALLLOG, "Calllog", 199, 150, 4, true},
    {IDD_AUTOTEST, "TestDialog", 271, 130, 2, true},
};

TEST(DialogTemplates, EveryTemplateHasItsCaptionSizeFontAndControlCount) {
    for (const TemplateFacts& facts : kTemplateFacts) {
        SCOPED_TRACE(facts.id);
        const DialogTemplate* tmpl = FindDialogTemplate(facts.id);
        ASSERT_NE(tmpl, nullptr);
        EXPECT_EQ(tmpl->id, facts.id);
        EXPECT_EQ(Narrow(tmpl->caption), facts.caption);
        EXPECT_EQ(tmpl->cx, facts.cx);
        EXPECT_EQ(tmpl->cy, facts.cy);
        EXPECT_EQ(Narrow(tmpl->fontFace), "MS Shell Dlg");
        EXPECT_EQ(tmpl->fontPointSize, 8);
        EXPECT_EQ(tmpl->style & (WS_POPUP | WS_CAPTION | DS_SETFONT),
                  WS_POPUP | WS_CAPTION | DS_SETFONT);
        EXPECT_EQ((tmpl->style & WS_SYSMENU) != 0, facts.systemMenu);
        EXPECT_EQ(tmpl->controls.size(), facts.controls);
    }
    EXPECT_EQ(FindDialogTemplate(IDD_KOBALTDEMO_DIALOG)->exStyle & WS_EX_CAPTIONOKBTN,
              WS_EX_CAPTIONOKBTN);
    EXPECT_EQ(FindDialogTemplate(IDD_HANDFREE)->exStyle & WS_EX_CAPTIONOKBTN, 0u);
}

struct ControlFacts {
    int dialog;
    int id;
    const WCHAR* kind;
    const char* caption;
    int x, y, cx, cy;
};

// The first and last of each dialog and the entries that break the pattern around them.
const ControlFacts kControls[] = {
    {IDD_KOBALTDEMO_DIALOG, IDC_MAIN_STATUSLIST, WC_LISTBOX, "", 218, 10, 132, 140},
    {IDD_KOBALTDEMO_DIALOG, IDC_MAIN_A2DP, WC_BUTTON, " A2DP", 146, 63, 59, 18},
    {IDD_KOBALTDEMO_DIALOG, IDC_MAIN_DIAL, WC_BUTTON, "Dail", 14, 62, 59, 18},
    {IDD_KOBALTDEMO_DIALOG, IDC_MAIN_QUIT, WC_BUTTON, "QUIT", 13, 135, 81, 25},
    {IDD_KOBALTDEMO_DIALOG, IDC_MAIN_ENDSIRI, WC_BUTTON, "EndSiri", 177, 85, 28, 18},
    {IDD_KOBALTDEMO_DIALOG, IDC_MAIN_MODE_DEFAULT, WC_BUTTON, "Default", 156, 107, 38, 18},
    {IDD_KOBALTDEMO_DIALOG, IDC_MAIN_TEXT, WC_STATIC, "", 256, 157, 85, 11},
    {IDD_KOBALTDEMO_DIALOG_WIDE, IDC_MAIN_TEXT, WC_STATIC, "TODO: Place dialog controls here.", 35,
     59, 140, 11},
    {IDD_SETTING, IDC_SETTING_PIN, WC_EDIT, "", 63, 10, 73, 14},
    {IDD_SETTING, IDC_SETTING_SAVE, WC_BUTTON, "Save", 144, 10, 50, 26},
    {IDD_SETTING, IDC_SETTING_ADDR, WC_EDIT, "", 63, 61, 73, 14},
    {IDD_HANDFREE, IDC_HF_NUMBER, WC_EDIT, "", 7, 7, 103, 20},
    {IDD_HANDFREE, IDC_HF_STATE, WC_LISTBOX, "", 113, 7, 186, 19},
    {IDD_HANDFREE, IDC_HF_KEY_STAR, WC_BUTTON, "*", 8, 126, 41, 24},
    {IDD_HANDFREE, IDC_HF_QUIT, WC_BUTTON, "Quit", 160, 132, 83, 16},
    {IDD_HANDFREE, IDC_HF_REJECT_HELD_INCOMING, WC_BUTTON, "RejectHoldInCom", 245, 130, 66, 17},
    {IDD_HANDFREE, IDC_HF_CURRENT_CALLS, WC_BUTTON, "GetCurCall", 311, 34, 41, 17},
    {IDD_DTMF, IDC_DTMF_DISPLAY, WC_EDIT, "", 14, 15, 175, 23},
    {IDD_DTMF, IDC_DTMF_KEY_7, WC_BUTTON, "7", 17, 106, 50, 21},
    {IDD_DTMF, IDC_DTMF_KEY_HASH, WC_BUTTON, "#", 141, 132, 50, 21},
    {IDD_PHONEBOOK, IDC_PHONEBOOK_HIDDEN, WC_LISTVIEW, "", 250, 103, 25, 27},
    {IDD_PHONEBOOK, IDC_PHONEBOOK_LIST, WC_LISTVIEW, "", 77, 7, 134, 111},
    {IDD_PHONEBOOK, IDC_PHONEBOOK_STOP, WC_BUTTON, "Stop", 170, 121, 64, 21},
    {IDD_A2DP, IDC_A2DP_PREVIOUS, WC_BUTTON, "Previous", 89, 33, 58, 21},
    {IDD_A2DP, IDC_A2DP_VOLUME_DOWN, WC_BUTTON, "Volume-", 89, 58, 58, 21},
    {IDD_A2DP, IDC_A2DP_VOLUME_UP, WC_BUTTON, "Volume+", 7, 57, 59, 21},
    {IDD_A2DP, IDC_A2DP_QUIT, WC_BUTTON, "Quit", 7, 82, 140, 21},
    {IDD_DUN, IDC_DUN_GET_COUNTRY, WC_BUTTON, "GetCountry", 17, 16, 50, 14},
    {IDD_DUN, IDC_DUN_GET_PROVIDER, WC_BUTTON, "GetProvider", 18, 37, 50, 14},
    {IDD_DUN, IDC_DUN_LIST, WC_LISTBOX, "", 83, 7, 101, 103},
    {IDD_CALLLOG, IDC_CALLLOG_LIST, WC_LISTVIEW, "", 7, 7, 185, 93},
    {IDD_CALLLOG, IDC_CALLLOG_MISSED, WC_BUTTON, "MissCall", 126, 101, 55, 33},
    {IDD_AUTOTEST, IDC_AUTOTEST_LIST, WC_LISTBOX, "", 45, 7, 164, 77},
    {IDD_AUTOTEST, IDC_AUTOTEST_ONOFF, WC_BUTTON, "OnOff", 18, 88, 58, 21},
};

TEST(DialogTemplates, SampledControlsHaveTheirKindCaptionAndRectangle) {
    for (const ControlFacts& facts : kControls) {
        SCOPED_TRACE(testing::Message() << "template " << facts.dialog << ", control " << facts.id);
        const DialogTemplate* tmpl = FindDialogTemplate(facts.dialog);
        ASSERT_NE(tmpl, nullptr);
        const DialogControlTemplate* control = FindControl(*tmpl, facts.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(Narrow(control->kind), Narrow(facts.kind));
        EXPECT_EQ(Narrow(control->caption), facts.caption);
        EXPECT_EQ(control->x, facts.x);
        EXPECT_EQ(control->y, facts.y);
        EXPECT_EQ(control->cx, facts.cx);
        EXPECT_EQ(control->cy, facts.cy);
    }
}

// Tab order is template order; a slip there reorders keyboard navigation.
TEST(DialogTemplates, ControlsStandInTabOrder) {
    const std::map<int, std::vector<int>> orders{
        {IDD_PHONEBOOK, {1001, 1031, 1032, 1033}},
        {IDD_DUN, {3, 4, 1038, 1023, 1025}},
        {IDD_CALLLOG, {1032, 1039, 1040, 1030}},
        {IDD_SETTING, {-1, 1004, -1, 1005, 1006, -1, 1007, -1, 1044}},
        {IDD_A2DP, {1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040}},
    };
    for (const auto& [dialog, expected] : orders) {
        std::vector<int> ids;
        for (const DialogControlTemplate& control : FindDialogTemplate(dialog)->controls) {
            ids.push_back(control.id);
        }
        EXPECT_EQ(ids, expected) << "template " << dialog;
    }
    // The main window and the hands-free dialog: where the order leaves id order.
    const DialogTemplate* main = FindDialogTemplate(IDD_KOBALTDEMO_DIALOG);
    EXPECT_EQ(main->controls.front().id, IDC_MAIN_TEXT);
    EXPECT_EQ(main->controls[10].id, IDC_MAIN_QUIT);
    EXPECT_EQ(main->controls[11].id, IDC_MAIN_RECORD);
    EXPECT_EQ(main->controls.back().id, IDC_MAIN_MODE_DEFAULT);
    const DialogTemplate* handFree = FindDialogTemplate(IDD_HANDFREE);
    EXPECT_EQ(handFree->controls[20].id, IDC_HF_QUIT);
    EXPECT_EQ(handFree->controls[21].id, IDC_HF_CALLLOG);
    EXPECT_EQ(handFree->controls[24].id, IDC_HF_REDIAL);
}

// Rules that hold for every control of every template.
TEST(DialogTemplates, EveryControlKeepsTheHouseRules) {
    for (const TemplateFacts& facts : kTemplateFacts) {
        const DialogTemplate* tmpl = FindDialogTemplate(facts.id);
        ASSERT_NE(tmpl, nullptr);
        std::set<int> ids;
        for (const DialogControlTemplate& control : tmpl->controls) {
            SCOPED_TRACE(testing::Message() << "template " << facts.id << ", control " << control.id
                                            << " " << Narrow(control.caption));
            if (control.id != IDC_STATIC) {
                EXPECT_TRUE(ids.insert(control.id).second) << "duplicate id";
            }
            EXPECT_NE(control.style & WS_CHILD, 0u);
            // Inside the dialog: catches swapped or mistyped numbers.
            EXPECT_GE(control.x, 0);
            EXPECT_GE(control.y, 0);
            EXPECT_LE(control.x + control.cx, tmpl->cx);
            EXPECT_LE(control.y + control.cy, tmpl->cy);

            const std::string kind = Narrow(control.kind);
            if (kind == Narrow(WC_EDIT)) {
                EXPECT_EQ(control.style & (WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP),
                          WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP);
            } else if (kind == Narrow(WC_LISTBOX)) {
                const DWORD list = WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
                EXPECT_EQ(control.style & list, list);
                // Only the stress test's log keeps its lines in arrival order.
                EXPECT_EQ((control.style & LBS_SORT) != 0, facts.id != IDD_AUTOTEST);
            } else if (kind == Narrow(WC_LISTVIEW)) {
                const bool hidden = facts.id == IDD_PHONEBOOK && control.id == 1001;
                EXPECT_EQ((control.style & WS_VISIBLE) == 0, hidden);
                EXPECT_EQ(control.style & LVS_TYPEMASK, hidden ? LVS_SMALLICON : LVS_REPORT);
                EXPECT_EQ(control.style & (WS_BORDER | LVS_SINGLESEL | LVS_ALIGNLEFT),
                          WS_BORDER | LVS_SINGLESEL | LVS_ALIGNLEFT);
                EXPECT_EQ((control.style & LVS_NOSORTHEADER) != 0, !hidden);
            } else if (kind == Narrow(WC_BUTTON)) {
                EXPECT_NE(control.style & WS_VISIBLE, 0u);
                EXPECT_NE(control.style & WS_TABSTOP, 0u);
            } else {
                EXPECT_EQ(kind, Narrow(WC_STATIC));
            }
        }
    }
}

// The mode buttons close the main window's tab order; the first starts their group, so
// checking one clears the others.
TEST(DialogTemplates, ModeRadioButtonsFormOneGroup) {
    const auto controls = FindDialogTemplate(IDD_KOBALTDEMO_DIALOG)->controls;
    const int ids[] = {IDC_MAIN_MODE_140, IDC_MAIN_MODE_173, IDC_MAIN_MODE_DEFAULT};
    for (std::size_t i = 0; i < 3; ++i) {
        const DialogControlTemplate& control = controls[controls.size() - 3 + i];
        EXPECT_EQ(control.id, ids[i]);
        EXPECT_EQ(control.style & BS_TYPEMASK, BS_AUTORADIOBUTTON) << control.id;
        EXPECT_EQ((control.style & WS_GROUP) != 0, i == 0) << control.id;
    }
    EXPECT_EQ(controls[1].style & BS_TYPEMASK, BS_PUSHBUTTON) << "START";
}

TEST(DialogTemplates, HighResolutionMarkerIsCarried) {
    EXPECT_EQ(Narrow(g_HiResAware.type), "CEUX");
    EXPECT_EQ(Narrow(g_HiResAware.name), "HI_RES_AWARE");
    EXPECT_EQ(g_HiResAware.value, 1);
}

} // namespace
