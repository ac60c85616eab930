// The EDIT control class: one line of text with a caret.
#pragma once

#include "platform/ControlClasses.h"

namespace kobalt::platform {

// The class record that FindControlClass returns for WC_EDIT.
const ControlClass& EditClass();

} // namespace kobalt::platform
