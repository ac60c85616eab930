// Where the control sockets live and how to talk to one; shared by the library and
// kobalt-phone.
//
// Each process that loads the library listens on DIR/phone-PID.sock, where DIR is the user's
// runtime folder (common/RuntimeFolder.h: $XDG_RUNTIME_DIR/kobalt, $HOME/.kobalt-run or
// /tmp/kobalt-EUID), a directory of the user's own with mode 0700, so only the user reaches
// the sockets. A socket file whose connection is refused is stale (its process ended without
// removing it, whatever process has its pid now) and is removed by whoever finds it.
#pragma once

#include "sim/Status.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kobalt::sim {

// The folder this process listens in, created when missing; empty when there is none.
std::string ControlDirectory();

// The folders other processes may listen in: every usable runtime folder that exists, most
// preferred first. Creates nothing.
std::vector<std::string> ControlDirectories();

std::string ControlSocketPath(const std::string& directory, pid_t pid);

// The process id in a socket's file name ("phone-123.sock"), if the name is one.
std::optional<pid_t> PidOfSocketName(std::string_view name);

bool ProcessAlive(pid_t pid);

enum class SocketState { Listening, Refused, Unknown };

// Whether a stream socket listens at `path`, asked with a connection that never waits (a full
// backlog counts as listening): Refused when nothing listens there or the file is no socket,
// Unknown when there is no such file or no answer.
SocketState ProbeSocket(const std::string& path);

// The process's command name (/proc/PID/comm), or "?".
std::string ProgramName(pid_t pid);

struct ControlSocket {
    pid_t pid;
    std::string path;
};

// The sockets in `directories` that are not refused, by pid. Refused ones are removed on the
// way.
std::vector<ControlSocket> LiveControlSockets(const std::vector<std::string>& directories);

// Removes the sockets in `directory` whose connections are refused; the caller's own socket is
// never among them.
void RemoveStaleControlSockets(const std::string& directory);

// Sends `command` as one line, half-closes, and reads the whole answer, waiting at most
// `timeoutMs` for each read or write; or why the exchange failed.
Result<std::string> ExchangeCommand(const std::string& path, std::string_view command,
                                    int timeoutMs);

} // namespace kobalt::sim
