// The BUTTON control class: push buttons and auto radio buttons.
#pragma once

#include "platform/ControlClasses.h"

namespace kobalt::platform {

// The class record that FindControlClass returns for WC_BUTTON.
const ControlClass& ButtonClass();

} // namespace kobalt::platform
