#include "sim/Trace.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kobalt::sim {

Trace::Trace(const char* path) {
    if (path == nullptr || *path == '\0') {
        return;
    }
    m_fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        m_problem = std::string("cannot open trace file ") + path + ": " + std::strerror(errno);
    }
}

Trace::~Trace() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void Trace::WriteLine(std::string_view line) {
    if (m_fd < 0) {
        return;
    }
    std::string text(line);
    text += '\n';
    std::lock_guard lock(m_mutex);
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, left);
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
