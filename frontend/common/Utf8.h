// UTF-8 encoding shared by the front ends (they print and draw UTF-8).
#pragma once

#include "common/Utf8.h"

namespace kobalt::frontend {

using common::AppendUtf8;

} // namespace kobalt::frontend
