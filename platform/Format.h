// Internal to the platform: the formatter behind wsprintfW and NKDbgPrintfW.
#pragma once

#include "platform/Windows.h"

#include <cstdarg>

namespace kobalt::platform {
// The most characters a formatted string takes, its terminator included.
constexpr int kMaxFormattedLength = 1024;
} // namespace kobalt::platform

// wsprintfW with its arguments in a va_list: at most kMaxFormattedLength characters including
// the terminator are written, and the output is always terminated. Returns the characters
// written without the terminator; 0 (and nothing written) for a null buffer.
int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args);
