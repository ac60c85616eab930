#include "frontend/common/CommandLine.h"

#include <gtest/gtest.h>

namespace kobalt::script {
namespace {

using Action = CommandLine::Action;

struct Case {
    std::vector<std::string> args;
    Action action;
    std::string detail; // the script path, or a part of the error
};

class ReadsCommandLine : public testing::TestWithParam<Case> {};

TEST_P(ReadsCommandLine, AsTheOperatorMeantIt) {
    const CommandLine line = ParseCommandLine(GetParam().args);
    EXPECT_EQ(line.action, GetParam().action);
    if (line.action == Action::Script) {
        EXPECT_EQ(line.scriptPath, GetParam().detail);
    } else if (line.action == Action::Error) {
        EXPECT_NE(line.error.find(GetParam().detail), std::string::npos) << line.error;
    }
}

struct MonkeyCase {
    std::vector<std::string> args;
    std::uint64_t seed, steps, seconds;
};

class ReadsMonkeyLine : public testing::TestWithParam<MonkeyCase> {};

TEST_P(ReadsMonkeyLine, TakesSeedStepsAndDuration) {
    const CommandLine line = ParseCommandLine(GetParam().args);
    ASSERT_EQ(line.action, Action::Monkey) << line.error;
    EXPECT_EQ(line.monkeySeed, GetParam().seed);
    EXPECT_EQ(line.monkeySteps, GetParam().steps);
    EXPECT_EQ(line.monkeyDurationSeconds, GetParam().seconds);
}

struct ShellCase {
    std::vector<std::string> args;
    Action action;
    long pid;
};

class ReadsShellLine : public testing::TestWithParam<ShellCase> {};

TEST_P(ReadsShellLine, TakesTheConsoleToAttachTo) {
    const CommandLine line = ParseCommandLine(GetParam().args);
    ASSERT_EQ(line.action, GetParam().action) << line.error;
    EXPECT_EQ(line.attachPid, GetParam().pid);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadsShellLine,
                         testing::Values(ShellCase{{"--shell"}, Action::Shell, 0},
                                         ShellCase{{"--shell", "--attach"}, Action::Attach, 0},
                                         ShellCase{{"--attach", "--shell"}, Action::Attach, 0},
                                         ShellCase{
                                             {"--shell", "--attach", "4242"}, Action::Attach, 4242},
                                         ShellCase{{"--attach=17", "--shell"}, Action::Attach, 17},
                                         // Only a number after --attach is its PID.
                                         ShellCase{{"--attach", "--help"}, Action::Help, 0}));

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadsMonkeyLine,
    testing::Values(MonkeyCase{{"--monkey", "7"}, 7, 0, 0},
                    MonkeyCase{{"--monkey=18446744073709551615"}, UINT64_MAX, 0, 0},
                    MonkeyCase{{"--steps", "50", "--monkey", "0"}, 0, 50, 0},
                    MonkeyCase{{"--monkey", "1", "--duration=900", "--steps=3"}, 1, 3, 900}));

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadsCommandLine,
    testing::Values(Case{{}, Action::Interactive, ""}, Case{{"--help"}, Action::Help, ""},
                    Case{{"-h"}, Action::Help, ""}, Case{{"--version"}, Action::Version, ""},
                    // Help wins over a script named before it.
                    Case{{"--script", "a.script", "--help"}, Action::Help, ""},
                    Case{{"--script", "demo.script"}, Action::Script, "demo.script"},
                    Case{{"--script=demo.script"}, Action::Script, "demo.script"},
                    Case{{"--script", "-"}, Action::Script, "-"},
                    Case{{"--script", "--weird-name"}, Action::Script, "--weird-name"},
                    Case{{"--script"}, Action::Error, "--script needs a FILE"},
                    Case{{"--script="}, Action::Error, "--script needs a FILE"},
                    Case{{"--script", "a", "--script", "b"}, Action::Error, "given twice"},
                    Case{{"--frobnicate"}, Action::Error, "unknown option '--frobnicate'"},
                    Case{{"-x"}, Action::Error, "unknown option '-x'"},
                    Case{{"demo.script"}, Action::Error, "unexpected argument 'demo.script'"},
                    Case{{"--monkey"}, Action::Error, "--monkey needs a SEED"},
                    Case{{"--monkey", "-1"}, Action::Error, "--monkey needs a SEED"},
                    Case{{"--monkey", "12x"}, Action::Error, "--monkey needs a SEED"},
                    Case{{"--monkey", "18446744073709551616"}, Action::Error, "needs a SEED"},
                    Case{{"--monkey", "1", "--monkey", "2"}, Action::Error, "given twice"},
                    Case{{"--monkey", "1", "--steps", "0"}, Action::Error, "--steps needs"},
                    Case{{"--monkey", "1", "--duration"}, Action::Error, "--duration needs"},
                    Case{{"--steps", "5"}, Action::Error, "--steps needs --monkey"},
                    Case{{"--duration", "5"}, Action::Error, "--duration needs --monkey"},
                    Case{{"--monkey", "1", "--script", "a"}, Action::Error, "exclude"},
                    Case{{"--shell", "--script", "a"}, Action::Error, "exclude"},
                    Case{{"--monkey", "1", "--shell"}, Action::Error, "exclude"},
                    Case{{"--attach"}, Action::Error, "--attach needs --shell"},
                    Case{{"--shell", "--attach", "0"}, Action::Error, "--attach takes"},
                    Case{{"--shell", "--attach=x"}, Action::Error, "--attach takes"},
                    Case{{"--shell", "--attach="}, Action::Error, "--attach takes"},
                    Case{{"--shell", "--attach", "99999999999"}, Action::Error, "--attach takes"},
                    Case{{"--shell", "--attach", "1", "--attach", "2"}, Action::Error, "twice"},
                    Case{{"--shell", "--attach", "x"}, Action::Error, "unexpected argument 'x'"}));

// Options that take nothing take no "=VALUE" either, and a name is matched whole.
INSTANTIATE_TEST_SUITE_P(
    WholeNames, ReadsCommandLine,
    testing::Values(Case{{"--help=1"}, Action::Error, "unknown option '--help=1'"},
                    Case{{"--shell=yes"}, Action::Error, "unknown option '--shell=yes'"},
                    Case{{"--scripts", "a"}, Action::Error, "unknown option '--scripts'"},
                    Case{{"--attachment", "--shell"}, Action::Error, "unknown option"},
                    Case{{"-"}, Action::Error, "unexpected argument '-'"},
                    Case{{"--script", "--monkey"}, Action::Script, "--monkey"},
                    Case{{"--attach=5", "--shell", "--attach"}, Action::Error, "twice"}));

struct SdkCase {
    std::vector<std::string> args;
    Action action;
    std::string sdk;
};

class ReadsSdkChoice : public testing::TestWithParam<SdkCase> {};

TEST_P(ReadsSdkChoice, NamesTheLibraryToLoad) {
    const CommandLine line = ParseCommandLine(GetParam().args);
    ASSERT_EQ(line.action, GetParam().action) << line.error;
    EXPECT_EQ(line.sdk, GetParam().sdk);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadsSdkChoice,
    testing::Values(SdkCase{{}, Action::Interactive, "sim"},
                    SdkCase{{"--sdk", "bluez", "--script", "a"}, Action::Script, "bluez"},
                    SdkCase{{"--sdk=sim", "--monkey", "3"}, Action::Monkey, "sim"},
                    SdkCase{{"--sdk", "./lib/KOBALT.dll"}, Action::Interactive, "./lib/KOBALT.dll"},
                    // --version names the library, wherever --sdk stands.
                    SdkCase{{"--version", "--sdk", "bluez"}, Action::Version, "bluez"},
                    SdkCase{{"--sdk", "bluez", "--version"}, Action::Version, "bluez"}));

INSTANTIATE_TEST_SUITE_P(
    SdkErrors, ReadsCommandLine,
    testing::Values(Case{{"--sdk"}, Action::Error, "--sdk needs sim, bluez or the PATH"},
                    // A bare name would be looked up; only the two names and paths are taken.
                    Case{{"--sdk", "KOBALT.dll"}, Action::Error, "--sdk needs"},
                    Case{{"--sdk", "Bluez"}, Action::Error, "--sdk needs"}));

} // namespace
} // namespace kobalt::script
