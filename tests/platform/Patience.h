// How long the platform tests wait for things that should happen at once: generous, for
// sanitizer builds.
#pragma once

#include "platform/Windows.h"

namespace kobalt::test {

inline constexpr DWORD kPatience = 10000; // ms

} // namespace kobalt::test
