#include "sim/abi/Trace.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kobalt::sim {

Trace::Trace(const char* path, const char* sinkFd) {
    m_sink = common::OpenTraceSink(sinkFd, m_sinkProblem);
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

bool Trace::Send(std::string_view line) {
    const std::string record = common::TraceRecord(common::MonotonicNanoseconds(), line);
    return ::send(m_sink.Get(), record.data(), record.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0;
}

bool Trace::SendLive(std::string_view line) {
    if (!m_sink.Valid()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    return Send(line);
}

void Trace::WriteLine(std::string_view line) {
    if (!Enabled()) {
        return;
    }
    std::lock_guard lock(m_mutex);
    if (m_sink.Valid()) {
        // Full, or the receiver is gone: the line is counted, the call itself goes on. The
        // count goes out first once there is room again, so the receiver sees where the gap is.
        const bool told = m_lost == 0 || Send("(" + std::to_string(m_lost) + " trace lines lost)");
        if (told) {
            m_lost = 0;
        }
        if (!told || !Send(line)) {
            ++m_lost;
        }
    }
    if (!m_file.Valid()) {
        return;
    }
    std::string text(line);
    text += '\n';
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
