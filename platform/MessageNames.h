// Names of window messages, for traces and test failure output.
#pragma once

#include "platform/Windows.h"

#include <string>

namespace kobalt::platform {

// "WM_COMMAND", "LB_ADDSTRING", ...; registered messages as "registered 0xC000";
// "WM_APP+0x14D" and "0x1234" for the rest.
std::string MessageName(UINT msg);

} // namespace kobalt::platform
