#include "frontend/script/CommandLine.h"

namespace kobalt::script {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    auto fail = [&line](std::string error) {
        line.action = CommandLine::Action::Error;
        line.error = std::move(error);
        return line;
    };
    bool haveScript = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (arg == "--version") {
            line.action = CommandLine::Action::Version;
            return line;
        }
        std::string path;
        if (arg == "--script") {
            if (i + 1 == args.size()) {
                return fail("--script needs a FILE ('-' for standard input)");
            }
            path = args[++i];
        } else if (arg.starts_with("--script=")) {
            path = arg.substr(9);
        } else if (arg.starts_with("-") && arg != "-") {
            return fail("unknown option '" + arg + "'");
        } else {
            return fail("unexpected argument '" + arg + "'");
        }
        if (path.empty()) {
            return fail("--script needs a FILE ('-' for standard input)");
        }
        if (haveScript) {
            return fail("--script given twice");
        }
        haveScript = true;
        line.scriptPath = path;
    }
    if (haveScript) {
        line.action = CommandLine::Action::Script;
    }
    return line;
}

std::string UsageText(std::string_view program) {
    const std::string name(program);
    return "Usage: " + name +
           " --script FILE\n"
           "       " +
           name +
           "                 (from a terminal) work the console in the terminal\n"
           "       " +
           name +
           " --help | --version\n"
           "\n"
           "Operator console for the KOBALT Bluetooth hands-free SDK (KOBALT.dll beside the\n"
           "program).\n"
           "\n"
           "  --script FILE  play the operator from FILE, one command a line ('-' reads\n"
           "                 standard input); debug output goes to standard error\n"
           "  --help         show this help and exit\n"
           "  --version      show the version and exit\n"
           "\n"
           "In the terminal: Tab and Shift-Tab move between controls, Enter or Space presses,\n"
           "Esc closes the window; F2 (Ctrl-P) switches the device's power, F3 (Ctrl-G) shows\n"
           "the debug output, F10 (Ctrl-Q) quits.\n"
           "\n"
           "Exit status with --script: 0 every expectation held, 1 an expectation failed,\n"
           "2 the script could not be carried out.\n"
           "\n"
           "Environment: KOBALT_TIME_SCALE speeds up the device's clock (0.01: 100 times).\n";
}

} // namespace kobalt::script
