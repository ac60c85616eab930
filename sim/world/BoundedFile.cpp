#include "sim/world/BoundedFile.h"

#include "common/FileDescriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kobalt::sim {
namespace {

FileRead Failed(FileReadError error, std::string problem) {
    return {error, {}, std::move(problem)};
}

} // namespace

FileRead ReadBoundedFile(const std::string& path, std::size_t maxBytes) {
    const common::FileDescriptor fd(
        ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.Valid()) {
        return Failed(FileReadError::CannotOpen,
                      std::string("cannot read: ") + std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        return Failed(FileReadError::CannotRead,
                      std::string("cannot read: ") + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return Failed(FileReadError::NotRegular, "not a regular file");
    }
    FileRead result;
    // st_size is only a hint: reserve what it promises within the limit, but read until the end.
    if (info.st_size > 0) {
        result.bytes.reserve(
            std::min<std::size_t>(static_cast<std::size_t>(info.st_size), maxBytes + 1));
    }
    // Whole chunks are asked for (some /proc files refuse reads of odd sizes); no more than
    // maxBytes + 1 bytes are kept, and that one byte too many ends the reading.
    char chunk[64 * 1024];
    while (result.bytes.size() <= maxBytes) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Failed(FileReadError::CannotRead,
                          std::string("cannot read: ") + std::strerror(errno));
        }
        if (n == 0) {
            return result;
        }
        result.bytes.append(
            chunk, std::min(static_cast<std::size_t>(n), maxBytes + 1 - result.bytes.size()));
    }
    return Failed(FileReadError::TooLarge,
                  "too large (more than " + std::to_string(maxBytes) + " bytes)");
}

} // namespace kobalt::sim
