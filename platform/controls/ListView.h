// The SysListView32 control class: rows of text in columns (report view), single selection.
#pragma once

#include "platform/ControlClasses.h"

namespace kobalt::platform {

// The class record that FindControlClass returns for WC_LISTVIEW.
const ControlClass& ListViewClass();

} // namespace kobalt::platform
