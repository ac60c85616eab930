// The runtime-folder, time-scale and debug-channel rules that the console and the simulated SDK
// share.
#include "common/DebugChannels.h"
#include "common/RuntimeFolder.h"
#include "common/TimeScale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using kobalt::common::CheckPrivateFolder;
using kobalt::common::FolderAction;

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// A short private folder (socket paths are short) and the environment restored afterwards.
class RuntimeFolderTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/krf-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        Save("XDG_RUNTIME_DIR", m_savedRuntime);
        Save("HOME", m_savedHome);
    }
    void TearDown() override {
        Restore("XDG_RUNTIME_DIR", m_savedRuntime);
        Restore("HOME", m_savedHome);
        fs::remove_all(m_root);
    }
    static void Save(const char* name, std::optional<std::string>& slot) {
        if (const char* value = std::getenv(name)) {
            slot = value;
        }
    }
    static void Restore(const char* name, const std::optional<std::string>& slot) {
        if (slot) {
            ::setenv(name, slot->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }

    fs::path m_root;
    std::optional<std::string> m_savedRuntime;
    std::optional<std::string> m_savedHome;
};

TEST_F(RuntimeFolderTest, OnlyARealPrivateDirectoryOfThisUserIsUsable) {
    const fs::path made = m_root / "made";
    EXPECT_NE(CheckPrivateFolder(made, FolderAction::LookOnly), "");
    EXPECT_FALSE(fs::exists(made)) << "looking creates nothing";
    EXPECT_EQ(CheckPrivateFolder(made, FolderAction::Create), "");
    EXPECT_EQ(ModeOf(made), 0700u);

    const fs::path readable = m_root / "readable";
    ASSERT_EQ(::mkdir(readable.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(readable.c_str(), 0755), 0);
    EXPECT_EQ(CheckPrivateFolder(readable, FolderAction::LookOnly), "");
    EXPECT_EQ(ModeOf(readable), 0700u) << "read access of others is taken away";

    const fs::path writable = m_root / "writable";
    ASSERT_EQ(::mkdir(writable.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(writable.c_str(), 0777), 0);
    EXPECT_NE(CheckPrivateFolder(writable, FolderAction::Create), "");

    const fs::path link = m_root / "link";
    fs::create_directory_symlink(made, link);
    EXPECT_NE(CheckPrivateFolder(link, FolderAction::Create), "");
    const fs::path file = m_root / "file";
    std::ofstream(file) << "x";
    EXPECT_NE(CheckPrivateFolder(file, FolderAction::Create), "");

    if (::geteuid() == 0) {
        const fs::path foreign = m_root / "foreign";
        ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_NE(CheckPrivateFolder(foreign, FolderAction::Create), "");
    }
}

// A taken first place (here a link another user could have made) moves this user's files to the
// next candidate, and a process that only looks finds the same folder.
TEST_F(RuntimeFolderTest, ATakenFirstPlaceMovesEveryUserOfTheRuleToTheNext) {
    fs::create_directories(m_root / "run");
    fs::create_directories(m_root / "home");
    fs::create_directories(m_root / "elsewhere");
    ::setenv("XDG_RUNTIME_DIR", (m_root / "run").c_str(), 1);
    ::setenv("HOME", (m_root / "home").c_str(), 1);
    const std::vector<std::string> candidates = kobalt::common::RuntimeFolderCandidates();
    ASSERT_GE(candidates.size(), 3u);
    EXPECT_EQ(candidates[0], (m_root / "run" / "kobalt").string());
    EXPECT_EQ(candidates[1], (m_root / "home" / ".kobalt-run").string());
    EXPECT_EQ(candidates[2], "/tmp/kobalt-" + std::to_string(::geteuid()));

    fs::create_directory_symlink(m_root / "elsewhere", m_root / "run" / "kobalt");
    const kobalt::common::RuntimeFolder prepared = kobalt::common::PrepareRuntimeFolder();
    EXPECT_EQ(prepared.path, candidates[1]);
    const std::vector<std::string> existing = kobalt::common::ExistingRuntimeFolders();
    ASSERT_FALSE(existing.empty());
    EXPECT_EQ(existing.front(), prepared.path);

    // A runtime folder others may write to, or a relative one, is not a candidate at all.
    ASSERT_EQ(::chmod((m_root / "run").c_str(), 0777), 0);
    EXPECT_EQ(kobalt::common::RuntimeFolderCandidates().front(), candidates[1]);
    ::setenv("XDG_RUNTIME_DIR", "relative/run", 1);
    EXPECT_EQ(kobalt::common::RuntimeFolderCandidates().front(), candidates[1]);
    // Nor one too long for socket names.
    const fs::path deep = m_root / std::string(kobalt::common::kLongestRuntimeFolder, 'd');
    fs::create_directories(deep);
    ::setenv("HOME", deep.c_str(), 1);
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(kobalt::common::RuntimeFolderCandidates().front(), candidates[2]);
}

TEST(TimeScaleRuleTest, OneRangeForEveryReader) {
    struct Row {
        const char* text;
        double scale;
        bool refused;
    };
    const Row rows[] = {
        {nullptr, 1, false},
        {"", 1, false},
        {"0.01", 0.01, false},
        {"1e-3", 0.001, false},
        {"0.00001", 0.00001, false},
        {"1000", 1000, false},
        {"5000", 1, true},
        {"1e300", 1, true},
        {"1e-310", 1, true},
        {"0", 1, true},
        {"-0.5", 1, true},
        {"nan", 1, true},
        {"inf", 1, true},
        {"0x10", 1, true},
        {" 1", 1, true},
        {"1 ", 1, true},
        {"fast", 1, true},
        {"1e999", 1, true},
    };
    for (const Row& row : rows) {
        const kobalt::common::TimeScaleSetting setting = kobalt::common::ParseTimeScale(row.text);
        const std::string label = row.text != nullptr ? row.text : "(null)";
        EXPECT_DOUBLE_EQ(setting.scale, row.scale) << label;
        EXPECT_EQ(!setting.problem.empty(), row.refused) << label;
    }
    // The message names the value, with anything unprintable replaced.
    const std::string problem = kobalt::common::ParseTimeScale("9\x1b[2J").problem;
    EXPECT_NE(problem.find("KOBALT_TIME_SCALE=9?[2J"), std::string::npos) << problem;
}

TEST(DebugChannelRuleTest, PlusOrNoSignTurnsOnMinusOffAndTheLastEntryWins) {
    struct Row {
        const char* text;
        bool msgOn;
    };
    const Row rows[] = {
        {nullptr, false},    {"", false},        {"+msg", true},       {"msg", true},
        {"sdk,+msg", true},  {"+msg,sdk", true}, {"-msg", false},      {"+msg,-msg", false},
        {"-msg,+msg", true}, {"+all", true},     {"+all,-msg", false}, {"-all,msg", true},
        {"+msgx", false},    {"+ms", false},     {"+MSG", false},      {"+ msg", false},
        {",,+msg,", true},   {"sdk", false},     {"+", false},         {"all,-all", false},
    };
    for (const Row& row : rows) {
        const std::string label = row.text != nullptr ? row.text : "(null)";
        EXPECT_EQ(kobalt::common::DebugChannelOn(row.text, "msg"), row.msgOn) << label;
    }
    // Each channel is looked up on its own.
    EXPECT_TRUE(kobalt::common::DebugChannelOn("+msg,sdk", "sdk"));
    EXPECT_FALSE(kobalt::common::DebugChannelOn("+msg,-sdk", "sdk"));
}

} // namespace
