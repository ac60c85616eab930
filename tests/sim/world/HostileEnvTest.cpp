// Hostile files named by the environment, each in a fresh process that loads the library
// (tests/sim/LoadProbe.cpp): the library must start within the bound, report the file with its
// path and reason, and never write a raw control character to the terminal.
#include "PhoneSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace kobalt::sim::test {
namespace {

using testing::HasSubstr;
using testing::Not;

class HostileEnv : public testing::Test {
protected:
    HostileEnv() {
        std::string path = testing::TempDir() + "kobalt-hostile-env-XXXXXX";
        EXPECT_NE(::mkdtemp(path.data()), nullptr);
        m_folder = path;
        ::unsetenv("KOBALT_SIM_WORLD");
        ::unsetenv("KOBALT_SIM_TRACE");
        ::unsetenv("KOBALT_TRACE_FD");
    }
    ~HostileEnv() override {
        ::unsetenv("KOBALT_SIM_WORLD");
        ::unsetenv("KOBALT_SIM_TRACE");
        ::unsetenv("KOBALT_TRACE_FD");
        const std::string command = "rm -rf '" + m_folder + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

    // What a process loading the library with the environment as set says, up to its
    // "init RESULT" line; a process that says nothing within the bound is killed.
    struct Load {
        bool started = false;
        int init = 0;
        std::string output;
    };
    Load LoadLibrary() {
        Load load;
        Child child(KOBALT_LOAD_PROBE_PATH, {});
        for (int i = 0; i < 50; ++i) {
            const std::string line = child.ReadLine();
            if (line.rfind("init ", 0) == 0) {
                load.started = true;
                load.init = std::atoi(line.c_str() + 5);
                break;
            }
            if (line.empty()) {
                break;
            }
            load.output += line + "\n";
        }
        if (!load.started && child.Pid() > 0) {
            ::kill(child.Pid(), SIGKILL);
        }
        return load;
    }

    std::string m_folder;
};

TEST_F(HostileEnv, WorldFilesThatAreNotRegularAreReportedAndTheLibraryRuns) {
    const std::string fifo = m_folder + "/world.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {m_folder, fifo, std::string("/dev/zero")}) {
        ::setenv("KOBALT_SIM_WORLD", path.c_str(), 1);
        const Load load = LoadLibrary();
        EXPECT_TRUE(load.started) << path << ": the library never came up:\n" << load.output;
        if (!load.started) {
            continue;
        }
        EXPECT_EQ(load.init, -4) << path;
        EXPECT_THAT(load.output, HasSubstr("[KOBALT.sim] world " + path +
                                           ": not a regular file; KOBALT_Init will fail"));
    }
}

TEST_F(HostileEnv, AVCardOfProcIsCutOffAtTheLimit) {
    const std::string world = m_folder + "/proc.world";
    std::ofstream(world) << "vcard /proc/self/pagemap\n";
    ::setenv("KOBALT_SIM_WORLD", world.c_str(), 1);
    const Load load = LoadLibrary();
    ASSERT_TRUE(load.started) << load.output;
    EXPECT_EQ(load.init, -4);
    EXPECT_THAT(load.output, HasSubstr(world + ":1: vcard: /proc/self/pagemap: too large"));
}

TEST_F(HostileEnv, ControlCharactersInDiagnosticsAreEscaped) {
    const std::string path = m_folder + "/\x1b]0;owned\x07\x1b[2J\xe2\x80\xae.world";
    ::setenv("KOBALT_SIM_WORLD", path.c_str(), 1);
    const Load load = LoadLibrary();
    ASSERT_TRUE(load.started) << load.output;
    EXPECT_THAT(load.output, HasSubstr("/\\x1b]0;owned\\x07\\x1b[2J\\u202e.world: cannot read: "));
    EXPECT_THAT(load.output, Not(HasSubstr("\x1b")));
    EXPECT_THAT(load.output, Not(HasSubstr("\x07")));
    EXPECT_THAT(load.output, Not(HasSubstr("\xe2\x80\xae")));
}

TEST_F(HostileEnv, TraceIsAPrivateRegularFileAndNeverALinkOrAFifo) {
    const std::string trace = m_folder + "/new.trace";
    ::setenv("KOBALT_SIM_TRACE", trace.c_str(), 1);
    Load load = LoadLibrary();
    ASSERT_TRUE(load.started) << load.output;
    struct stat info {};
    ASSERT_EQ(::stat(trace.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the trace holds PINs, numbers and names";
    std::ifstream file(trace);
    EXPECT_THAT(std::string(std::istreambuf_iterator<char>(file), {}),
                HasSubstr("KOBALT_Init() = 0\n"));

    const std::string target = m_folder + "/target";
    std::ofstream(target) << "";
    const std::string link = m_folder + "/link.trace";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ::setenv("KOBALT_SIM_TRACE", link.c_str(), 1);
    load = LoadLibrary();
    ASSERT_TRUE(load.started) << load.output;
    EXPECT_EQ(load.init, 0);
    EXPECT_THAT(load.output, HasSubstr("cannot open trace file " + link));
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 0) << "nothing reaches the file behind the link";

    const std::string fifo = m_folder + "/trace.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::setenv("KOBALT_SIM_TRACE", fifo.c_str(), 1);
    load = LoadLibrary();
    ASSERT_TRUE(load.started) << "a FIFO without a reader must not hold the library:\n"
                              << load.output;
    EXPECT_EQ(load.init, 0);
    EXPECT_THAT(load.output, HasSubstr("cannot open trace file " + fifo));
    EXPECT_THAT(load.output, HasSubstr("tracing is off"));
}

TEST_F(HostileEnv, ATraceSinkThatIsNoPacketSocketIsRefused) {
    // Descriptor 2 is the probe's stderr, a pipe: sends on it could block or reach a terminal.
    for (const std::string& value : {std::string("2"), std::string("\x1b[2J"), std::string("77")}) {
        ::setenv("KOBALT_TRACE_FD", value.c_str(), 1);
        const Load load = LoadLibrary();
        ASSERT_TRUE(load.started) << value << ":\n" << load.output;
        EXPECT_EQ(load.init, 0) << value;
        EXPECT_THAT(load.output, HasSubstr("KOBALT_TRACE_FD: ")) << value;
        EXPECT_THAT(load.output, HasSubstr("; the live trace is off")) << value;
        EXPECT_THAT(load.output, Not(HasSubstr("\x1b"))) << value;
    }
}

} // namespace
} // namespace kobalt::sim::test
