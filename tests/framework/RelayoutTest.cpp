// Re-applying a template's layout to a live dialog, portrait to landscape and back.
#include "framework/Afx.h"
#include "platform/DialogTemplate.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>

namespace {

constexpr UINT kPortrait = 9200;
constexpr UINT kLandscape = 9201;
constexpr int kIdLabel = 200;
constexpr int kIdSpp = 300;
constexpr int kIdList = 400;
constexpr int kIdEdit = 500;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

const DialogControlTemplate kPortraitControls[] = {
    {kIdLabel, WC_STATIC, u"Portrait", 10, 10, 50, 10, kChild | SS_LEFT},
    {kIdSpp, WC_BUTTON, u"SPP", 10, 30, 40, 14, kChild | WS_TABSTOP},
    {kIdList, WC_LISTBOX, u"", 70, 10, 60, 24, kChild | WS_BORDER | LBS_NOINTEGRALHEIGHT},
    {kIdEdit, WC_EDIT, u"", 10, 60, 50, 12, kChild | WS_BORDER},
};
const DialogControlTemplate kLandscapeControls[] = {
    {kIdLabel, WC_STATIC, u"TODO: Place dialog controls here.", 5, 5, 100, 20, kChild | SS_LEFT},
    {-1, WC_STATIC, u"unnamed", 0, 0, 10, 10, kChild | SS_LEFT},
    {kIdList, WC_LISTBOX, u"", 120, 5, 60, 24, kChild | WS_BORDER | LBS_NOINTEGRALHEIGHT},
};
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | DS_SETFONT;
const DialogTemplate kPortraitTemplate = {static_cast<int>(kPortrait),
                                          u"Portrait",
                                          0,
                                          0,
                                          150,
                                          90,
                                          u"MS Shell Dlg",
                                          8,
                                          kStyle,
                                          0,
                                          kPortraitControls};
const DialogTemplate kLandscapeTemplate = {static_cast<int>(kLandscape),
                                           u"Landscape",
                                           0,
                                           0,
                                           200,
                                           60,
                                           u"MS Shell Dlg",
                                           8,
                                           kStyle,
                                           0,
                                           kLandscapeControls};

class RelayoutDialog : public CDialog {
public:
    explicit RelayoutDialog(std::function<void(CDialog&)> body)
        : CDialog(kPortrait), m_body(std::move(body)) {
        static std::once_flag once;
        std::call_once(once, [] {
            RegisterDialogTemplate(&kPortraitTemplate);
            RegisterDialogTemplate(&kLandscapeTemplate);
        });
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_body(*this);
        EndDialog(IDOK);
        return TRUE;
    }

private:
    std::function<void(CDialog&)> m_body;
};

RECT RectOf(CDialog& dialog, int id) {
    RECT r{};
    dialog.GetDlgItem(id)->GetWindowRect(&r);
    return r;
}

RECT Mapped(CDialog& dialog, int x, int y, int cx, int cy) {
    RECT r{x, y, x + cx, y + cy};
    dialog.MapDialogRect(&r);
    return r;
}

std::string Text(CDialog& dialog, int id) {
    CString text;
    dialog.GetDlgItem(id)->GetWindowText(text);
    std::string out;
    for (int i = 0; i < text.GetLength(); ++i) {
        out += static_cast<char>(text[i]);
    }
    return out;
}

::testing::AssertionResult SameRect(const RECT& a, const RECT& b) {
    if (a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "(" << a.left << "," << a.top << ")-(" << a.right << "," << a.bottom << ") vs ("
           << b.left << "," << b.top << ")-(" << b.right << "," << b.bottom << ")";
}

TEST(Relayout, SwitchIsOffByDefault) {
    EXPECT_FALSE(AfxIsResolutionAwareRelayout());
    AfxSetResolutionAwareRelayout(true);
    EXPECT_TRUE(AfxIsResolutionAwareRelayout());
    AfxSetResolutionAwareRelayout(false);
}

TEST(Relayout, LandscapeMovesOnlyListedControlsAndPortraitRestoresCaptions) {
    RelayoutDialog dialog([](CDialog& d) {
        auto* list = static_cast<CListBox*>(d.GetDlgItem(kIdList));
        for (int i = 0; i < 40; ++i) {
            list->AddString(u"entry");
        }
        list->SetCurSel(30);
        list->SetTopIndex(0); // the selection scrolled out of view
        d.GetDlgItem(kIdSpp)->SetWindowText(u"SPP Connected");
        d.GetDlgItem(kIdEdit)->MoveWindow(1, 2, 30, 16);

        AfxRelayoutDialog(&d, kLandscape);
        EXPECT_TRUE(SameRect(RectOf(d, kIdLabel), Mapped(d, 5, 5, 100, 20)));
        EXPECT_EQ(Text(d, kIdLabel), "TODO: Place dialog controls here.");
        EXPECT_TRUE(SameRect(RectOf(d, kIdList), Mapped(d, 120, 5, 60, 24)));
        EXPECT_EQ(list->GetCurSel(), 30);
        EXPECT_GT(list->GetTopIndex(), 0) << "the selection was not re-selected into view";
        // Not listed in the landscape template: left as they were.
        EXPECT_EQ(Text(d, kIdSpp), "SPP Connected");
        EXPECT_TRUE(SameRect(RectOf(d, kIdSpp), Mapped(d, 10, 30, 40, 14)));
        EXPECT_TRUE(SameRect(RectOf(d, kIdEdit), RECT{1, 2, 31, 18}));

        AfxRelayoutDialog(&d, kPortrait);
        EXPECT_EQ(Text(d, kIdSpp), "SPP");
        EXPECT_EQ(Text(d, kIdLabel), "Portrait");
        EXPECT_TRUE(SameRect(RectOf(d, kIdLabel), Mapped(d, 10, 10, 50, 10)));
        EXPECT_TRUE(SameRect(RectOf(d, kIdEdit), Mapped(d, 10, 60, 50, 12)));
        EXPECT_EQ(list->GetCount(), 40);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
}

TEST(Relayout, UnknownTemplateOrDetachedDialogChangesNothing) {
    RelayoutDialog dialog([](CDialog& d) {
        d.GetDlgItem(kIdSpp)->SetWindowText(u"changed");
        AfxRelayoutDialog(&d, 4243);
        EXPECT_EQ(Text(d, kIdSpp), "changed");
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    AfxRelayoutDialog(&dialog, kPortrait); // detached: no window to touch
    AfxRelayoutDialog(nullptr, kPortrait);
}

} // namespace
