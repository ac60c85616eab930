// What changed on the desktop between two snapshots, as the shell's live event lines:
//
//   [NEW] window "HandFree" dialog 105
//   [NEW] box "Connect HF Fail" "KOBALTDemo"
//   [DEL] window "PhoneBook"
//   [CHG] caption "KOBALTDemo" -> "Connect  with Pixel 7 And service is HF"
//   [CHG] 1008 text "0123456789"
//   [ADD] 1001 "BlueTooth Start"
//   [CLR] 1001
//
// Windows are matched by handle, controls by handle within them. Edits' texts are left out
// (they change as the operator types). A list reports the lines it gained, at most a few by
// text and the rest as a count, or that it was emptied.
#pragma once

#include "platform/Desktop.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kobalt::shell {

// Lines copied per list in the snapshots handed to DescribeChanges: enough to name what a
// step adds, bounded for lists of many thousand lines.
inline constexpr std::size_t kEventLinesPerList = 256;
// Added lines named one by one; beyond, a count.
inline constexpr std::size_t kNamedLines = 5;

std::vector<std::string> DescribeChanges(const desktop::Snapshot& before,
                                         const desktop::Snapshot& after);

} // namespace kobalt::shell
