// UTF-8 for the front ends (they read UTF-8 scripts and logs, and print and draw UTF-8): the
// one implementation in common/Utf8.h, which the simulated SDK uses too.
#pragma once

#include "common/Utf8.h"

namespace kobalt::frontend {

using common::AppendUtf16;
using common::AppendUtf8;
using common::DecodeUtf16;
using common::DecodeUtf8;
using common::IsSurrogate;
using common::Utf16Char;
using common::Utf16ToUtf8;
using common::Utf8Char;
using common::Utf8ToUtf16;

} // namespace kobalt::frontend
