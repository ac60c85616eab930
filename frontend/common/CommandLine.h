// The program's command line, as the front end reads it before the console's statics run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::script {

struct CommandLine {
    enum class Action {
        Help,        // print the usage, exit 0
        Version,     // print name and version, exit 0
        Script,      // play `scriptPath` ("-": standard input)
        Interactive, // no script: the terminal front end
        Monkey,      // random operator input from `monkeySeed`
        Shell,       // the script language at a prompt
        Attach,      // the shell, sent to the console of `attachPid` (0: the only one)
        Error,       // `error` says what is wrong, exit 2
    };
    Action action = Action::Interactive;
    std::string scriptPath;
    std::string error;
    std::uint64_t monkeySeed = 0;
    std::uint64_t monkeySteps = 0;           // 0: none given
    std::uint64_t monkeyDurationSeconds = 0; // 0: none given
    long attachPid = 0;
    std::string sdk = "sim"; // --sdk: "sim", "bluez" or a path with a '/'
};

// `args` without the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText(std::string_view program);

} // namespace kobalt::script
