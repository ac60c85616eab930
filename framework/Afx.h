// The whole framework in one include, for dialogs and the application.
#pragma once

#include "framework/CButton.h"
#include "framework/CDataExchange.h"
#include "framework/CDialog.h"
#include "framework/CEdit.h"
#include "framework/CFont.h"
#include "framework/CListBox.h"
#include "framework/CListCtrl.h"
#include "framework/CStatic.h"
#include "framework/CString.h"
#include "framework/CWinApp.h"
#include "framework/CWnd.h"
#include "framework/Relayout.h"
