// The entry points the loaded library lacks, and the debug line written each time the console
// uses one of them.
#pragma once

// Records whether the loaded library lacks entry point `row` (its row in SdkEntryPoints.h).
// Only the loader writes this, during static initialisation before any other thread exists.
enum class SdkExport { Present, Missing };
void SetSdkExport(int row, SdkExport state);

// Writes "<name> Miss" on the debug output when entry point `row` was recorded missing, so
// every use of a missing entry point shows, not only its look-up. Quiet for any other row,
// so nothing is reported when the library itself was not loaded.
void ReportMissingUse(int row);
