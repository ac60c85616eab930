#include "frontend/terminal/TraceSource.h"

#include "common/TraceSink.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kobalt::terminal {

namespace {

// Room for a burst of records while the reader is not scheduled (the kernel may give less).
constexpr int kSocketBuffer = 1 << 20;

} // namespace

TraceSource::~TraceSource() {
    if (m_thread.joinable()) {
        const char stop = 0;
        while (::write(m_stopWrite.Get(), &stop, 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
}

bool TraceSource::Start(std::string& error) {
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        error = std::string("cannot make the trace sockets: ") + std::strerror(errno);
        return false;
    }
    m_read = common::FileDescriptor(pair[0]);
    m_write = common::FileDescriptor(pair[1]);
    int stop[2] = {-1, -1};
    if (::pipe2(stop, O_CLOEXEC) != 0) {
        error = std::string("cannot make the trace reader's pipe: ") + std::strerror(errno);
        m_read.Reset();
        m_write.Reset();
        return false;
    }
    m_stopRead = common::FileDescriptor(stop[0]);
    m_stopWrite = common::FileDescriptor(stop[1]);
    const int size = kSocketBuffer;
    ::setsockopt(m_write.Get(), SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    ::setsockopt(m_read.Get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    ::setenv(common::kTraceSinkVariable, std::to_string(m_write.Get()).c_str(), 1);
    m_thread = std::thread([this] { Run(); });
    return true;
}

void TraceSource::Run() {
    std::array<char, common::kMaxTraceRecord> buffer{};
    for (;;) {
        pollfd fds[2] = {{m_read.Get(), POLLIN, 0}, {m_stopRead.Get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        for (;;) {
            const ssize_t got = ::recv(m_read.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break; // drained (or nothing more will come)
            }
            const common::ParsedTraceRecord record =
                common::ParseTraceRecord(std::string_view(buffer.data(), std::size_t(got)));
            const EventLog::Clock::time_point when =
                record.monotonicNs
                    ? EventLog::Clock::time_point(std::chrono::nanoseconds(*record.monotonicNs))
                    : EventLog::Clock::now();
            m_log.AddTrace(when, record.line);
        }
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return;
        }
    }
}

} // namespace kobalt::terminal
