// How texts appear inside the quotes of an SDK trace line. The simulated SDK writes its trace
// this way and the console reports the events it handled the same way, so the two compare.
#pragma once

#include <string>
#include <string_view>

namespace kobalt::common {

// `text` as UTF-8: `"` and `\` escaped, control characters and bytes that start no well-formed
// sequence as \xNN, everything else as it is.
void AppendTraceText(std::string& out, std::string_view text);
// `text` as UTF-16: the same, with a lone surrogate shown as U+FFFD.
void AppendTraceText(std::string& out, std::u16string_view text);

} // namespace kobalt::common
