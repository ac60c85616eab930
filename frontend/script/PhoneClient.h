// Talks to the simulated phone of this process: the control socket that the simulated
// KOBALT.dll opens when it is loaded.
//
// One command a connection: the command line goes out, the answer comes back as lines, the
// first `ok` or `error: REASON`.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace kobalt::script {

struct PhoneAnswer {
    bool reached = false;           // false: no phone answered (see `error`)
    bool ok = false;                // the phone carried the command out
    std::string error;              // why not, when !reached or !ok
    std::vector<std::string> lines; // the output after the first line
};

// The control socket of process `pid`: $XDG_RUNTIME_DIR/kobalt/phone-PID.sock, or
// /tmp/kobalt-UID/phone-PID.sock without an absolute XDG_RUNTIME_DIR.
std::string PhoneSocketPath(long pid);

// Sends one command line to this process's phone and reads its whole answer.
PhoneAnswer AskPhone(const std::string& command, std::chrono::milliseconds timeout);

} // namespace kobalt::script
