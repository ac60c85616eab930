// Where the control sockets live and how to talk to one; shared by the library and
// kobalt-phone.
//
// Each process that loads the library listens on DIR/phone-PID.sock, where DIR is
// $XDG_RUNTIME_DIR/kobalt when XDG_RUNTIME_DIR is an absolute path, else /tmp/kobalt-UID. DIR
// is a directory of the user's own with mode 0700, so only the user reaches the sockets.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kobalt::sim {

std::string ControlDirectory();

// Creates the directory (mode 0700) when missing, and makes sure that it is a real directory
// of this user that no one else can enter, tightening its mode when it is this user's. Returns
// why it cannot be used, or an empty string.
std::string PrepareControlDirectory(const std::string& directory);

std::string ControlSocketPath(const std::string& directory, pid_t pid);

// The process id in a socket's file name ("phone-123.sock"), if the name is one.
std::optional<pid_t> PidOfSocketName(std::string_view name);

bool ProcessAlive(pid_t pid);

// The process's command name (/proc/PID/comm), or "?".
std::string ProgramName(pid_t pid);

struct ControlSocket {
    pid_t pid;
    std::string path;
};

// The sockets in `directory` whose processes are alive, by pid.
std::vector<ControlSocket> LiveControlSockets(const std::string& directory);

// Removes the sockets in `directory` whose processes are gone (they ended without cleaning
// up); the caller's own pid is never among them.
void RemoveStaleControlSockets(const std::string& directory);

// Sends `command` as one line, half-closes, and reads the whole answer into `answer`, waiting
// at most `timeoutMs` for each read or write. Returns why the exchange failed, or an empty
// string.
std::string ExchangeCommand(const std::string& path, std::string_view command, std::string& answer,
                            int timeoutMs);

} // namespace kobalt::sim
