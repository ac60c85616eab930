// Control wrappers on live controls of a modal test dialog.
#include "tests/framework/FrameworkTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace kobalt::framework::testing {
namespace {

using desktop::WindowKind;

// Runs `body` during the dialog's initialisation, then ends the dialog.
void WithDialog(const std::function<void(ScriptedDialog&)>& body) {
    ScriptedDialog dialog;
    dialog.onInit = [&](ScriptedDialog& d) {
        body(d);
        d.EndDialog(IDOK);
    };
    ASSERT_EQ(dialog.DoModal(), IDOK);
}

TEST(CListBoxWrapper, CallsFromAnotherThreadReachTheOwner) {
    ScriptedDialog dialog;
    std::vector<std::string> seenByOwner;
    dialog.onAction = [&](ScriptedDialog& d) {
        for (int i = 0; i < d.m_list.GetCount(); ++i) {
            CString line;
            d.m_list.GetText(i, line);
            seenByOwner.push_back(Narrow(line.str()));
        }
        d.EndDialog(IDOK);
    };
    std::thread worker([&] {
        if (!WaitForActive(WindowKind::Dialog, static_cast<int>(kMainTemplate))) {
            return;
        }
        EXPECT_EQ(dialog.m_list.AddString(u"Initing..."), 0);
        EXPECT_EQ(dialog.m_list.AddString(u"Init Suc(nCount = 1)"), 1);
        EXPECT_EQ(dialog.m_list.GetCount(), 2);
        CString line;
        dialog.m_list.GetText(1, line);
        EXPECT_EQ(line, u"Init Suc(nCount = 1)");
        ClickIn(kMainTemplate, kIdAction);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    worker.join();
    EXPECT_EQ(seenByOwner, (std::vector<std::string>{"Initing...", "Init Suc(nCount = 1)"}));
}

TEST(CListBoxWrapper, TextAndItemDataFollowTheirEntries) {
    WithDialog([](ScriptedDialog& d) {
        CListBox& list = d.m_list;
        int slots[2] = {};
        EXPECT_EQ(list.AddString(u"status"), 0);
        EXPECT_EQ(list.InsertString(0, u"device A"), 0);
        EXPECT_EQ(list.SetItemDataPtr(0, &slots[0]), LB_OKAY);
        EXPECT_EQ(list.InsertString(-1, u"device B"), 2);
        EXPECT_EQ(list.SetItemData(2, reinterpret_cast<DWORD_PTR>(&slots[1])), LB_OKAY);

        EXPECT_EQ(list.DeleteString(1), 2);
        EXPECT_EQ(list.GetItemDataPtr(0), &slots[0]);
        EXPECT_EQ(list.GetItemDataPtr(1), &slots[1]);
        EXPECT_EQ(list.GetTextLen(1), 8);
        CString text(u"stale");
        list.GetText(1, text);
        EXPECT_EQ(text, u"device B");
        list.GetText(5, text);
        EXPECT_TRUE(text.IsEmpty());

        EXPECT_EQ(list.GetCurSel(), LB_ERR);
        EXPECT_EQ(list.SetCurSel(1), 1);
        EXPECT_EQ(list.GetCurSel(), 1);
        list.ResetContent();
        EXPECT_EQ(list.GetCount(), 0);
        EXPECT_EQ(list.GetCurSel(), LB_ERR);
    });
}

TEST(CListCtrlWrapper, ReportViewRowsInsertedAtTheTopReadBackInReverse) {
    WithDialog([](ScriptedDialog& d) {
        CListCtrl& view = d.m_view;
        EXPECT_TRUE(view.ModifyStyle(LVS_TYPEMASK, LVS_REPORT));
        EXPECT_EQ(view.GetStyle() & LVS_TYPEMASK, LVS_REPORT);
        EXPECT_FALSE(view.ModifyStyle(0, LVS_REPORT)); // no change

        EXPECT_EQ(view.InsertColumn(0, u"NAME", LVCFMT_LEFT), 0);
        EXPECT_TRUE(view.SetColumnWidth(0, 80));
        EXPECT_EQ(view.InsertColumn(1, u"Number", LVCFMT_LEFT, 118), 1);
        EXPECT_EQ(view.GetColumnWidth(0), 80);
        EXPECT_EQ(view.GetColumnWidth(1), 118);

        for (const char16_t* name : {u"Alice(Cell)", u"Alice(Home)", u"Bob(Cell)"}) {
            const int row = view.InsertItem(0, name);
            EXPECT_EQ(row, 0);
            EXPECT_TRUE(view.SetItemText(row, 1, u"555"));
        }
        EXPECT_EQ(view.GetItemCount(), 3);
        EXPECT_EQ(view.GetItemText(0, 0), u"Bob(Cell)");
        EXPECT_EQ(view.GetItemText(2, 0), u"Alice(Cell)");
        EXPECT_EQ(view.GetItemText(1, 1), u"555");
        EXPECT_TRUE(view.GetItemText(7, 0).IsEmpty());

        EXPECT_EQ(view.GetSelectedItem(), -1);
        EXPECT_TRUE(view.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED));
        EXPECT_EQ(view.GetNextItem(-1, LVNI_SELECTED), 1);
        EXPECT_EQ(view.GetItemState(1, LVIS_SELECTED), LVIS_SELECTED);

        EXPECT_TRUE(view.DeleteItem(0));
        EXPECT_EQ(view.GetItemText(0, 0), u"Alice(Home)");
        EXPECT_TRUE(view.DeleteAllItems());
        EXPECT_EQ(view.GetItemCount(), 0);
    });
}

TEST(CListCtrlWrapper, GetItemTextReturnsTextsLongerThanItsFirstBuffer) {
    WithDialog([](ScriptedDialog& d) {
        const std::u16string longName(700, u'n');
        d.m_view.InsertColumn(0, u"NAME");
        d.m_view.InsertItem(0, longName.c_str());
        EXPECT_EQ(d.m_view.GetItemText(0, 0).str(), longName);
    });
}

TEST(CWndWrapper, FontTextAndIcon) {
    WithDialog([](ScriptedDialog& d) {
        LOGFONTW logFont{};
        logFont.lfHeight = 20;
        logFont.lfFaceName[0] = u'\u5B8B';
        logFont.lfFaceName[1] = u'\u4F53';
        {
            CFont font;
            EXPECT_TRUE(font.CreateFontIndirect(&logFont));
            EXPECT_FALSE(font.CreateFontIndirect(&logFont)); // one font per object
            d.m_edit.SetFont(&font);
            EXPECT_EQ(d.m_edit.GetFont(), &font);
            LOGFONTW back{};
            ASSERT_TRUE(d.m_edit.GetFont()->GetLogFont(&back));
            EXPECT_EQ(back.lfHeight, 20);
            EXPECT_EQ(back.lfFaceName[1], u'\u4F53');
        }
        // The font object is gone: nobody owns the control's font any more.
        EXPECT_EQ(d.m_edit.GetFont(), nullptr);

        d.m_edit.SetWindowText(u"12#");
        CString text;
        d.m_edit.GetWindowText(text);
        EXPECT_EQ(text, u"12#");
        d.m_edit.SetWindowText(u"");
        d.m_edit.GetWindowText(text);
        EXPECT_TRUE(text.IsEmpty());

        const HICON icon = reinterpret_cast<HICON>(static_cast<std::intptr_t>(0x80));
        EXPECT_EQ(d.SetIcon(icon, TRUE), nullptr);
        EXPECT_EQ(d.SetIcon(nullptr, TRUE), icon);
    });
}

} // namespace
} // namespace kobalt::framework::testing
