// The console's own control socket: script commands from another terminal, run on the front
// end's thread.
//
// A console with the terminal front end listens on DIR/console-PID.sock, DIR being the user's
// runtime folder (common/RuntimeFolder.h, mode 0700); the socket has mode 0600 and a peer of
// another user is refused after its credentials are read. The protocol is lines of UTF-8:
//
//   client: one command of the script language, a line (at most kMaxLineBytes, LF-terminated)
//   server: its output, each line starting with one space, then `ok` or `error: REASON`
//
// Commands of one connection run in order, one at a time. A line too long, a peer of another
// user, a partial line left waiting or an answer the peer does not read ends the connection;
// nothing a peer sends reaches the console except as a parsed command. Lines going out carry no
// control characters.
#pragma once

#include "common/FileDescriptor.h"
#include "frontend/shell/CommandSession.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kobalt::shell {

inline constexpr std::size_t kMaxLineBytes = 4096;

// "console-PID.sock" in `folder`.
std::string ConsoleSocketPath(const std::string& folder, long pid);

struct ConsoleSocket {
    long pid = 0;
    std::string path;
};

// The consoles that listen now, in the user's existing runtime folders, by pid. Sockets whose
// connection is refused (their console is gone) are removed on the way.
std::vector<ConsoleSocket> FindConsoleSockets();

// The answer as it goes over the socket (see above).
std::string EncodeAnswer(const Answer& answer);
// Replaces control characters (C0, DEL) by '?': for lines that go to a peer or a terminal.
std::string WithoutControls(std::string_view text);

class ControlServer {
public:
    struct Limits {
        std::size_t maxClients = 8;
        std::chrono::milliseconds partialLine{10000}; // a started line must end within
        std::chrono::milliseconds write{10000};       // an answer must be read within
    };

    ControlServer() : ControlServer(Limits{}) {}
    explicit ControlServer(Limits limits);
    ~ControlServer(); // stops the thread, closes every connection, removes the socket
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens in `folder` (the runtime folder when empty); false with the reason in `error`.
    bool Open(std::string& error, const std::string& folder = {});
    const std::string& Path() const { return m_path; }

    // On the front end's thread: runs the oldest command that has come in, if any, with `run`
    // and hands the answer back. One a call, so the front end draws and reads its keys between
    // commands however many peers send them.
    void Drain(const std::function<Answer(const std::string&)>& run);

private:
    struct Client;
    struct Request {
        std::uint64_t client = 0;
        std::string line;
    };
    struct Reply {
        std::uint64_t client = 0;
        std::string text;
    };

    void Run();
    void DropFinished(std::vector<Client>& clients);
    static short PollEvents(const Client& client);
    void TakeReplies(std::vector<Client>& clients);
    void Serve(Client& client, short revents);
    void Accept(std::vector<Client>& clients);
    // Reads what the peer sent; false when the connection is to be dropped now.
    bool ReadFrom(Client& client);
    void TakeLine(Client& client);
    bool WriteTo(Client& client);
    void Forget(std::uint64_t client);
    void Wake();

    Limits m_limits;
    std::string m_path;
    common::FileDescriptor m_listen;
    common::FileDescriptor m_wakeRead;
    common::FileDescriptor m_wakeWrite;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::uint64_t m_nextClient = 1; // the socket thread's

    std::mutex m_mutex; // guards the two queues
    std::deque<Request> m_requests;
    std::deque<Reply> m_replies;
};

// A connection to a console's control socket, for `--shell --attach`.
class ControlClient {
public:
    // False with the reason in `error`.
    bool Connect(const std::string& path, std::string& error);
    // Sends one line and waits for its whole answer; false when the console is gone, with the
    // reason in `error`.
    bool Ask(const std::string& line, Answer& answer, std::string& error);

private:
    bool ReadLine(std::string& line, std::string& error);

    common::FileDescriptor m_fd;
    std::string m_buffer;
};

} // namespace kobalt::shell
