// kobalt-phone: sends one command to the simulated SDK inside a running console and prints the
// answer. Exit status: 0 ok, 1 the library answered with an error, 2 usage or connection
// problems.
#include "sim/abi/DebugLog.h"
#include "sim/control/ControlPath.h"
#include "sim/tool/ServeAg.h"
#include "sim/world/Words.h"

#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

using kobalt::sim::ControlSocket;

constexpr int kOk = 0;
constexpr int kErrorAnswer = 1;
constexpr int kTrouble = 2;
constexpr int kAnswerTimeoutMs = 10000;

constexpr std::string_view kUsage = R"(Usage: kobalt-phone [--pid PID] COMMAND [ARGUMENT...]
       kobalt-phone --list
       kobalt-phone serve-ag [--world FILE] [--device ADDR] [--log FILE] SOCKET
       kobalt-phone --help

Acts as the phone and the radio world of a running console: sends COMMAND to the simulated
SDK (KOBALT.dll) that the console loaded, prints the answer's output lines and exits 0, or
prints the error on stderr and exits 1. Exits 2 on usage or connection problems. A command
that changes something prints one line saying what it did ("ringing 0123456789 as call 1").

  --pid PID   the console with this process id; without it, the only running console
              (with several, asks which one when standard input is a terminal)
  --list      lists the running consoles: process id and program
  --help      this text

Arguments are sent as words; an argument with blanks, quotes or backslashes, or an empty
one, is sent quoted, so  kobalt-phone add-device 11:22:33:44:55:66 "My Phone" hf,a2dp
works as typed.

Commands:
  devices                       the world's devices, one a line
  add-device ADDR "NAME" SERVICES [paired|unpaired] [in-range|out-of-range]
  remove-device ADDR|all
  range ADDR in|out             out of range drops the device's connections
  pair ADDR ok|fail             the device pairs; a pair event follows
  connect ADDR|none SERVICE     the phone connects a service; a connect event follows
  disconnect ADDR|none SERVICE  the phone drops a service; a disconnect event follows
  fail ENTRY-POINT [COUNT|always|off]
                                the entry point's next calls fail with -2
  ring NUMBER                   a call comes in
  waiting NUMBER                a second call comes in while one is active
  accept                        the called party answers the outgoing call
  answer auto|manual            the called party answers by itself, or only on accept
  hangup [INDEX]                the far end hangs up
  service on|off, roam on|off   network and roaming indicators
  signal 0..5, battery 0..5     signal and battery levels
  text "OPERATOR TEXT"          operator text
  add-contact "NAME" "HOME" "WORK" "CELL"
  remove-contact all|pushed
  generate-contacts N           N synthetic contacts
  push-contact "NAME" [NUMBER...]
  pim-fail 2|10|11|12           the next download fails with this event
  add-calllog incoming|outgoing|missed "NAME" NUMBER
  clear-calllogs
  player ADDR play|pause|stop|next|previous|volume-up|volume-down
  signal-storm COUNT            COUNT signal events at once
  hold-events on|off|uninit     hold the console's callbacks back
  volume speaker|mic 0..15      the phone's volume keys (serve-ag's audio gateway only)
  state                         the stack, the world and the connections, one fact a line
  log                           the library's diagnostics
  help                          the commands, as the library knows them

serve-ag runs a simulated phone of its own, whose hands-free audio gateway listens on the unix
socket SOCKET and whose control socket takes the commands above ('serve-ag --help').

SERVICES: hf, a2dp, avrcp, spp, dun, pbap, comma-separated, or none.
SERVICE: hf, a2dp, internet, ftp, spp, streaming, nfc, avrcp-target, avrcp or a 16-bit code.
Details: docs/phone.md.
)";

int UsageError(const std::string& problem) {
    std::cerr << "kobalt-phone: " << problem << "\n"
              << "Try 'kobalt-phone --help'.\n";
    return kTrouble;
}

std::optional<pid_t> ParsePid(std::string_view text) {
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

void ListConsoles(std::ostream& out, const std::vector<ControlSocket>& sockets) {
    for (const ControlSocket& socket : sockets) {
        out << "  " << socket.pid << " " << kobalt::sim::ProgramName(socket.pid) << "\n";
    }
}

// The console to talk to: the one named, the only one, or the one the user picks.
std::optional<std::string> ChooseSocket(std::optional<pid_t> pid,
                                        const std::vector<std::string>& directories) {
    const std::vector<ControlSocket> sockets = kobalt::sim::LiveControlSockets(directories);
    std::string searched;
    for (const std::string& directory : directories) {
        searched += (searched.empty() ? "" : ", ") + directory;
    }
    if (searched.empty()) {
        searched = "no runtime folder";
    }
    if (pid) {
        for (const ControlSocket& socket : sockets) {
            if (socket.pid == *pid) {
                return socket.path;
            }
        }
        std::cerr << "kobalt-phone: no console with pid " << *pid << " (no socket answers in "
                  << searched << ")\n";
        return std::nullopt;
    }
    if (sockets.empty()) {
        std::cerr << "kobalt-phone: no running console (no socket answers in " << searched << ")\n";
        return std::nullopt;
    }
    // Without a pid the consoles of the most preferred folder that has any are the choice: a
    // console that had to fall back to a later folder is found when no earlier one runs, and
    // consoles of another environment (another XDG_RUNTIME_DIR) never make the choice ambiguous.
    std::vector<ControlSocket> preferred;
    for (const std::string& directory : directories) {
        preferred = kobalt::sim::LiveControlSockets({directory});
        if (!preferred.empty()) {
            break;
        }
    }
    if (preferred.size() == 1) {
        return preferred.front().path;
    }
    if (!::isatty(STDIN_FILENO)) {
        std::cerr << "kobalt-phone: several consoles are running; choose one with --pid:\n";
        ListConsoles(std::cerr, preferred);
        return std::nullopt;
    }
    std::cerr << "Several consoles are running:\n";
    ListConsoles(std::cerr, preferred);
    std::cerr << "Which one (pid)? ";
    std::string answer;
    std::getline(std::cin, answer);
    const std::optional<pid_t> chosen = ParsePid(answer);
    for (const ControlSocket& socket : preferred) {
        if (chosen && socket.pid == *chosen) {
            return socket.path;
        }
    }
    std::cerr << "kobalt-phone: '" << answer << "' is not one of them\n";
    return std::nullopt;
}

// Each line of `text` through EscapeForTerminal; the line ends stay.
std::string EscapedLines(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        out += kobalt::sim::EscapeForTerminal(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        out += '\n';
        text.remove_prefix(end + 1);
    }
    return out;
}

// Reads the options before the command into `pid`; `next` ends at the command's first word.
// An exit code when there is nothing more to do (help, list, or a usage error).
std::optional<int> ReadOptions(const std::vector<std::string_view>& args,
                               const std::vector<std::string>& directories,
                               std::optional<pid_t>& pid, std::size_t& next) {
    while (next < args.size() && args[next].starts_with("-")) {
        const std::string_view option = args[next++];
        if (option == "--") {
            break;
        }
        if (option == "--help" || option == "-h") {
            std::cout << kUsage;
            return kOk;
        }
        if (option == "--list") {
            ListConsoles(std::cout, kobalt::sim::LiveControlSockets(directories));
            return kOk;
        }
        std::string_view value;
        if (option == "--pid") {
            if (next >= args.size()) {
                return UsageError("--pid needs a process id");
            }
            value = args[next++];
        } else if (option.starts_with("--pid=")) {
            value = option.substr(6);
        } else {
            return UsageError("unknown option '" + std::string(option) + "'");
        }
        pid = ParsePid(value);
        if (!pid) {
            return UsageError("'" + std::string(value) + "' is not a process id");
        }
    }
    return std::nullopt;
}

// Shows the library's answer from `path`: the output of an ok on stdout, an error on stderr.
int ShowAnswer(const std::string& path, const std::string& answer) {
    // The answer comes from another process: nothing in it reaches the terminal raw.
    const std::size_t end = answer.find('\n');
    const std::string first = kobalt::sim::EscapeForTerminal(answer.substr(0, end));
    const std::string rest = EscapedLines(end == std::string::npos ? "" : answer.substr(end + 1));
    if (first == "ok") {
        std::cout << rest;
        return kOk;
    }
    if (first.starts_with("error: ")) {
        std::cerr << first << "\n" << rest;
        return kErrorAnswer;
    }
    std::cerr << "kobalt-phone: unexpected answer from " << path << ": '" << first << "'\n";
    return kTrouble;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (!args.empty() && args.front() == "serve-ag") {
        return kobalt::sim::ServeAg({args.begin() + 1, args.end()});
    }
    const std::vector<std::string> directories = kobalt::sim::ControlDirectories();
    std::optional<pid_t> pid;
    std::size_t next = 0;
    if (const std::optional<int> done = ReadOptions(args, directories, pid, next)) {
        return *done;
    }
    if (next >= args.size()) {
        return UsageError("no command given");
    }

    std::string command;
    for (std::size_t i = next; i < args.size(); ++i) {
        command += (i == next ? "" : " ") + kobalt::sim::QuoteIfNeeded(args[i]);
    }
    const std::optional<std::string> path = ChooseSocket(pid, directories);
    if (!path) {
        return kTrouble;
    }
    const kobalt::sim::Result<std::string> exchange =
        kobalt::sim::ExchangeCommand(*path, command, kAnswerTimeoutMs);
    if (!exchange.Ok()) {
        std::cerr << "kobalt-phone: " << exchange.Error().Message() << "\n";
        return kTrouble;
    }
    return ShowAnswer(*path, exchange.Value());
}
