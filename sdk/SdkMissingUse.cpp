#include "sdk/SdkMissingUse.h"

#include "sdk/SdkEntryPoints.h"

#include "common/DebugChannels.h"

#include <cstdio>
#include <cstdlib>

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

bool DebugChannelOn(const char* value, const char* channel) {
    return kobalt::common::DebugChannelOn(value, channel);
}

std::string MissingUseLine(int row) {
    if (!InTable(row)) {
        return {};
    }
    std::string line = "sdk: ";
    // Entry-point names are ASCII.
    for (const char16_t* c = kSdkEntryPointNames[row]; *c != 0; ++c) {
        line += static_cast<char>(*c);
    }
    return line + " used, missing from the library\n";
}

void ReportMissingUse(int row) {
    // Read at each use: only missing entry points get here, and tests may set it late.
    if (InTable(row) && g_MissingRows[row] && DebugChannelOn(std::getenv("KOBALT_DEBUG"), "sdk")) {
        const std::string line = MissingUseLine(row);
        std::fwrite(line.data(), 1, line.size(), stderr);
    }
}
