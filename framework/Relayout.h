// Resolution-aware relayout: re-applying a dialog template's layout to a live dialog.
#pragma once

#include "platform/Windows.h"

class CWnd;

// Process-wide switch, off by default. Dialogs consult it in their WM_SIZE handler before
// calling AfxRelayoutDialog; the helper itself does not.
void AfxSetResolutionAwareRelayout(bool enabled);
bool AfxIsResolutionAwareRelayout();

// Re-applies template `templateId` to `dialog`: every control whose id the template lists is
// moved to the template's rectangle (dialog units mapped to pixels, all moves deferred and
// applied together), listed static and button controls get the template's text back, listed
// list boxes re-select their current selection. Controls the template does not list, and
// unnamed (-1) template controls, are left alone. Nothing happens for an unknown template.
void AfxRelayoutDialog(CWnd* dialog, UINT templateId);
