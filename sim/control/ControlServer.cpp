#include "sim/control/ControlServer.h"

#include "common/RuntimeFolder.h"
#include "sim/abi/Jitter.h"
#include "sim/control/ControlPath.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kobalt::sim {
namespace {

// The socket to remove at exit, set once. A fixed buffer, since exit handlers may run after
// static strings are gone.
char g_exitPath[sizeof(sockaddr_un::sun_path)];
pid_t g_exitOwner = 0;

// Only the process that opened the socket removes it; a forked child's exit must not.
void RemoveSocketAtExit() {
    if (g_exitPath[0] != '\0' && ::getpid() == g_exitOwner) {
        ::unlink(g_exitPath);
    }
}

bool SendAll(int fd, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, ControlServer::kClientTimeoutMs) <= 0) {
            return false;
        }
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

ControlServer::ControlServer(Control& control, DebugLog& log) : m_control(control), m_log(log) {
    const kobalt::common::RuntimeFolder folder = kobalt::common::PrepareRuntimeFolder();
    if (folder.path.empty()) {
        m_log.Write("control socket off: " + folder.problem);
        return;
    }
    RemoveStaleControlSockets(folder.path);
    m_path = ControlSocketPath(folder.path, ::getpid());
    // Bound under a name no client looks at, then renamed once it listens: a socket that is
    // found under its final name and refuses connections is stale, never one being set up.
    const std::string setupPath = folder.path + "/setup-" + std::to_string(::getpid());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_path.size() >= sizeof address.sun_path || setupPath.size() >= sizeof address.sun_path) {
        m_log.Write("control socket off: path too long: " + m_path);
        return;
    }
    std::memcpy(address.sun_path, setupPath.c_str(), setupPath.size() + 1);
    ::unlink(setupPath.c_str()); // left by an earlier process with the same pid
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(setupPath.c_str(), 0600) != 0 || ::listen(fd, 16) != 0 ||
        ::rename(setupPath.c_str(), m_path.c_str()) != 0 || ::pipe2(m_wake, O_CLOEXEC) != 0) {
        m_log.Write("control socket off: " + m_path + ": " + std::strerror(errno));
        if (fd >= 0) {
            ::close(fd);
            ::unlink(setupPath.c_str());
            ::unlink(m_path.c_str());
        }
        return;
    }
    m_listenFd = fd;
    std::memcpy(g_exitPath, m_path.c_str(), m_path.size() + 1);
    g_exitOwner = ::getpid();
    std::atexit(RemoveSocketAtExit);
    m_thread = std::thread([this] { Run(); });
}

ControlServer::~ControlServer() {
    if (m_listenFd < 0) {
        return;
    }
    const char stop = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &stop, 1);
    m_thread.join();
    ::close(m_listenFd);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
    ::unlink(m_path.c_str());
    g_exitPath[0] = '\0';
}

void ControlServer::Run() {
    pthread_setname_np(pthread_self(), "kobalt-control");
    while (true) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_log.Write(std::string("control socket stops: ") + std::strerror(errno));
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        const int client = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            Serve(client);
            ::close(client);
        }
    }
}

void ControlServer::Serve(int client) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
        peer.uid != ::geteuid()) {
        SendAll(client, "error: not allowed\n");
        return;
    }
    std::string command;
    bool complete = false;
    while (!complete && command.size() <= kMaxCommandBytes) {
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, kClientTimeoutMs) <= 0) {
            SendAll(client, "error: no command within the time limit\n");
            return;
        }
        char chunk[4096];
        const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            complete = true; // half-closed (or broken): what came is the command
            break;
        }
        command.append(chunk, static_cast<std::size_t>(n));
        complete = command.find('\n') != std::string::npos;
    }
    command = command.substr(0, command.find('\n'));
    if (command.size() > kMaxCommandBytes) {
        SendAll(client, "error: command too long\n");
        return;
    }
    SimJitter().Pause(JitterPoint::Control);
    SendAll(client, m_control.Execute(command).Text());
}

} // namespace kobalt::sim
