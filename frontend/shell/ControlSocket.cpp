#include "frontend/shell/ControlSocket.h"

#include "common/RuntimeFolder.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kobalt::shell {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kPrefix = "console-";
constexpr std::string_view kSuffix = ".sock";
// Unread input kept per connection while a command runs: a few lines queued behind it.
constexpr std::size_t kMaxBuffered = 4 * kMaxLineBytes;
// A line of an answer the client accepts; dumps of long lists stay well below.
constexpr std::size_t kMaxAnswerLine = 1 << 20;

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

enum class Probe { Listening, Refused, Unknown };

Probe ProbeSocket(const std::string& path) {
    sockaddr_un address;
    if (!FillAddress(path, address)) {
        return Probe::Unknown;
    }
    const common::FileDescriptor fd(
        ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) {
        return Probe::Unknown;
    }
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
        errno == EAGAIN) {
        return Probe::Listening;
    }
    return errno == ECONNREFUSED || errno == ENOTSOCK ? Probe::Refused : Probe::Unknown;
}

std::optional<long> PidOfName(std::string_view name) {
    if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) {
        return std::nullopt;
    }
    name.remove_prefix(kPrefix.size());
    name.remove_suffix(kSuffix.size());
    long pid = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (name.empty() || ec != std::errc() || end != name.data() + name.size() || pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

// Sockets in `folder` named console-PID.sock, whatever their state.
std::vector<ConsoleSocket> SocketsIn(const std::string& folder) {
    std::vector<ConsoleSocket> sockets;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return sockets;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (const std::optional<long> pid = PidOfName(entry->d_name)) {
            sockets.push_back(ConsoleSocket{*pid, folder + '/' + entry->d_name});
        }
    }
    ::closedir(dir);
    std::sort(sockets.begin(), sockets.end(),
              [](const ConsoleSocket& a, const ConsoleSocket& b) { return a.pid < b.pid; });
    return sockets;
}

// Writes what it can without waiting; false when the connection is broken.
bool SendSome(int fd, std::string& pending) {
    while (!pending.empty()) {
        const ssize_t n = ::send(fd, pending.data(), pending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        }
        if (n <= 0) {
            return false;
        }
        pending.erase(0, static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

std::string ConsoleSocketPath(const std::string& folder, long pid) {
    return folder + '/' + std::string(kPrefix) + std::to_string(pid) + std::string(kSuffix);
}

std::vector<ConsoleSocket> FindConsoleSockets() {
    std::vector<ConsoleSocket> live;
    for (const std::string& folder : common::ExistingRuntimeFolders()) {
        for (ConsoleSocket& socket : SocketsIn(folder)) {
            const Probe probe = ProbeSocket(socket.path);
            if (probe == Probe::Refused) {
                ::unlink(socket.path.c_str());
            } else if (probe == Probe::Listening &&
                       std::none_of(live.begin(), live.end(), [&socket](const ConsoleSocket& s) {
                           return s.pid == socket.pid;
                       })) {
                live.push_back(std::move(socket));
            }
        }
    }
    return live;
}

std::string WithoutControls(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            c = '?';
        }
    }
    return out;
}

std::string EncodeAnswer(const Answer& answer) {
    std::string text;
    for (const std::string& line : answer.output) {
        text += ' ' + WithoutControls(line) + '\n';
    }
    text += answer.ok ? std::string("ok\n") : "error: " + WithoutControls(answer.error) + '\n';
    return text;
}

struct ControlServer::Client {
    std::uint64_t id = 0;
    common::FileDescriptor fd;
    std::string in;
    std::string out;
    bool busy = false;    // a command of this connection is queued or running
    bool closing = false; // drop once `out` is written
    bool peerDone = false;
    Clock::time_point partialSince{}; // when the unfinished line in `in` began
    Clock::time_point writeSince{};   // when `out` last stopped draining
};

ControlServer::ControlServer(Limits limits) : m_limits(limits) {}

ControlServer::~ControlServer() {
    if (m_thread.joinable()) {
        m_stop.store(true, std::memory_order_release);
        Wake();
        m_thread.join();
    }
    if (!m_path.empty()) {
        ::unlink(m_path.c_str());
    }
}

bool ControlServer::Open(std::string& error, const std::string& folder) {
    std::string dir = folder;
    if (dir.empty()) {
        const common::RuntimeFolder runtime = common::PrepareRuntimeFolder();
        if (runtime.path.empty()) {
            error = "no runtime folder: " + runtime.problem;
            return false;
        }
        dir = runtime.path;
    }
    for (const ConsoleSocket& socket : SocketsIn(dir)) {
        if (socket.pid != ::getpid() && ProbeSocket(socket.path) == Probe::Refused) {
            ::unlink(socket.path.c_str());
        }
    }
    const std::string path = ConsoleSocketPath(dir, ::getpid());
    // Bound under a name no client looks for and renamed once it listens with its final mode,
    // so a client never finds it half made.
    const std::string setup = dir + "/console-setup-" + std::to_string(::getpid());
    sockaddr_un address;
    if (!FillAddress(path, address) || !FillAddress(setup, address)) {
        error = "socket path too long: " + path;
        return false;
    }
    ::unlink(setup.c_str());
    common::FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    int wake[2] = {-1, -1};
    if (!fd.Valid() ||
        ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(setup.c_str(), 0600) != 0 || ::listen(fd.Get(), 16) != 0 ||
        ::rename(setup.c_str(), path.c_str()) != 0 || ::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = Errno(path);
        ::unlink(setup.c_str());
        return false;
    }
    m_wakeRead = common::FileDescriptor(wake[0]);
    m_wakeWrite = common::FileDescriptor(wake[1]);
    m_listen = std::move(fd);
    m_path = path;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void ControlServer::Wake() {
    const char byte = 1;
    // A full pipe already wakes the thread.
    [[maybe_unused]] const ssize_t n = ::write(m_wakeWrite.Get(), &byte, 1);
}

void ControlServer::Drain(const std::function<Answer(const std::string&)>& run) {
    Request request;
    {
        const std::lock_guard lock(m_mutex);
        if (m_requests.empty()) {
            return;
        }
        request = std::move(m_requests.front());
        m_requests.pop_front();
    }
    const Answer answer = run(request.line);
    {
        const std::lock_guard lock(m_mutex);
        m_replies.push_back(Reply{request.client, EncodeAnswer(answer)});
    }
    Wake();
}

void ControlServer::Forget(std::uint64_t client) {
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_requests, [client](const Request& r) { return r.client == client; });
}

void ControlServer::Accept(std::vector<Client>& clients) {
    for (;;) {
        common::FileDescriptor fd(
            ::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!fd.Valid()) {
            return;
        }
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(fd.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
            peer.uid != ::geteuid()) {
            std::string refusal = "error: not allowed\n";
            SendSome(fd.Get(), refusal);
            continue;
        }
        if (clients.size() >= m_limits.maxClients) {
            std::string refusal = "error: too many connections\n";
            SendSome(fd.Get(), refusal);
            continue;
        }
        Client client;
        client.id = m_nextClient++;
        client.fd = std::move(fd);
        clients.push_back(std::move(client));
    }
}

void ControlServer::TakeLine(Client& client) {
    if (client.busy || client.closing) {
        return;
    }
    const std::size_t end = client.in.find('\n');
    if (end == std::string::npos) {
        if (client.in.size() > kMaxLineBytes) {
            client.out += "error: line too long\n";
            client.closing = true;
            client.in.clear();
        }
        return;
    }
    std::string line = client.in.substr(0, end);
    client.in.erase(0, end + 1);
    client.partialSince = Clock::now();
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.size() > kMaxLineBytes) {
        client.out += "error: line too long\n";
        client.closing = true;
        return;
    }
    client.busy = true;
    const std::lock_guard lock(m_mutex);
    m_requests.push_back(Request{client.id, std::move(line)});
}

bool ControlServer::ReadFrom(Client& client) {
    char chunk[4096];
    while (client.in.size() <= kMaxBuffered) {
        const ssize_t n = ::recv(client.fd.Get(), chunk, sizeof chunk, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        }
        if (n <= 0) {
            client.peerDone = true;
            return true;
        }
        if (client.in.empty()) {
            client.partialSince = Clock::now();
        }
        client.in.append(chunk, static_cast<std::size_t>(n));
    }
    return true;
}

bool ControlServer::WriteTo(Client& client) {
    const std::size_t before = client.out.size();
    if (!SendSome(client.fd.Get(), client.out)) {
        return false;
    }
    if (client.out.size() != before) {
        client.writeSince = Clock::now();
    }
    return true;
}

void ControlServer::Run() {
    pthread_setname_np(pthread_self(), "kobalt-shell");
    std::vector<Client> clients;
    std::vector<pollfd> fds;
    while (!m_stop.load(std::memory_order_acquire)) {
        DropFinished(clients);
        // The wake pipe, the listening socket, then one a client in order.
        fds.clear();
        fds.push_back(pollfd{m_wakeRead.Get(), POLLIN, 0});
        fds.push_back(pollfd{m_listen.Get(), POLLIN, 0});
        for (const Client& client : clients) {
            // A hung-up peer would report POLLHUP on every call: leave it out while its
            // command runs.
            const short events = PollEvents(client);
            fds.push_back(pollfd{events != 0 ? client.fd.Get() : -1, events, 0});
        }
        // Wakes now and then to apply the time limits.
        constexpr int kTickMs = 200;
        if (::poll(fds.data(), fds.size(), kTickMs) < 0 && errno != EINTR) {
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            char drain[64];
            while (::read(m_wakeRead.Get(), drain, sizeof drain) > 0) {
            }
        }
        TakeReplies(clients);
        for (std::size_t i = 0; i < clients.size(); ++i) {
            Serve(clients[i], fds[i + 2].revents);
        }
        if ((fds[1].revents & POLLIN) != 0) {
            Accept(clients);
        }
    }
}

// Drops what is done or has waited too long.
void ControlServer::DropFinished(std::vector<Client>& clients) {
    const auto now = Clock::now();
    std::erase_if(clients, [&](Client& client) {
        const bool partial = !client.busy && !client.in.empty();
        const bool drop = (client.closing && client.out.empty()) ||
                          (client.peerDone && !client.busy && client.out.empty()) ||
                          (partial && client.in.find('\n') == std::string::npos &&
                           now - client.partialSince >= m_limits.partialLine) ||
                          (!client.out.empty() && now - client.writeSince >= m_limits.write);
        if (drop) {
            Forget(client.id);
        }
        return drop;
    });
}

// What to wait for on a client's connection: input while the peer may send more and there is
// room for it, output while an answer waits.
short ControlServer::PollEvents(const Client& client) {
    short events = 0;
    if (!client.closing && !client.peerDone && client.in.size() <= kMaxBuffered) {
        events |= POLLIN;
    }
    if (!client.out.empty()) {
        events |= POLLOUT;
    }
    return events;
}

// The answers the front end has handed back go out to their clients.
void ControlServer::TakeReplies(std::vector<Client>& clients) {
    const std::lock_guard lock(m_mutex);
    for (Reply& reply : m_replies) {
        for (Client& client : clients) {
            if (client.id == reply.client) {
                if (client.out.empty()) {
                    client.writeSince = Clock::now();
                }
                client.out += reply.text;
                client.busy = false;
            }
        }
    }
    m_replies.clear();
}

// Reads and writes what `poll` said it can, and queues a whole line that came in.
void ControlServer::Serve(Client& client, short revents) {
    if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !ReadFrom(client)) {
        client.closing = true;
        client.out.clear();
    }
    if ((revents & POLLERR) != 0 || !WriteTo(client)) {
        client.closing = true;
        client.out.clear();
        client.busy = false;
    }
    TakeLine(client);
    if (client.peerDone && !client.busy && client.in.find('\n') == std::string::npos) {
        client.in.clear();
    }
    WriteTo(client);
}

bool ControlClient::Connect(const std::string& path, std::string& error) {
    sockaddr_un address;
    if (!FillAddress(path, address)) {
        error = "socket path too long: " + path;
        return false;
    }
    m_fd = common::FileDescriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!m_fd.Valid() ||
        ::connect(m_fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = Errno("cannot connect to " + path);
        m_fd.Reset();
        return false;
    }
    return true;
}

bool ControlClient::ReadLine(std::string& line, std::string& error) {
    for (;;) {
        const std::size_t end = m_buffer.find('\n');
        if (end != std::string::npos) {
            line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            return true;
        }
        if (m_buffer.size() > kMaxAnswerLine) {
            error = "the console's answer has a line too long";
            return false;
        }
        char chunk[4096];
        const ssize_t n = ::recv(m_fd.Get(), chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n == 0 ? "the console has ended the connection" : Errno("reading the answer");
            return false;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

bool ControlClient::Ask(const std::string& line, Answer& answer, std::string& error) {
    answer = Answer{};
    std::string pending = line + '\n';
    while (!pending.empty()) {
        const ssize_t n = ::send(m_fd.Get(), pending.data(), pending.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = Errno("sending the command");
            return false;
        }
        pending.erase(0, static_cast<std::size_t>(n));
    }
    for (std::string reply; ReadLine(reply, error);) {
        reply = WithoutControls(reply);
        if (reply.starts_with(' ')) {
            answer.output.push_back(reply.substr(1));
        } else if (reply == "ok") {
            return true;
        } else {
            answer.ok = false;
            answer.error = reply.starts_with("error: ") ? reply.substr(7) : reply;
            return true;
        }
    }
    return false;
}

} // namespace kobalt::shell
