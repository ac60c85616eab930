// Where the monkey puts the simulated SDK's trace when none is named: a folder of its own, made
// afresh and closed to others, never a fixed name in a shared folder.
#include "frontend/monkey/MonkeyRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kobalt::monkey {
namespace {

TEST(MonkeyTrace, GoesInAPrivateFolderThatIsRemovedAtTheEnd) {
    std::string shared = testing::TempDir() + "kobalt-monkey-shared-XXXXXX";
    ASSERT_NE(::mkdtemp(shared.data()), nullptr);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0); // as /tmp is
    ::unsetenv("KOBALT_SIM_TRACE");
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", shared.c_str(), 1);

    std::string path;
    std::string folder;
    {
        MonkeyRunner runner(MonkeyOptions{});
        const char* trace = std::getenv("KOBALT_SIM_TRACE");
        ASSERT_NE(trace, nullptr);
        path = trace;
        folder = path.substr(0, path.rfind('/'));
        EXPECT_EQ(folder.rfind(shared + "/", 0), 0u) << path;
        EXPECT_EQ(path.find(std::to_string(::getpid())), std::string::npos)
            << "a name another user could guess: " << path;
        struct stat info {};
        ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        EXPECT_EQ(info.st_uid, ::getuid());
        runner.Wait();
    }
    EXPECT_NE(::access(folder.c_str(), F_OK), 0) << "the folder is removed";
    ::unsetenv("KOBALT_SIM_TRACE");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(::rmdir(shared.c_str()), 0);
}

} // namespace
} // namespace kobalt::monkey
