// KOBALT_DEBUG: which diagnostic channels are on, read alike by the console and its libraries.
//
// The value is a comma-separated list of channel names, each optionally preceded by `+` (on,
// the same as no sign) or `-` (off); `all` stands for every channel and later entries win, so
// `+all,-msg` is every channel but `msg`. Unknown names are ignored.
#pragma once

#include <string_view>

namespace kobalt::common {

inline constexpr const char* kDebugChannelsVariable = "KOBALT_DEBUG";

// Whether `value` (the variable's text; null when unset) turns `channel` on.
bool DebugChannelOn(const char* value, std::string_view channel);

} // namespace kobalt::common
