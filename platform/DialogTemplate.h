// Dialog templates as data: what a resource script would compile for the device.
#pragma once

#include "platform/WindowsTypes.h"

#include <span>
#include <vector>

// One control of a dialog template. Positions are dialog units.
struct DialogControlTemplate {
    int id;               // control id; -1 for statics nobody addresses
    const WCHAR* kind;    // window class: WC_BUTTON, WC_STATIC, WC_EDIT, WC_LISTBOX, WC_LISTVIEW
    const WCHAR* caption; // initial text ("" when none)
    int x, y, cx, cy;     // rectangle in dialog units
    DWORD style;          // WS_* | class styles
};

struct DialogTemplate {
    int id;                                          // resource id (102, 103, 129, ...)
    const WCHAR* caption;                            // window caption
    int x, y, cx, cy;                                // position and size in dialog units
    const WCHAR* fontFace;                           // "MS Shell Dlg"
    int fontPointSize;                               // 8
    DWORD style;                                     // WS_POPUP | WS_CAPTION | ...
    DWORD exStyle;                                   // WS_EX_CAPTIONOKBTN, ...
    std::span<const DialogControlTemplate> controls; // in template (tab) order
    const char* name = nullptr;                      // resource name ("IDD_HANDFREE")
};

// Templates are registered once (res/ does it during static initialisation) and found by id.
void RegisterDialogTemplate(const DialogTemplate* tmpl);
const DialogTemplate* FindDialogTemplate(int id);
// Every registered template, by id.
std::vector<const DialogTemplate*> DialogTemplates();

// Pixels of a rectangle in dialog units, as a dialog made from a template is laid out
// (MapDialogRect), for front ends that size their screen by the templates.
RECT DialogUnitsToPixels(RECT dialogUnits);
