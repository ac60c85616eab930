// Talks to the simulated phone of this process: the control socket that the simulated
// KOBALT.dll opens when it is loaded; or, with KOBALT_PHONE_PID, to another process's phone.
//
// One command a connection: the command line goes out, the answer comes back as lines, the
// first `ok` or `error: REASON`.
#pragma once

#include <chrono>
#include <optional>
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

// The process whose phone the commands go to: `setting` (KOBALT_PHONE_PID, e.g. the pid of a
// `kobalt-phone serve-ag` phone, which a console on another SDK library drives through oFono),
// else this process. None, with `problem` set, when `setting` is not a process id.
std::optional<long> PhonePid(const char* setting, std::string& problem);

// Sends one command line to the phone (see PhonePid) and reads its whole answer.
PhoneAnswer AskPhone(const std::string& command, std::chrono::milliseconds timeout);

} // namespace kobalt::script
