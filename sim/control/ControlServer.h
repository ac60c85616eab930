// The control socket: a library thread that answers one command per connection.
//
// A client connects, sends one command line and half-closes; the command ends at the first
// newline or at the half-close. The answer is `ok` or `error: REASON`, then the output lines;
// then the server closes. Clients of other users are refused. A client that neither sends a
// line nor half-closes is dropped after kClientTimeoutMs. Commands never wait for callbacks.
#pragma once

#include "sim/abi/DebugLog.h"
#include "sim/control/Control.h"

#include <string>
#include <thread>

namespace kobalt::sim {

class ControlServer {
public:
    static constexpr int kClientTimeoutMs = 2000;
    static constexpr std::size_t kMaxCommandBytes = 64 * 1024;

    // Listens on the process's socket (ControlPath.h) after removing stale sockets (those that
    // refuse connections), and starts the thread. When that fails, the reason goes to `log` and
    // there is no control. At normal process exit the socket file is removed.
    ControlServer(Control& control, DebugLog& log);

    // Stops the thread and removes the socket.
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    bool Listening() const { return m_listenFd >= 0; }
    const std::string& Path() const { return m_path; }

private:
    void Run();
    void Serve(int client);

    Control& m_control;
    DebugLog& m_log;
    std::string m_path;
    int m_listenFd = -1;
    int m_wake[2] = {-1, -1}; // written by the destructor to end the thread
    std::thread m_thread;
};

} // namespace kobalt::sim
