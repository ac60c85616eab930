// The two-column "NAME" / "Number" list view of the phonebook and call-log dialogs.
#pragma once

#include "framework/CFont.h"
#include "framework/CListCtrl.h"

// Creates `font` (height 15) for `list`, puts the list in report view with its two columns
// (80 and 118 pixels wide) and empties it.
void SetUpNameNumberList(CListCtrl& list, CFont& font);
