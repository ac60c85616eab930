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

// The control socket of process `pid`: phone-PID.sock in the first of the user's runtime
// folders (common/RuntimeFolder.h) that holds it, else where the first folder would hold it.
std::string PhoneSocketPath(long pid);

// Sends one command line to this process's phone and reads its whole answer.
PhoneAnswer AskPhone(const std::string& command, std::chrono::milliseconds timeout);

} // namespace kobalt::script
