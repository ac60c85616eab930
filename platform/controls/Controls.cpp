// The table of built-in control classes.

#include "platform/ControlClasses.h"
#include "platform/controls/Button.h"
#include "platform/controls/CaseFold.h"
#include "platform/controls/Edit.h"
#include "platform/controls/ListBox.h"
#include "platform/controls/ListView.h"
#include "platform/controls/Static.h"

namespace kobalt::platform {

const ControlClass* FindControlClass(const WCHAR* name) {
    if (name == nullptr) {
        return nullptr;
    }
    static const ControlClass* const classes[] = {&ButtonClass(), &StaticClass(), &EditClass(),
                                                  &ListBoxClass(), &ListViewClass()};
    for (const ControlClass* cls : classes) {
        if (CompareFolded(name, cls->name) == 0) {
            return cls;
        }
    }
    return nullptr;
}

} // namespace kobalt::platform
