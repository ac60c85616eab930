// The LISTBOX control class: a single-selection list of text lines, sorted or in the order
// they were put in, each line with one word of item data.
#pragma once

#include "platform/ControlClasses.h"

namespace kobalt::platform {

// The class record that FindControlClass returns for WC_LISTBOX.
const ControlClass& ListBoxClass();

} // namespace kobalt::platform
