// The program's command line, as the front end reads it before the console's statics run.
#pragma once

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
        Error,       // `error` says what is wrong, exit 2
    };
    Action action = Action::Interactive;
    std::string scriptPath;
    std::string error;
};

// `args` without the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText(std::string_view program);

} // namespace kobalt::script
