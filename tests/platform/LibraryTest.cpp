// LoadLibraryW, GetProcAddressW and FreeLibrary on a library built beside the test program.
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <unistd.h>

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

} // namespace
