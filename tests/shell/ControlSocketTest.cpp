#include "frontend/shell/ControlSocket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kobalt::shell {
namespace {

using std::chrono::milliseconds;

// A private folder for the socket, removed afterwards.
class Folder {
public:
    Folder() {
        char pattern[] = "/tmp/kobalt-shell-XXXXXX";
        m_path = ::mkdtemp(pattern) != nullptr ? pattern : "";
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The front end's thread: drains the server's commands with `run` until it goes.
class FrontEndThread {
public:
    FrontEndThread(ControlServer& server, std::function<Answer(const std::string&)> run)
        : m_thread([this, &server, run = std::move(run)] {
              while (!m_stop.load()) {
                  server.Drain([&](const std::string& line) {
                      ++m_commands;
                      return run(line);
                  });
                  std::this_thread::sleep_for(milliseconds(5));
              }
          }) {}
    ~FrontEndThread() {
        m_stop = true;
        m_thread.join();
    }
    int Commands() const { return m_commands.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_commands{0};
    std::thread m_thread;
};

// A raw peer: sends bytes as they are and reads what comes within a time limit.
class Peer {
public:
    explicit Peer(const std::string& path) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        m_connected =
            ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~Peer() { ::close(m_fd); }
    bool Connected() const { return m_connected; }
    // Whatever comes of it: a refused peer may find the connection closed already.
    void TrySend(std::string_view bytes) {
        [[maybe_unused]] const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    void Send(std::string_view bytes) {
        ASSERT_EQ(::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Reads until `lines` lines have come, the server closes, or `limit` passes.
    std::string Read(std::size_t lines, milliseconds limit = milliseconds(5000)) {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) < lines) {
            const auto left = std::chrono::duration_cast<milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            char chunk[4096];
            const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0) {
                m_closed = true;
                break;
            }
            text.append(chunk, static_cast<std::size_t>(n));
        }
        return text;
    }
    // True when the server ends the connection within `limit`.
    bool ClosedWithin(milliseconds limit) {
        Read(SIZE_MAX, limit);
        return m_closed;
    }

private:
    int m_fd = -1;
    bool m_connected = false;
    bool m_closed = false;
};

Answer Echo(const std::string& line) {
    if (line.starts_with("fail")) {
        return Answer{false, "no \x1b[2Jway", {"detail"}};
    }
    return Answer{true, {}, {"ran " + line}};
}

TEST(ControlSocket, OneAnswerPerCommandInOrderWithoutControlCharacters) {
    Folder folder;
    ControlServer server;
    std::string error;
    ASSERT_TRUE(server.Open(error, folder.Path())) << error;
    EXPECT_EQ(server.Path(), ConsoleSocketPath(folder.Path(), ::getpid()));
    struct stat info {};
    ASSERT_EQ(::stat(server.Path().c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    FrontEndThread frontEnd(server, Echo);
    Peer peer(server.Path());
    ASSERT_TRUE(peer.Connected());
    peer.Send("press \"START\"\r\nfail now\ndump \x07\n");
    EXPECT_EQ(peer.Read(6),
              " ran press \"START\"\nok\n detail\nerror: no ?[2Jway\n ran dump ?\nok\n");
    EXPECT_EQ(frontEnd.Commands(), 3);
}

TEST(ControlSocket, ClientAsksAndReadsWholeAnswers) {
    Folder folder;
    ControlServer server;
    std::string error;
    ASSERT_TRUE(server.Open(error, folder.Path())) << error;
    FrontEndThread frontEnd(server, [](const std::string& line) {
        if (line == "dump") {
            return Answer{true, {}, {"window \"A\"", "  1000 button \"B\"", ""}};
        }
        return Echo(line);
    });
    ControlClient client;
    ASSERT_TRUE(client.Connect(server.Path(), error)) << error;
    Answer answer;
    ASSERT_TRUE(client.Ask("dump", answer, error)) << error;
    EXPECT_TRUE(answer.ok);
    EXPECT_EQ(answer.output, (std::vector<std::string>{"window \"A\"", "  1000 button \"B\"", ""}));
    ASSERT_TRUE(client.Ask("fail", answer, error)) << error;
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.error, "no ?[2Jway");
    EXPECT_EQ(answer.output, std::vector<std::string>{"detail"});
}

TEST(ControlSocket, OverlongLineEndsTheConnectionAndNothingRuns) {
    Folder folder;
    ControlServer server;
    std::string error;
    ASSERT_TRUE(server.Open(error, folder.Path())) << error;
    FrontEndThread frontEnd(server, Echo);
    {
        Peer peer(server.Path());
        peer.Send(std::string(kMaxLineBytes + 1, 'x'));
        EXPECT_EQ(peer.Read(1), "error: line too long\n");
        EXPECT_TRUE(peer.ClosedWithin(milliseconds(2000)));
    }
    {
        // Longer than the line limit, with its end: refused as well.
        Peer peer(server.Path());
        peer.Send("press " + std::string(kMaxLineBytes, 'y') + "\n");
        EXPECT_EQ(peer.Read(1), "error: line too long\n");
    }
    EXPECT_EQ(frontEnd.Commands(), 0);
    Peer after(server.Path());
    after.Send("ok\n");
    EXPECT_EQ(after.Read(2), " ran ok\nok\n");
}

TEST(ControlSocket, StalledPeersAreDroppedWithoutHoldingOthers) {
    Folder folder;
    ControlServer::Limits limits;
    limits.partialLine = milliseconds(200);
    limits.write = milliseconds(200);
    limits.maxClients = 3;
    ControlServer server(limits);
    std::string error;
    ASSERT_TRUE(server.Open(error, folder.Path())) << error;
    // "flood" answers more than a socket buffer holds, to a peer that never reads.
    FrontEndThread frontEnd(server, [](const std::string& line) {
        return line == "flood" ? Answer{true, {}, std::vector<std::string>(100000, "x")}
                               : Echo(line);
    });
    Peer partial(server.Path());
    partial.Send("pre");
    Peer deaf(server.Path());
    deaf.Send("flood\n");
    Peer third(server.Path());
    Peer fourth(server.Path());
    EXPECT_EQ(fourth.Read(1), "error: too many connections\n");
    EXPECT_TRUE(partial.ClosedWithin(milliseconds(3000)));
    third.Send("ok\n");
    EXPECT_EQ(third.Read(2), " ran ok\nok\n");
    // The deaf peer is gone once its answer has stalled: there is room again.
    std::this_thread::sleep_for(milliseconds(600));
    Peer later(server.Path());
    later.Send("ok\n");
    EXPECT_EQ(later.Read(2), " ran ok\nok\n");
    EXPECT_EQ(frontEnd.Commands(), 3);
}

TEST(ControlSocket, PeerGoneBeforeItsAnswerHarmsNothing) {
    Folder folder;
    ControlServer server;
    std::string error;
    ASSERT_TRUE(server.Open(error, folder.Path())) << error;
    {
        Peer peer(server.Path());
        peer.Send("one\ntwo\nthree\n");
        std::this_thread::sleep_for(milliseconds(100));
    }
    // What had come in may run (one line at a time, so not all of it), answered to no one.
    FrontEndThread frontEnd(server, Echo);
    Peer next(server.Path());
    next.Send("four\n");
    EXPECT_EQ(next.Read(2), " ran four\nok\n");
    EXPECT_LE(frontEnd.Commands(), 2);
}

TEST(ControlSocket, PeerOfAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to connect as another user";
    }
    Folder folder;
    ControlServer server;
    std::string error;
    ASSERT_TRUE(server.Open(error, folder.Path())) << error;
    FrontEndThread frontEnd(server, Echo);
    // Opened up for the test only: the folder and socket would keep another user out before
    // the credentials are even read.
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0711), 0);
    ASSERT_EQ(::chmod(server.Path().c_str(), 0666), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(3);
        }
        Peer peer(server.Path());
        if (!peer.Connected()) {
            ::_exit(4);
        }
        peer.TrySend("dump\n");
        ::_exit(peer.Read(1) == "error: not allowed\n" && peer.ClosedWithin(milliseconds(2000))
                    ? 0
                    : 5);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(frontEnd.Commands(), 0);
}

TEST(ControlSocket, FindsLiveConsolesAndRemovesStaleSockets) {
    Folder folder;
    ASSERT_EQ(::setenv("XDG_RUNTIME_DIR", folder.Path().c_str(), 1), 0);
    const std::string runtime = folder.Path() + "/kobalt";
    ControlServer server;
    std::string error;
    ASSERT_TRUE(server.Open(error)) << error;
    EXPECT_EQ(server.Path(), ConsoleSocketPath(runtime, ::getpid()));
    // A socket left by a console that ended without removing it.
    const std::string stale = ConsoleSocketPath(runtime, 999999);
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", stale.c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    const std::vector<ConsoleSocket> found = FindConsoleSockets();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].pid, ::getpid());
    EXPECT_FALSE(std::filesystem::exists(stale));
    ::unsetenv("XDG_RUNTIME_DIR");
}

} // namespace
} // namespace kobalt::shell
