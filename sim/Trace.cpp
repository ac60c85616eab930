#include "sim/Trace.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kobalt::sim {

Trace::Trace(const char* path) {
    if (path == nullptr || *path == '\0') {
        return;
    }
    common::FileDescriptor file(
        ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
               0600));
    if (!file.Valid()) {
        const int error = errno;
        m_problem = std::string("cannot open trace file ") + path + ": " +
                    (error == ELOOP ? "it is a symbolic link" : std::strerror(error));
        return;
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        m_problem = std::string("cannot open trace file ") + path + ": not a regular file";
        return;
    }
    m_file = std::move(file);
}

void Trace::WriteLine(std::string_view line) {
    if (!m_file.Valid()) {
        return;
    }
    std::string text(line);
    text += '\n';
    std::lock_guard lock(m_mutex);
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(m_file.Get(), data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return; // a full disk loses the rest of the line; the call itself goes on
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

} // namespace kobalt::sim
