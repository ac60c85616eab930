// The agent's PIN file: kept across runs, never trusted further than a PIN.
#include "bluez/PinStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kobalt::bluez {
namespace {

class PinStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kobalt-pin-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + m_folder + "'").c_str()); }
    void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string m_folder;
};

TEST_F(PinStoreTest, StoredPinIsReadBackAndTheFileIsPrivate) {
    const std::string path = m_folder + "/a/b/bluez-pin";
    EXPECT_EQ(StorePin(path, "4711"), "");
    const PinLoad load = LoadPin(path);
    EXPECT_EQ(load.pin, "4711");
    EXPECT_EQ(load.problem, "");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(PinStoreTest, MissingFileGivesTheDefaultSilently) {
    const PinLoad load = LoadPin(m_folder + "/none");
    EXPECT_EQ(load.pin, kDefaultPin);
    EXPECT_EQ(load.problem, "");
}

TEST_F(PinStoreTest, MalformedOrHostileFilesGiveTheDefaultAndAProblem) {
    const std::string path = m_folder + "/pin";
    for (const std::string& text : {std::string(""), std::string("\n"), std::string("12\x1b[2J"),
                                    std::string(17, '1'), std::string("1 2")}) {
        Write(path, text);
        const PinLoad load = LoadPin(path);
        EXPECT_EQ(load.pin, kDefaultPin) << text;
        EXPECT_NE(load.problem, "") << text;
    }
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); // must not block
    EXPECT_EQ(LoadPin(path).pin, kDefaultPin);
    EXPECT_NE(LoadPin(path).problem, "");
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(symlink("/etc/passwd", path.c_str()), 0);
    EXPECT_EQ(LoadPin(path).pin, kDefaultPin);
}

TEST_F(PinStoreTest, PinRulesAndTheConfigurationFolder) {
    EXPECT_TRUE(IsValidPin("0"));
    EXPECT_TRUE(IsValidPin(std::string(16, '9')));
    EXPECT_FALSE(IsValidPin(std::string(17, '9')));
    EXPECT_FALSE(IsValidPin(""));
    EXPECT_FALSE(IsValidPin("12\n"));
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(PinFilePath(), "/cfg/kobalt/bluez-pin");
    setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored
    setenv("HOME", "/home/op", 1);
    EXPECT_EQ(PinFilePath(), "/home/op/.config/kobalt/bluez-pin");
}

} // namespace
} // namespace kobalt::bluez
