#include "sim/control/ControlPath.h"

#include "common/FileDescriptor.h"
#include "common/RuntimeFolder.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kobalt::sim {
namespace {

constexpr std::string_view kPrefix = "phone-";
constexpr std::string_view kSuffix = ".sock";

Status Errno(const std::string& what) {
    return Status::Error(what + ": " + std::strerror(errno));
}

// Waits until `fd` is ready for `events`; false on time-out or error.
bool WaitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int ready = 0;
    do {
        ready = ::poll(&p, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// Writes all of `text` to the socket at `path`.
Status SendAll(int fd, const std::string& text, const std::string& path, int timeoutMs) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        if (!WaitFor(fd, POLLOUT, timeoutMs)) {
            return Status::Error("no answer from " + path);
        }
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return Errno("cannot send to " + path);
        }
        sent += static_cast<std::size_t>(n);
    }
    return {};
}

// Reads from the socket at `path` until its end.
Result<std::string> ReceiveAll(int fd, const std::string& path, int timeoutMs) {
    std::string answer;
    char chunk[4096];
    while (true) {
        if (!WaitFor(fd, POLLIN, timeoutMs)) {
            return Status::Error("no answer from " + path);
        }
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Errno("cannot read from " + path);
        }
        if (n == 0) {
            return answer;
        }
        answer.append(chunk, static_cast<std::size_t>(n));
    }
}

} // namespace

std::string ControlDirectory() {
    return kobalt::common::PrepareRuntimeFolder().path;
}

std::vector<std::string> ControlDirectories() {
    return kobalt::common::ExistingRuntimeFolders();
}

std::string ControlSocketPath(const std::string& directory, pid_t pid) {
    return directory + "/" + std::string(kPrefix) + std::to_string(pid) + std::string(kSuffix);
}

std::optional<pid_t> PidOfSocketName(std::string_view name) {
    if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) {
        return std::nullopt;
    }
    name.remove_prefix(kPrefix.size());
    name.remove_suffix(kSuffix.size());
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (name.empty() || error != std::errc{} || end != name.data() + name.size() || pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

bool ProcessAlive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

std::string ProgramName(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "?" : name;
}

SocketState ProbeSocket(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return SocketState::Unknown;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const common::FileDescriptor fd(
        ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) {
        return SocketState::Unknown;
    }
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
        errno == EAGAIN) { // EAGAIN: a listener whose backlog is full
        return SocketState::Listening;
    }
    return errno == ECONNREFUSED ? SocketState::Refused : SocketState::Unknown;
}

namespace {

// The control sockets in `directory` by name, the caller's own left out.
std::vector<ControlSocket> SocketsIn(const std::string& directory) {
    std::vector<ControlSocket> sockets;
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) {
        return sockets;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::optional<pid_t> pid = PidOfSocketName(entry->d_name);
        if (pid) {
            sockets.push_back({*pid, directory + "/" + entry->d_name});
        }
    }
    ::closedir(dir);
    return sockets;
}

} // namespace

std::vector<ControlSocket> LiveControlSockets(const std::vector<std::string>& directories) {
    std::vector<ControlSocket> live;
    for (const std::string& directory : directories) {
        for (ControlSocket& socket : SocketsIn(directory)) {
            const SocketState state = ProbeSocket(socket.path);
            if (state == SocketState::Refused) {
                ::unlink(socket.path.c_str());
            } else if (state == SocketState::Listening) {
                live.push_back(std::move(socket));
            }
        }
    }
    std::sort(live.begin(), live.end(),
              [](const ControlSocket& a, const ControlSocket& b) { return a.pid < b.pid; });
    return live;
}

void RemoveStaleControlSockets(const std::string& directory) {
    for (const ControlSocket& socket : SocketsIn(directory)) {
        if (socket.pid != ::getpid() && ProbeSocket(socket.path) == SocketState::Refused) {
            ::unlink(socket.path.c_str());
        }
    }
}

Result<std::string> ExchangeCommand(const std::string& path, std::string_view command,
                                    int timeoutMs) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return Status::Error("socket path too long: " + path);
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const common::FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) {
        return Errno("socket");
    }
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return Errno("cannot connect to " + path);
    }
    if (Status sent = SendAll(fd.Get(), std::string(command) + "\n", path, timeoutMs); !sent.Ok()) {
        return sent;
    }
    ::shutdown(fd.Get(), SHUT_WR);
    return ReceiveAll(fd.Get(), path, timeoutMs);
}

} // namespace kobalt::sim
