#include "sim/abi/Trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace kobalt::sim {
namespace {

// A fresh file that holds `content`, removed at the end of the test.
class TempFile {
public:
    explicit TempFile(const std::string& content) {
        char name[] = "/tmp/kobalt-sim-trace-XXXXXX";
        const int fd = ::mkstemp(name);
        EXPECT_GE(fd, 0);
        m_path = name;
        if (fd >= 0) {
            EXPECT_EQ(::write(fd, content.data(), content.size()),
                      static_cast<ssize_t>(content.size()));
            ::close(fd);
        }
    }
    ~TempFile() { std::remove(m_path.c_str()); }

    const char* Path() const { return m_path.c_str(); }
    std::string Content() const {
        std::ifstream file(m_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }

private:
    std::string m_path;
};

TEST(Trace, AppendsLinesToWhatTheFileHolds) {
    TempFile file("earlier run\n");
    {
        Trace trace(file.Path());
        ASSERT_TRUE(trace.Enabled());
        trace.WriteLine("KOBALT_Init() = 0");
        EXPECT_EQ(file.Content(), "earlier run\nKOBALT_Init() = 0\n") << "written at once";
    }
    Trace again(file.Path());
    again.WriteLine("KOBALT_UnInit() = 0");
    EXPECT_EQ(file.Content(), "earlier run\nKOBALT_Init() = 0\nKOBALT_UnInit() = 0\n");
}

TEST(Trace, CallbackLineNamesTheCallbackAfterAnArrow) {
    TempFile file("");
    Trace trace(file.Path());
    const KOBALT_BdAddr addr{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};
    trace.Callback(CallbackKind::Connect, arg::Int{1}, arg::Addr{&addr}, arg::Int{1});
    trace.Callback(CallbackKind::Pim, arg::Int{5});
    EXPECT_EQ(file.Content(), "-> ConnectEventCallback(1, 66:55:44:33:22:11, 1)\n"
                              "-> PimCallback(5)\n");
}

TEST(Trace, OffWithoutAPathOrWhenTheFileCannotBeOpened) {
    EXPECT_FALSE(Trace(nullptr).Enabled());
    EXPECT_FALSE(Trace("").Enabled());
    EXPECT_FALSE(Trace("/nonexistent-dir/kobalt/trace.txt").Enabled());
}

} // namespace
} // namespace kobalt::sim
