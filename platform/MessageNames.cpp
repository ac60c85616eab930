// The message name table (the spy table) for traces and test failure output.

#include "platform/MessageNames.h"

#include "platform/ControlClasses.h"

#include <cstdio>

namespace kobalt::platform {
namespace {

struct NamedMessage {
    UINT id;
    const char* name;
};

#define KOBALT_MSG(m)                                                                              \
    { m, #m }
constexpr NamedMessage kNames[] = {
    KOBALT_MSG(WM_NULL),
    KOBALT_MSG(WM_CREATE),
    KOBALT_MSG(WM_DESTROY),
    KOBALT_MSG(WM_MOVE),
    KOBALT_MSG(WM_SIZE),
    KOBALT_MSG(WM_SETFOCUS),
    KOBALT_MSG(WM_KILLFOCUS),
    KOBALT_MSG(WM_ENABLE),
    KOBALT_MSG(WM_SETTEXT),
    KOBALT_MSG(WM_GETTEXT),
    KOBALT_MSG(WM_GETTEXTLENGTH),
    KOBALT_MSG(WM_CLOSE),
    KOBALT_MSG(WM_QUIT),
    KOBALT_MSG(WM_SHOWWINDOW),
    KOBALT_MSG(WM_SETFONT),
    KOBALT_MSG(WM_GETFONT),
    KOBALT_MSG(WM_SETICON),
    KOBALT_MSG(WM_INITDIALOG),
    KOBALT_MSG(WM_COMMAND),
    KOBALT_MSG(WM_TIMER),
    KOBALT_MSG(EM_SETSEL),
    KOBALT_MSG(BM_GETCHECK),
    KOBALT_MSG(BM_SETCHECK),
    KOBALT_MSG(BM_CLICK),
    KOBALT_MSG(LB_ADDSTRING),
    KOBALT_MSG(LB_INSERTSTRING),
    KOBALT_MSG(LB_DELETESTRING),
    KOBALT_MSG(LB_RESETCONTENT),
    KOBALT_MSG(LB_SETCURSEL),
    KOBALT_MSG(LB_GETCURSEL),
    KOBALT_MSG(LB_GETTEXT),
    KOBALT_MSG(LB_GETTEXTLEN),
    KOBALT_MSG(LB_GETCOUNT),
    KOBALT_MSG(LB_GETTOPINDEX),
    KOBALT_MSG(LB_SETTOPINDEX),
    KOBALT_MSG(LB_GETITEMDATA),
    KOBALT_MSG(LB_SETITEMDATA),
    KOBALT_MSG(LVM_GETITEMCOUNT),
    KOBALT_MSG(LVM_DELETEITEM),
    KOBALT_MSG(LVM_DELETEALLITEMS),
    KOBALT_MSG(LVM_GETNEXTITEM),
    KOBALT_MSG(LVM_GETCOLUMNWIDTH),
    KOBALT_MSG(LVM_SETCOLUMNWIDTH),
    KOBALT_MSG(LVM_SETITEMSTATE),
    KOBALT_MSG(LVM_GETITEMSTATE),
    KOBALT_MSG(LVM_INSERTITEMW),
    KOBALT_MSG(LVM_INSERTCOLUMNW),
    KOBALT_MSG(LVM_GETITEMTEXTW),
    KOBALT_MSG(LVM_SETITEMTEXTW),
    KOBALT_MSG(LVM_GETTOPINDEX),
    KOBALT_MSG(LVM_ENSUREVISIBLE),
    KOBALT_MSG(KM_INPUT_SELECT),
    KOBALT_MSG(KM_INPUT_TYPE),
    KOBALT_MSG(KM_INPUT_SCROLL),
};
#undef KOBALT_MSG

} // namespace

std::string MessageName(UINT msg) {
    for (const auto& n : kNames)
        if (n.id == msg)
            return n.name;
    char buffer[32];
    if (msg >= 0xC000 && msg <= 0xFFFF)
        std::snprintf(buffer, sizeof buffer, "registered 0x%04X", msg);
    else if (msg >= WM_APP && msg < 0xC000)
        std::snprintf(buffer, sizeof buffer, "WM_APP+0x%X", msg - WM_APP);
    else if (msg >= WM_USER && msg < WM_APP)
        std::snprintf(buffer, sizeof buffer, "WM_USER+0x%X", msg - WM_USER);
    else
        std::snprintf(buffer, sizeof buffer, "0x%04X", msg);
    return buffer;
}

} // namespace kobalt::platform
