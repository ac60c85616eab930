#include "frontend/script/CommandLine.h"

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
                    Case{{"demo.script"}, Action::Error, "unexpected argument 'demo.script'"}));

} // namespace
} // namespace kobalt::script
