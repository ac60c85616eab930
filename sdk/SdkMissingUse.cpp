#include "sdk/SdkMissingUse.h"

#include "platform/Windows.h"
#include "sdk/SdkEntryPoints.h"

namespace {

// Written only by the loader before other threads exist; read without a lock afterwards.
bool g_MissingRows[kSdkEntryPointCount] = {};

bool InTable(int row) {
    return row >= 0 && row < kSdkEntryPointCount;
}

} // namespace

void SetSdkExport(int row, SdkExport state) {
    if (InTable(row)) {
        g_MissingRows[row] = state == SdkExport::Missing;
    }
}

void ReportMissingUse(int row) {
    if (InTable(row) && g_MissingRows[row]) {
        NKDbgPrintfW(u"%s Miss\r\n", kSdkEntryPointNames[row]);
    }
}
