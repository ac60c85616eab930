#include "frontend/common/CommandLine.h"

#include <charconv>
#include <cstdint>

namespace kobalt::script {

namespace {

// A whole decimal number that fits 64 bits.
bool ParseNumber(const std::string& text, std::uint64_t& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

// "--name VALUE" or "--name=VALUE": true when `arg` is the option; `value` is then its value,
// or empty when missing.
bool OptionValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                 std::string& value) {
    const std::string& arg = args[i];
    if (arg == name) {
        value = i + 1 < args.size() ? args[++i] : std::string();
        return true;
    }
    if (arg.starts_with(name + "=")) {
        value = arg.substr(name.size() + 1);
        return true;
    }
    return false;
}

// The value of --sdk: "sim", "bluez" or a library's path (with a '/', so that it is never looked
// up by name). Empty when `value` is none of them.
std::string SdkChoice(const std::string& value) {
    if (value == "sim" || value == "bluez" || value.find('/') != std::string::npos) {
        return value;
    }
    return {};
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    auto fail = [&line](std::string error) {
        line.action = CommandLine::Action::Error;
        line.error = std::move(error);
        return line;
    };
    bool haveScript = false;
    bool haveMonkey = false;
    bool haveSteps = false;
    bool haveDuration = false;
    bool haveShell = false;
    bool haveAttach = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (arg == "--version") {
            // The version names the library that would be loaded, so a later --sdk counts.
            line.action = CommandLine::Action::Version;
            for (std::size_t j = i + 1; j < args.size(); ++j) {
                std::string value;
                if (OptionValue(args, j, "--sdk", value) && !SdkChoice(value).empty()) {
                    line.sdk = value;
                }
            }
            return line;
        }
        if (arg == "--shell") {
            haveShell = true;
            continue;
        }
        if (arg == "--attach" || arg.starts_with("--attach=")) {
            // The PID is optional: a following word is taken only when it is a number.
            std::string pid = arg.size() > 9 ? arg.substr(9) : std::string();
            if (arg == "--attach" && i + 1 < args.size() && !args[i + 1].empty() &&
                args[i + 1].find_first_not_of("0123456789") == std::string::npos) {
                pid = args[++i];
            }
            std::uint64_t number = 0;
            if ((!pid.empty() || arg != "--attach") &&
                (!ParseNumber(pid, number) || number == 0 ||
                 number > static_cast<std::uint64_t>(INT32_MAX))) {
                return fail("--attach takes the PID of a console (a number above 0)");
            }
            if (haveAttach) {
                return fail("--attach given twice");
            }
            haveAttach = true;
            line.attachPid = static_cast<long>(number);
            continue;
        }
        std::string value;
        if (OptionValue(args, i, "--sdk", value)) {
            line.sdk = SdkChoice(value);
            if (line.sdk.empty()) {
                return fail("--sdk needs sim, bluez or the PATH of a KOBALT.dll (with a '/')");
            }
            continue;
        }
        if (OptionValue(args, i, "--monkey", value)) {
            if (!ParseNumber(value, line.monkeySeed)) {
                return fail("--monkey needs a SEED (a whole number)");
            }
            if (haveMonkey) {
                return fail("--monkey given twice");
            }
            haveMonkey = true;
            continue;
        }
        if (OptionValue(args, i, "--steps", value)) {
            if (!ParseNumber(value, line.monkeySteps) || line.monkeySteps == 0) {
                return fail("--steps needs a number above 0");
            }
            haveSteps = true;
            continue;
        }
        if (OptionValue(args, i, "--duration", value)) {
            if (!ParseNumber(value, line.monkeyDurationSeconds) ||
                line.monkeyDurationSeconds == 0) {
                return fail("--duration needs a number of seconds above 0");
            }
            haveDuration = true;
            continue;
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
    if (haveShell && (haveMonkey || haveScript)) {
        return fail(std::string("--shell and ") + (haveMonkey ? "--monkey" : "--script") +
                    " exclude each other");
    }
    if (haveAttach && !haveShell) {
        return fail("--attach needs --shell");
    }
    if (haveMonkey && haveScript) {
        return fail("--monkey and --script exclude each other");
    }
    if ((haveSteps || haveDuration) && !haveMonkey) {
        return fail(std::string(haveSteps ? "--steps" : "--duration") + " needs --monkey");
    }
    if (haveAttach) {
        line.action = CommandLine::Action::Attach;
    } else if (haveShell) {
        line.action = CommandLine::Action::Shell;
    } else if (haveMonkey) {
        line.action = CommandLine::Action::Monkey;
    } else if (haveScript) {
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
           " --monkey SEED [--steps N] [--duration SECONDS]\n"
           "       " +
           name +
           " --shell [--attach [PID]]\n"
           "       " +
           name +
           "                 (from a terminal) work the console in the terminal\n"
           "       (each that starts a console also takes --sdk sim|bluez|PATH)\n"
           "       " +
           name +
           " --help | --version\n"
           "\n"
           "Operator console for the KOBALT Bluetooth hands-free SDK (KOBALT.dll beside the\n"
           "program).\n"
           "\n"
           "  --script FILE  play the operator from FILE, one command a line ('-' reads\n"
           "                 standard input); debug output goes to standard error\n"
           "  --monkey SEED  play random operator input and phone events, the same for the\n"
           "                 same SEED; then quit and print a summary (200 steps unless\n"
           "                 --steps or --duration say otherwise; with both, whichever\n"
           "                 comes first)\n"
           "  --shell        type script commands at a prompt (Tab completes, Up recalls);\n"
           "                 the desktop's changes are printed above it; 'help' lists more\n"
           "  --attach [PID] with --shell: send the commands to the console of PID (without:\n"
           "                 the only one) that runs in another terminal, and print answers\n"
           "  --steps N      with --monkey: at most N steps\n"
           "  --duration SECONDS  with --monkey: stop after SECONDS\n"
           "  --sdk sim|bluez|PATH  the SDK library: sim, the simulated phone (the default);\n"
           "                 bluez, the Linux Bluetooth stack (BlueZ and oFono, see\n"
           "                 docs/real-phones.md); or the KOBALT.dll at PATH\n"
           "  --help         show this help and exit\n"
           "  --version      show the version and exit\n"
           "\n"
           "In the terminal: Tab and Shift-Tab move between controls, Enter or Space presses,\n"
           "Esc closes the window; F2 (Ctrl-P) switches the device's power, F3 (Ctrl-G) shows\n"
           "the debug output, F10 (Ctrl-Q) quits.\n"
           "\n"
           "Exit status with --script: 0 every expectation held, 1 an expectation failed,\n"
           "2 the script could not be carried out.\n"
           "Exit status with --shell --attach: 0 every command held, 1 one did not, 2 no\n"
           "console to attach to or the connection broke.\n"
           "Exit status with --monkey: 0 passed, 1 an SDK event was lost, 3 the console hung,\n"
           "4 the console ended by itself or left windows (2: bad command line).\n"
           "\n"
           "Environment: KOBALT_TIME_SCALE speeds up the device's clock (0.01: 100 times).\n";
}

} // namespace kobalt::script
