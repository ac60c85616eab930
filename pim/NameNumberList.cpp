#include "pim/NameNumberList.h"

#include "ui/DialogFont.h"

void SetUpNameNumberList(CListCtrl& list, CFont& font) {
    CreateDialogFont(font, 15);
    list.SetFont(&font, TRUE);
    list.ModifyStyle(0, LVS_REPORT);
    list.InsertColumn(0, u"NAME", LVCFMT_LEFT);
    list.SetColumnWidth(0, 80);
    list.InsertColumn(1, u"Number", LVCFMT_LEFT);
    list.SetColumnWidth(1, 118);
    list.DeleteAllItems();
}
