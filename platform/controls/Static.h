// The STATIC control class: a line of text and nothing else.
#pragma once

#include "platform/ControlClasses.h"

namespace kobalt::platform {

// The class record that FindControlClass returns for WC_STATIC.
const ControlClass& StaticClass();

} // namespace kobalt::platform
