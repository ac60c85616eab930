// Internal to the platform: the debug output that NKDbgPrintfW writes to, for the platform's
// own diagnostic lines.
#pragma once

#include <string>

namespace kobalt::platform {

// Appends one line (without CR LF) to the debug output, as NKDbgPrintfW does.
void WriteDebugLine(std::u16string line);

} // namespace kobalt::platform
