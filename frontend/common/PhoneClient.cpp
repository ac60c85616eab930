#include "frontend/common/PhoneClient.h"

#include "common/RuntimeFolder.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kobalt::script {
namespace {

// Closes the descriptor on every path.
class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

bool WaitFor(int fd, short events, std::chrono::milliseconds timeout) {
    pollfd p{fd, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, static_cast<int>(timeout.count()));
    } while (r < 0 && errno == EINTR);
    return r > 0;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace

std::string PhoneSocketPath(long pid) {
    const std::string name = "/phone-" + std::to_string(pid) + ".sock";
    const std::vector<std::string> folders = common::ExistingRuntimeFolders();
    for (const std::string& folder : folders) {
        if (::access((folder + name).c_str(), F_OK) == 0) {
            return folder + name;
        }
    }
    if (!folders.empty()) {
        return folders.front() + name;
    }
    return common::RuntimeFolderCandidates().front() + name;
}

std::optional<long> PhonePid(const char* setting, std::string& problem) {
    if (setting == nullptr || *setting == '\0') {
        return static_cast<long>(::getpid());
    }
    const std::string_view text(setting);
    long pid = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
    if (error != std::errc{} || end != text.data() + text.size() || pid <= 0) {
        problem = "KOBALT_PHONE_PID is not a process id";
        return std::nullopt;
    }
    return pid;
}

PhoneAnswer AskPhone(const std::string& command, std::chrono::milliseconds timeout) {
    PhoneAnswer answer;
    const std::optional<long> pid = PhonePid(std::getenv("KOBALT_PHONE_PID"), answer.error);
    if (!pid) {
        return answer;
    }
    const std::string path = PhoneSocketPath(*pid);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        answer.error = "the phone's socket path is too long: " + path;
        return answer;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.fd() < 0 ||
        ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        answer.error = "no simulated phone answers at " + path + " (" + std::strerror(errno) +
                       "); is the simulated KOBALT.dll loaded?";
        return answer;
    }
    const std::string line = command + "\n";
    std::size_t sent = 0;
    while (sent < line.size()) {
        if (!WaitFor(socket.fd(), POLLOUT, timeout)) {
            answer.error = "the phone did not take the command in time";
            return answer;
        }
        ssize_t n = ::send(socket.fd(), line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            answer.error = std::string("sending to the phone failed: ") + std::strerror(errno);
            return answer;
        }
        sent += static_cast<std::size_t>(n);
    }
    ::shutdown(socket.fd(), SHUT_WR);

    std::string text;
    char buffer[4096];
    for (;;) {
        if (!WaitFor(socket.fd(), POLLIN, timeout)) {
            answer.error = "the phone did not answer in time";
            return answer;
        }
        ssize_t n = ::recv(socket.fd(), buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            answer.error =
                std::string("reading the phone's answer failed: ") + std::strerror(errno);
            return answer;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    std::vector<std::string> lines = SplitLines(text);
    answer.reached = true;
    if (lines.empty()) {
        answer.error = "the phone closed without an answer";
        return answer;
    }
    if (lines.front() == "ok") {
        answer.ok = true;
    } else {
        const std::string prefix = "error: ";
        answer.error = lines.front().rfind(prefix, 0) == 0 ? lines.front().substr(prefix.size())
                                                           : lines.front();
    }
    answer.lines.assign(lines.begin() + 1, lines.end());
    return answer;
}

} // namespace kobalt::script
