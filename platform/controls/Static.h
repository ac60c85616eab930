// The STATIC control class: a line of text and nothing else.
#pragma once

#include "platform/WindowServer.h"

namespace kobalt::platform {

// The class record that FindControlClass returns for WC_STATIC.
const ControlClass& StaticClass();

} // namespace kobalt::platform
