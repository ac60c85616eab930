// LoadLibraryW, GetProcAddressW and FreeLibrary on a library built beside the test program.
#include "Patience.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using AnswerFunction = int (*)();

std::u16string BesideExecutable(const std::u16string& file) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string exe(path, length > 0 ? static_cast<std::size_t>(length) : 0);
    exe = exe.substr(0, exe.rfind('/') + 1);
    return std::u16string(exe.begin(), exe.end()) + file;
}

// The library is only beside the program, not on the library path, so a bare name finds it
// there or not at all.
TEST(LibraryTest, FindsALibraryBesideTheProgramByBareNameOrPath) {
    for (const std::u16string& name :
         {std::u16string(u"PlatformTestLib"), std::u16string(u"PlatformTestLib.dll"),
          BesideExecutable(u"PlatformTestLib.dll")}) {
        HMODULE module = LoadLibraryW(name.c_str());
        ASSERT_NE(module, nullptr) << std::string(name.begin(), name.end());
        auto answer =
            reinterpret_cast<AnswerFunction>(GetProcAddressW(module, u"PlatformTestAnswer"));
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer(), 42);

        SetLastError(0);
        EXPECT_EQ(GetProcAddressW(module, u"NoSuchEntryPoint"), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
        EXPECT_TRUE(FreeLibrary(module));
    }
}

TEST(LibraryTest, MissingLibrariesAndNullModulesFailCleanly) {
    for (LPCWSTR name : {u"NoSuchLibrary", u"NoSuchLibrary.dll", u"/no/such/dir/x.dll", u""}) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryW(name), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    }
    EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
    EXPECT_FALSE(FreeLibrary(nullptr));
    EXPECT_EQ(GetProcAddressW(nullptr, u"PlatformTestAnswer"), nullptr);
}

// --- Where a bare name is looked for, in child processes --------------------------------------

namespace fs = std::filesystem;

struct ProbeRun {
    bool finished = false; // false: still running after the bound, and killed
    std::string output;
};

// Runs the probe at `probe` for `name` with `environment`, for at most kPatience ms.
ProbeRun RunProbe(const fs::path& probe, const std::string& name,
                  const std::vector<std::string>& environment) {
    ProbeRun run;
    int output[2];
    if (pipe(output) != 0) {
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    const std::string program = probe.string();
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(name.c_str()),
                            nullptr};
    std::vector<char*> envp;
    for (const std::string& variable : environment) {
        envp.push_back(const_cast<char*>(variable.c_str()));
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        close(output[0]);
        return run;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kobalt::test::kPatience);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{output[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        char chunk[512];
        const ssize_t n = read(output[0], chunk, sizeof chunk);
        if (n <= 0) {
            run.finished = true;
            break;
        }
        run.output.append(chunk, static_cast<std::size_t>(n));
    }
    close(output[0]);
    waitpid(pid, nullptr, 0);
    return run;
}

// A folder with the probe in bin/ and a good library in planted/, which the environment puts
// on the dynamic linker's search path; the library's constructor leaves a marker file.
class LibrarySearchTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kobalt-library-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directories(m_root / "bin");
        fs::create_directories(m_root / "planted");
        fs::copy_file(KOBALT_LIBRARY_PROBE, Probe());
        fs::copy_file(KOBALT_PLANTED_LIBRARY, m_root / "planted" / "PlantedLib.dll");
        m_environment = {"LD_LIBRARY_PATH=" + (m_root / "planted").string() + ":",
                         "KOBALT_TEST_MARKER=" + Marker().string()};
    }
    void TearDown() override { fs::remove_all(m_root); }

    fs::path Probe() const { return m_root / "bin" / "probe"; }
    fs::path Marker() const { return m_root / "loaded.marker"; }
    ProbeRun Run() const { return RunProbe(Probe(), "PlantedLib", m_environment); }

    fs::path m_root;
    std::vector<std::string> m_environment;
};

TEST_F(LibrarySearchTest, TheLinkersSearchPathIsNeverUsed) {
    const ProbeRun run = Run();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.output.substr(0, run.output.find('\n')), "failed");
    EXPECT_FALSE(fs::exists(Marker())) << "the planted library ran";
}

TEST_F(LibrarySearchTest, TheInstalledLibraryFolderIsTheSecondPlace) {
    fs::create_directories(m_root / "lib" / "kobalt");
    fs::copy_file(KOBALT_PLANTED_LIBRARY, m_root / "lib" / "kobalt" / "PlantedLib.dll");
    // Without the search path, so only the installed folder can provide the library.
    const ProbeRun run =
        RunProbe(Probe(), "PlantedLib", {"KOBALT_TEST_MARKER=" + Marker().string()});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.output.substr(0, run.output.find('\n')), "loaded");
    EXPECT_TRUE(fs::exists(Marker()));
}

// A file beside the program decides, even when it cannot be loaded: its reason is reported and
// no other place is tried. A FIFO there is not opened at all (the loader would wait on it).
TEST_F(LibrarySearchTest, ALibraryBesideTheProgramThatFailsEndsTheSearch) {
    fs::create_directories(m_root / "lib" / "kobalt");
    fs::copy_file(KOBALT_PLANTED_LIBRARY, m_root / "lib" / "kobalt" / "PlantedLib.dll");
    const fs::path beside = m_root / "bin" / "PlantedLib.dll";
    std::ofstream(beside) << "not an ELF file\n";
    ProbeRun run = Run();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.output.substr(0, run.output.find('\n')), "failed");
    EXPECT_NE(run.output.find("Load " + beside.string() + ": "), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(Marker())) << "another library was loaded instead";

    fs::remove(beside);
    ASSERT_EQ(mkfifo(beside.c_str(), 0600), 0);
    run = Run();
    ASSERT_TRUE(run.finished) << "the load waited on a FIFO";
    EXPECT_NE(run.output.find("not a regular file"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(Marker()));
}

} // namespace
