#include "sim/tool/ServeAg.h"

#include "common/FileDescriptor.h"
#include "sim/abi/TimeScale.h"
#include "sim/control/ControlPath.h"
#include "sim/control/ControlServer.h"
#include "sim/control/ServedPhone.h"
#include "sim/radio/Scheduler.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kobalt::sim {
namespace {

using common::FileDescriptor;

constexpr int kTrouble = 2;
constexpr int kSendTimeoutMs = 2000; // an HF that reads nothing this long loses its link
constexpr int kWatchMs = 250;        // how often the socket file is looked at

constexpr std::string_view kUsage =
    R"(Usage: kobalt-phone serve-ag [--world FILE] [--device ADDR] [--log FILE] SOCKET

Runs a simulated phone whose hands-free audio gateway listens on the unix stream socket SOCKET
(mode 0600; a stale socket there is replaced). One hands-free unit at a time talks AT commands
over it; a second connection is closed at once. The phone also serves the control socket, so
kobalt-phone ring, accept, hangup, waiting, signal, battery, roam, service, text, ... act on it.

  --world FILE   the world of docs/phone.md (default: the built-in world)
  --device ADDR  the world's device that is the phone (default: the first offering hf)
  --log FILE     every AT line received ("< AT+BRSF=511") and sent ("> +BRSF: 999"), and the
                 link's events ("# link opened"), one a line, non-printable bytes as \xNN

Ends on SIGTERM or SIGINT, or when SOCKET is removed or replaced. Details: docs/phone.md.
)";

struct Arguments {
    std::string world;
    std::optional<Address> device;
    std::string log;
    std::string socket;
};

int UsageError(const std::string& problem) {
    std::cerr << "kobalt-phone serve-ag: " << problem << "\n"
              << "Try 'kobalt-phone serve-ag --help'.\n";
    return kTrouble;
}

// The arguments, or the exit status when there is nothing more to do.
std::variant<Arguments, int> ReadArguments(const std::vector<std::string_view>& args) {
    Arguments read;
    std::vector<std::string_view> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--world" || arg == "--device" || arg == "--log") {
            if (i + 1 >= args.size()) {
                return UsageError(std::string(arg) + " needs a value");
            }
            const std::string_view value = args[++i];
            if (arg == "--world") {
                read.world = value;
            } else if (arg == "--log") {
                read.log = value;
            } else {
                read.device = ParseAddress(value);
                if (!read.device) {
                    return UsageError("'" + std::string(value) +
                                      "' is not an address like 66:55:44:33:22:11");
                }
            }
        } else if (arg.starts_with("-") && arg != "-") {
            return UsageError("unknown option '" + std::string(arg) + "'");
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 1) {
        return UsageError(positional.empty() ? "no SOCKET given" : "more than one SOCKET given");
    }
    read.socket = positional.front();
    if (read.socket.empty()) {
        return UsageError("SOCKET is empty");
    }
    return read;
}

// A line for the log: printable ASCII stays, a backslash doubles, every other byte is \xNN.
std::string Escaped(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            out.push_back(c);
        } else {
            out += "\\x";
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0xF]);
        }
    }
    return out;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Sends everything within kSendTimeoutMs per wait; false when the HF stopped reading or left.
bool SendAll(int fd, std::string_view text) {
    while (!text.empty()) {
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, kSendTimeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        const ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};

std::optional<FileId> IdOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileId{info.st_dev, info.st_ino};
}

// Listens at `path`: a stale socket there is replaced, a live one or any other file refused.
// Bound under a setup name, restricted to the owner and renamed into place, so the socket is
// never reachable by others and a client finding it finds it listening.
std::variant<FileDescriptor, std::string> Listen(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            return path + " exists and is not a socket";
        }
        if (ProbeSocket(path) == SocketState::Listening) {
            return path + " is in use: something listens there";
        }
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string setup =
        (slash == std::string::npos ? "" : folder) + ".serve-ag-" + std::to_string(::getpid());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path || setup.size() >= sizeof address.sun_path) {
        return "socket path too long: " + path;
    }
    std::memcpy(address.sun_path, setup.c_str(), setup.size() + 1);
    ::unlink(setup.c_str());
    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid() ||
        ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(setup.c_str(), 0600) != 0 || ::listen(fd.Get(), 4) != 0 ||
        ::rename(setup.c_str(), path.c_str()) != 0) {
        const std::string problem = path + ": " + std::strerror(errno);
        ::unlink(setup.c_str());
        return problem;
    }
    return fd;
}

// The running gateway: the listening socket, at most one HF link, the log.
class Gateway {
public:
    Gateway(ServedPhone& phone, FileDescriptor listener, std::string path, FileDescriptor log)
        : m_phone(phone), m_listener(std::move(listener)), m_path(std::move(path)),
          m_log(std::move(log)), m_id(IdOf(m_path)) {}

    ~Gateway() {
        Close("# link closed: the gateway ends");
        if (m_id && IdOf(m_path) == m_id) {
            ::unlink(m_path.c_str());
        }
    }

    // Serves until a signal arrives on `signals` or the socket file goes.
    void Run(int signals, int wake) {
        while (true) {
            pollfd fds[4] = {{signals, POLLIN, 0},
                             {m_listener.Get(), POLLIN, 0},
                             {wake, POLLIN, 0},
                             {m_client.Get(), POLLIN, 0}};
            const int ready = ::poll(fds, m_client.Valid() ? 4 : 3, kWatchMs);
            if (ready < 0 && errno != EINTR) {
                std::cerr << "kobalt-phone serve-ag: poll: " << std::strerror(errno) << "\n";
                return;
            }
            if (fds[0].revents != 0) {
                return;
            }
            if (!m_id || IdOf(m_path) != m_id) {
                std::cerr << "kobalt-phone serve-ag: " << m_path << " was removed; ending\n";
                return;
            }
            if (fds[1].revents != 0) {
                Accept();
            }
            if (fds[2].revents != 0) {
                char drained[256];
                while (::read(wake, drained, sizeof drained) > 0) {
                }
                std::vector<AgLine> out;
                m_phone.Drain(out);
                Emit(out);
                if (m_phone.TakeLinkDrop()) {
                    Close("# link closed: the phone ended it");
                }
            }
            if (m_client.Valid() && fds[3].revents != 0) {
                Read();
            }
        }
    }

private:
    void Accept() {
        FileDescriptor client(
            ::accept4(m_listener.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!client.Valid()) {
            return;
        }
        if (m_client.Valid()) {
            Note("# second link refused");
            return; // closed as it goes
        }
        m_client = std::move(client);
        Note("# link opened");
        m_phone.LinkOpened();
    }

    void Read() {
        char chunk[4096];
        const ssize_t n = ::recv(m_client.Get(), chunk, sizeof chunk, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            return;
        }
        if (n <= 0) {
            Close("# link closed");
            return;
        }
        std::vector<AgLine> out;
        m_phone.Receive(std::string_view(chunk, static_cast<std::size_t>(n)), out);
        Emit(out);
    }

    // Logs the lines and sends those going out; nothing is logged as sent without a link.
    void Emit(const std::vector<AgLine>& lines) {
        if (!m_client.Valid() || lines.empty()) {
            return;
        }
        std::string log;
        for (const AgLine& line : lines) {
            log += (line.way == AgLine::Way::In ? "< " : "> ") + Escaped(line.text) + "\n";
        }
        Write(log);
        if (!SendAll(m_client.Get(), AgEngine::Frame(lines))) {
            Close("# link closed: the hands-free unit reads nothing");
        }
    }

    void Close(std::string_view why) {
        if (!m_client.Valid()) {
            return;
        }
        m_client.Reset();
        Note(why);
        m_phone.LinkClosed();
    }

    void Note(std::string_view line) { Write(std::string(line) + "\n"); }

    void Write(std::string_view text) {
        if (m_log.Valid() && !WriteAll(m_log.Get(), text)) {
            std::cerr << "kobalt-phone serve-ag: the log cannot be written; it stops\n";
            m_log.Reset();
        }
    }

    ServedPhone& m_phone;
    FileDescriptor m_listener;
    std::string m_path;
    FileDescriptor m_log;
    std::optional<FileId> m_id; // the socket file this gateway made
    FileDescriptor m_client;
};

} // namespace

int ServeAg(const std::vector<std::string_view>& args) {
    std::variant<Arguments, int> read = ReadArguments(args);
    if (const int* done = std::get_if<int>(&read)) {
        return *done;
    }
    const Arguments& arguments = std::get<Arguments>(read);

    // The signals that end the gateway come through a descriptor, blocked in every thread
    // started from here on.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    ::pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    const FileDescriptor signals(::signalfd(-1, &ending, SFD_CLOEXEC | SFD_NONBLOCK));
    int wakePipe[2] = {-1, -1};
    if (!signals.Valid() || ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::cerr << "kobalt-phone serve-ag: " << std::strerror(errno) << "\n";
        return kTrouble;
    }
    const FileDescriptor wakeRead(wakePipe[0]);
    const FileDescriptor wakeWrite(wakePipe[1]);

    FileDescriptor log;
    if (!arguments.log.empty()) {
        // Without waiting: a FIFO without a reader is refused, not waited for.
        log = FileDescriptor(::open(
            arguments.log.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
        struct stat info {};
        const bool regular = log.Valid() && ::fstat(log.Get(), &info) == 0 && S_ISREG(info.st_mode);
        if (!regular || ::ftruncate(log.Get(), 0) != 0 || ::fcntl(log.Get(), F_SETFL, 0) != 0) {
            std::cerr << "kobalt-phone serve-ag: " << EscapeForTerminal(arguments.log) << ": "
                      << (log.Valid() && !regular ? "not a regular file" : std::strerror(errno))
                      << "\n";
            return kTrouble;
        }
    }

    std::string scaleProblem;
    const double timeScale = ParseTimeScale(std::getenv("KOBALT_TIME_SCALE"), scaleProblem);
    if (!scaleProblem.empty()) {
        std::cerr << "kobalt-phone serve-ag: " << scaleProblem << "\n";
    }
    ServedPhone phone(std::make_unique<Scheduler>(timeScale));
    const int wake = wakeWrite.Get();
    phone.SetWake([wake] {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake, &byte, 1); // full: already woken
    });
    ServedPhoneOptions options;
    options.worldFile = arguments.world;
    options.device = arguments.device;
    options.timeScale = timeScale;
    if (const Status started = phone.Start(options); !started.Ok()) {
        std::cerr << "kobalt-phone serve-ag: " << EscapeForTerminal(started.Message()) << "\n";
        return kTrouble;
    }
    std::variant<FileDescriptor, std::string> listener = Listen(arguments.socket);
    if (const std::string* problem = std::get_if<std::string>(&listener)) {
        std::cerr << "kobalt-phone serve-ag: " << EscapeForTerminal(*problem) << "\n";
        return kTrouble;
    }
    ControlServer control(phone.GetControl(), phone.Log());
    {
        Gateway gateway(phone, std::move(std::get<FileDescriptor>(listener)), arguments.socket,
                        std::move(log));
        std::cout << "kobalt-phone serve-ag: phone " << FormatAddress(phone.DeviceAddress())
                  << " at " << EscapeForTerminal(arguments.socket) << "; control socket "
                  << (control.Listening() ? EscapeForTerminal(control.Path()) : "off") << std::endl;
        gateway.Run(signals.Get(), wakeRead.Get());
    }
    return 0;
}

} // namespace kobalt::sim
