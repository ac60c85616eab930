// Text to the process's standard streams through stdio (iostreams may not be set up yet during
// static initialisation), flushed at once so that nothing is lost if the process ends abruptly.
#pragma once

#include <cstdio>
#include <string_view>

namespace kobalt::frontend {

inline void WriteStream(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

inline void WriteStdout(std::string_view text) {
    WriteStream(stdout, text);
}
inline void WriteStderr(std::string_view text) {
    WriteStream(stderr, text);
}

} // namespace kobalt::frontend
