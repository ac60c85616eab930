// The desktop as plain text: what `dump` prints and what failure reports show.
//
// One line per window, topmost first, then one indented line per control in tab order and one
// more per list line:
//
//   window "KOBALTDemo" dialog 102 active
//     1000 button "START" enabled
//     1001 listbox "" enabled selected -1 lines 1
//       0 "BlueTooth Start"
//     1048 radio "Default" enabled checked
//   window "ERROR" messagebox active
//     text "Load KOBALT.dll Fail"
//
// Texts are quoted as in scripts; the format leaves out what changes from run to run (handles,
// version, caret, fonts, rectangles).
#pragma once

#include "platform/Desktop.h"

#include <string>

namespace kobalt::script {

std::string DumpDesktop(const desktop::Snapshot& snapshot);

// Single pieces of the dump, for the expected/seen lines of reports.
const char* ControlKindName(desktop::ControlKind kind);
const char* WindowKindName(desktop::WindowKind kind);
// "1000 button \"START\"": the control's first words in the dump.
std::string DescribeControlView(const desktop::ControlView& control);
// "window \"KOBALTDemo\" dialog 102".
std::string DescribeWindowView(const desktop::WindowView& window);

} // namespace kobalt::script
