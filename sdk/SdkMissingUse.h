// The entry points the loaded library lacks, and a diagnostic line for each use of one.
//
// The console's debug output names a missing entry point once, when the library is loaded. A
// harness that must see the console actually reach a missing entry point turns on the `sdk`
// channel (KOBALT_DEBUG=sdk): each use then writes "sdk: NAME used, missing from the library" to
// standard error. The channel is off by default and never touches the debug output.
#pragma once

#include <string>

// Records whether the loaded library lacks entry point `row` (its row in SdkEntryPoints.h).
// Only the loader writes this, during static initialisation before any other thread exists.
enum class SdkExport { Present, Missing };
void SetSdkExport(int row, SdkExport state);

// Writes the channel's line when entry point `row` was recorded missing and the channel is on.
// Quiet for any other row, so nothing is reported when the library itself was not loaded.
void ReportMissingUse(int row);

// The channel's line for entry point `row`; empty for a row outside the table.
std::string MissingUseLine(int row);

// Whether KOBALT_DEBUG turns `channel` on (common/DebugChannels.h: `sdk`, `+sdk`, `+all`, ...).
bool DebugChannelOn(const char* value, const char* channel);
