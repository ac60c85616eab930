#include "frontend/common/CommandLine.h"

#include <charconv>
#include <cstdint>
#include <optional>

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

// What has been read so far.
struct Parsing {
    explicit Parsing(const std::vector<std::string>& words) : args(words) {}

    const std::vector<std::string>& args;
    std::size_t next = 0; // the word after the option being applied (and its value)
    CommandLine line;
    bool finished = false; // --help or --version: the rest is not read
    bool haveScript = false;
    bool haveMonkey = false;
    bool haveSteps = false;
    bool haveDuration = false;
    bool haveShell = false;
    bool haveAttach = false;
};

enum class Takes {
    Nothing,        // "--name" alone
    Value,          // "--name VALUE" or "--name=VALUE"; missing, it is empty
    OptionalNumber, // "--name=VALUE", or "--name" and the next word when it is all digits
};

// Applies an option to the line read so far; the error it finds, or empty. `value` is none when
// the option took none.
using Apply = std::string (*)(Parsing& state, const std::optional<std::string>& value);

struct Option {
    std::string_view name;
    Takes takes;
    Apply apply;
};

std::string OnHelp(Parsing& state, const std::optional<std::string>&) {
    state.line.action = CommandLine::Action::Help;
    state.finished = true;
    return {};
}

std::string OnVersion(Parsing& state, const std::optional<std::string>&) {
    // The version names the library that would be loaded, so a later --sdk counts.
    state.line.action = CommandLine::Action::Version;
    state.finished = true;
    for (std::size_t j = state.next; j < state.args.size(); ++j) {
        std::string value;
        if (OptionValue(state.args, j, "--sdk", value) && !SdkChoice(value).empty()) {
            state.line.sdk = value;
        }
    }
    return {};
}

std::string OnShell(Parsing& state, const std::optional<std::string>&) {
    state.haveShell = true;
    return {};
}

std::string OnAttach(Parsing& state, const std::optional<std::string>& pid) {
    std::uint64_t number = 0;
    if (pid && (!ParseNumber(*pid, number) || number == 0 ||
                number > static_cast<std::uint64_t>(INT32_MAX))) {
        return "--attach takes the PID of a console (a number above 0)";
    }
    if (state.haveAttach) {
        return "--attach given twice";
    }
    state.haveAttach = true;
    state.line.attachPid = static_cast<long>(number);
    return {};
}

std::string OnSdk(Parsing& state, const std::optional<std::string>& value) {
    state.line.sdk = SdkChoice(*value);
    if (state.line.sdk.empty()) {
        return "--sdk needs sim, bluez or the PATH of a KOBALT.dll (with a '/')";
    }
    return {};
}

std::string OnMonkey(Parsing& state, const std::optional<std::string>& seed) {
    if (!ParseNumber(*seed, state.line.monkeySeed)) {
        return "--monkey needs a SEED (a whole number)";
    }
    if (state.haveMonkey) {
        return "--monkey given twice";
    }
    state.haveMonkey = true;
    return {};
}

std::string OnSteps(Parsing& state, const std::optional<std::string>& steps) {
    if (!ParseNumber(*steps, state.line.monkeySteps) || state.line.monkeySteps == 0) {
        return "--steps needs a number above 0";
    }
    state.haveSteps = true;
    return {};
}

std::string OnDuration(Parsing& state, const std::optional<std::string>& seconds) {
    if (!ParseNumber(*seconds, state.line.monkeyDurationSeconds) ||
        state.line.monkeyDurationSeconds == 0) {
        return "--duration needs a number of seconds above 0";
    }
    state.haveDuration = true;
    return {};
}

std::string OnScript(Parsing& state, const std::optional<std::string>& path) {
    if (path->empty()) {
        return "--script needs a FILE ('-' for standard input)";
    }
    if (state.haveScript) {
        return "--script given twice";
    }
    state.haveScript = true;
    state.line.scriptPath = *path;
    return {};
}

constexpr Option kOptions[] = {
    {"--help", Takes::Nothing, OnHelp},
    {"-h", Takes::Nothing, OnHelp},
    {"--version", Takes::Nothing, OnVersion},
    {"--shell", Takes::Nothing, OnShell},
    {"--attach", Takes::OptionalNumber, OnAttach},
    {"--sdk", Takes::Value, OnSdk},
    {"--monkey", Takes::Value, OnMonkey},
    {"--steps", Takes::Value, OnSteps},
    {"--duration", Takes::Value, OnDuration},
    {"--script", Takes::Value, OnScript},
};

bool AllDigits(const std::string& word) {
    return !word.empty() && word.find_first_not_of("0123456789") == std::string::npos;
}

// True when `args[i]` is `option`; `value` is then what it takes and `i` the last word it took.
bool Matches(const Option& option, const std::vector<std::string>& args, std::size_t& i,
             std::optional<std::string>& value) {
    const std::string name(option.name);
    const std::string& arg = args[i];
    switch (option.takes) {
    case Takes::Nothing:
        return arg == name;
    case Takes::Value: {
        std::string text;
        if (!OptionValue(args, i, name, text)) {
            return false;
        }
        value = std::move(text);
        return true;
    }
    case Takes::OptionalNumber:
        if (arg.starts_with(name + "=")) {
            value = arg.substr(name.size() + 1);
            return true;
        }
        if (arg != name) {
            return false;
        }
        if (i + 1 < args.size() && AllDigits(args[i + 1])) {
            value = args[++i];
        }
        return true;
    }
    return false;
}

const Option* FindOption(const std::vector<std::string>& args, std::size_t& i,
                         std::optional<std::string>& value) {
    for (const Option& option : kOptions) {
        if (Matches(option, args, i, value)) {
            return &option;
        }
    }
    return nullptr;
}

std::string NotAnOption(const std::string& arg) {
    if (arg.starts_with("-") && arg != "-") {
        return "unknown option '" + arg + "'";
    }
    return "unexpected argument '" + arg + "'";
}

// Options that were each read well but do not go together; empty when none.
std::string Conflict(const Parsing& state) {
    if (state.haveShell && (state.haveMonkey || state.haveScript)) {
        return std::string("--shell and ") + (state.haveMonkey ? "--monkey" : "--script") +
               " exclude each other";
    }
    if (state.haveAttach && !state.haveShell) {
        return "--attach needs --shell";
    }
    if (state.haveMonkey && state.haveScript) {
        return "--monkey and --script exclude each other";
    }
    if ((state.haveSteps || state.haveDuration) && !state.haveMonkey) {
        return std::string(state.haveSteps ? "--steps" : "--duration") + " needs --monkey";
    }
    return {};
}

CommandLine::Action ChosenAction(const Parsing& state) {
    if (state.haveAttach) {
        return CommandLine::Action::Attach;
    }
    if (state.haveShell) {
        return CommandLine::Action::Shell;
    }
    if (state.haveMonkey) {
        return CommandLine::Action::Monkey;
    }
    if (state.haveScript) {
        return CommandLine::Action::Script;
    }
    return CommandLine::Action::Interactive;
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    Parsing state{args};
    auto fail = [&state](std::string error) {
        state.line.action = CommandLine::Action::Error;
        state.line.error = std::move(error);
        return state.line;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::optional<std::string> value;
        const Option* option = FindOption(args, i, value);
        if (option == nullptr) {
            return fail(NotAnOption(args[i]));
        }
        state.next = i + 1;
        if (std::string error = option->apply(state, value); !error.empty()) {
            return fail(std::move(error));
        }
        if (state.finished) {
            return state.line;
        }
    }
    if (std::string error = Conflict(state); !error.empty()) {
        return fail(std::move(error));
    }
    state.line.action = ChosenAction(state);
    return state.line;
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
           "Esc closes a dialog (never the main window); F1 lists the keys of the window on\n"
           "top, F2 (Ctrl-P) switches the device's power, F3 (Ctrl-G) shows the event log (SDK\n"
           "calls, callbacks and debug output), F10 (Ctrl-Q) quits, asking first while the\n"
           "stack runs or a call is up.\n"
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
