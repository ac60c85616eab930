// Named message queues: within the process, between threads, and with another process.
#include "Patience.h"
#include "QueueTestSupport.h"
#include "platform/Clock.h"
#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using kobalt::test::Access;
using kobalt::test::kPatience;
using kobalt::test::OpenQueue;
using kobalt::test::UniqueQueueName;

constexpr DWORD kErrorAccessDenied = 5;

BOOL WriteText(HANDLE queue, const std::string& text, DWORD timeout = 0) {
    return WriteMsgQueue(queue, const_cast<char*>(text.data()), static_cast<DWORD>(text.size()),
                         timeout, 0);
}

// The next message as text, or "error <code>".
std::string ReadText(HANDLE queue, DWORD timeout = 0, DWORD bufferSize = 64) {
    char buffer[256] = {};
    DWORD size = 0;
    DWORD flags = 0xFF;
    if (!ReadMsgQueue(queue, buffer, bufferSize, &size, timeout, &flags)) {
        return "error " + std::to_string(GetLastError());
    }
    EXPECT_EQ(flags, 0u);
    return std::string(buffer, size);
}

TEST(MsgQueueTest, TheNameExistsWhileAnyHandleIsOpen) {
    const auto name = UniqueQueueName("exists");
    DWORD error = 0;
    HANDLE reader = OpenQueue(name, Access::Read, &error);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(error, ERROR_SUCCESS);
    HANDLE writer = OpenQueue(name, Access::Write, &error);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(error, ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseMsgQueue(reader));
    HANDLE second = OpenQueue(name, Access::Write, &error);
    EXPECT_EQ(error, ERROR_ALREADY_EXISTS) << "the writer still holds the name";
    EXPECT_TRUE(CloseMsgQueue(second));
    EXPECT_TRUE(CloseHandle(writer)) << "CloseHandle closes a queue too";
    HANDLE again = OpenQueue(name, Access::Read, &error);
    EXPECT_EQ(error, ERROR_SUCCESS) << "the last close removed the name";
    CloseMsgQueue(again);
}

TEST(MsgQueueTest, WritingNeedsAReader) {
    const auto name = UniqueQueueName("noreader");
    HANDLE writer = OpenQueue(name, Access::Write);
    EXPECT_FALSE(WriteText(writer, "lost"));
    EXPECT_EQ(GetLastError(), ERROR_PIPE_NOT_CONNECTED);
    HANDLE reader = OpenQueue(name, Access::Read);
    EXPECT_TRUE(WriteText(writer, "kept"));
    EXPECT_EQ(ReadText(reader), "kept");
    CloseMsgQueue(reader);
    EXPECT_FALSE(WriteText(writer, "lost again"));
    EXPECT_EQ(GetLastError(), ERROR_PIPE_NOT_CONNECTED);
    CloseMsgQueue(writer);
}

TEST(MsgQueueTest, MessagesArriveWholeInOrderAndWithinTheirLimits) {
    const auto name = UniqueQueueName("order");
    HANDLE reader = OpenQueue(name, Access::Read, nullptr, 0, 8);
    // The first opener fixed the size limit at 8 bytes; this writer's own 44 is ignored.
    HANDLE writer = OpenQueue(name, Access::Write);
    EXPECT_EQ(ReadText(reader), "error " + std::to_string(ERROR_TIMEOUT));
    EXPECT_TRUE(WriteText(writer, "one"));
    EXPECT_TRUE(WriteText(writer, ""));
    EXPECT_TRUE(WriteText(writer, "eight..."));
    EXPECT_FALSE(WriteText(writer, "nine....."));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    EXPECT_EQ(ReadText(reader), "one");
    EXPECT_EQ(ReadText(reader), "");
    // Too small a buffer leaves the message for the next, larger read.
    EXPECT_EQ(ReadText(reader, 0, 4), "error " + std::to_string(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(ReadText(reader), "eight...");
    EXPECT_EQ(ReadText(reader), "error " + std::to_string(ERROR_TIMEOUT));
    CloseMsgQueue(writer);
    CloseMsgQueue(reader);
}

class ScaledQueueTest : public ::testing::Test {
protected:
    void SetUp() override { kobalt::platform::SetTimeScale(0.01); }
    void TearDown() override { kobalt::platform::SetTimeScale(1.0); }
};

struct BlockedCall {
    HANDLE queue;
    std::string text;          // written by writer threads
    std::atomic<pid_t> tid{0}; // the kernel's id of the calling thread, once it runs
};

DWORD WriteForever(LPVOID p) {
    auto* call = static_cast<BlockedCall*>(p);
    call->tid.store(gettid());
    return WriteText(call->queue, call->text, INFINITE) ? 0 : GetLastError();
}

DWORD ReadForever(LPVOID p) {
    auto* call = static_cast<BlockedCall*>(p);
    call->tid.store(gettid());
    char buffer[64];
    DWORD size = 0;
    DWORD flags = 0;
    return ReadMsgQueue(call->queue, buffer, sizeof buffer, &size, INFINITE, &flags)
               ? 0
               : GetLastError();
}

// Waits until the call's thread sits in the system call `number`, so that it is blocked inside
// the queue call rather than about to make it. Gives up after kPatience.
::testing::AssertionResult BlockedIn(const BlockedCall& call, long number) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatience);
    while (std::chrono::steady_clock::now() < giveUp) {
        if (const pid_t tid = call.tid.load(); tid != 0) {
            std::ifstream state("/proc/self/task/" + std::to_string(tid) + "/syscall");
            long current = -1;
            if (state >> current && current == number) {
                return ::testing::AssertionSuccess();
            }
        }
        std::this_thread::yield();
    }
    return ::testing::AssertionFailure() << "never blocked in system call " << number;
}

// Device milliseconds that last kPatience real milliseconds at the current time scale.
DWORD ScaledPatience() {
    return static_cast<DWORD>(kPatience / kobalt::platform::TimeScale());
}

DWORD ExitCodeAfterFinish(HANDLE thread) {
    DWORD code = STILL_ACTIVE;
    EXPECT_EQ(WaitForSingleObject(thread, ScaledPatience()), WAIT_OBJECT_0);
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return code;
}

TEST_F(ScaledQueueTest, AFullQueueMakesTheWriterWait) {
    const auto name = UniqueQueueName("full");
    HANDLE reader = OpenQueue(name, Access::Read, nullptr, 2);
    HANDLE writer = OpenQueue(name, Access::Write);
    EXPECT_TRUE(WriteText(writer, "1"));
    EXPECT_TRUE(WriteText(writer, "2"));
    for (DWORD timeout : {0u, 500u}) {
        EXPECT_FALSE(WriteText(writer, "3", timeout));
        EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    }
    BlockedCall call{writer, "3"};
    HANDLE thread = CreateThread(nullptr, 0, WriteForever, &call, 0, nullptr);
    ASSERT_TRUE(BlockedIn(call, SYS_futex));
    EXPECT_EQ(ReadText(reader), "1");
    EXPECT_EQ(ExitCodeAfterFinish(thread), 0u);
    EXPECT_EQ(ReadText(reader), "2");
    EXPECT_EQ(ReadText(reader, ScaledPatience()), "3");
    CloseMsgQueue(writer);
    CloseMsgQueue(reader);
}

// Closing a handle makes a call blocked on it in another thread fail promptly with
// ERROR_INVALID_HANDLE.
TEST(MsgQueueTest, ClosingAHandleReleasesBlockedCalls) {
    const auto name = UniqueQueueName("release");
    HANDLE reader = OpenQueue(name, Access::Read, nullptr, 1);
    HANDLE writer = OpenQueue(name, Access::Write);
    ASSERT_TRUE(WriteText(writer, "fills the queue"));

    BlockedCall blockedWrite{writer, "waits"};
    HANDLE writeThread = CreateThread(nullptr, 0, WriteForever, &blockedWrite, 0, nullptr);
    ASSERT_TRUE(BlockedIn(blockedWrite, SYS_futex));
    EXPECT_TRUE(CloseMsgQueue(writer));
    EXPECT_EQ(ExitCodeAfterFinish(writeThread), ERROR_INVALID_HANDLE);

    EXPECT_EQ(ReadText(reader), "fills the queue");
    BlockedCall blockedRead{reader, ""};
    HANDLE readThread = CreateThread(nullptr, 0, ReadForever, &blockedRead, 0, nullptr);
    ASSERT_TRUE(BlockedIn(blockedRead, SYS_ppoll));
    EXPECT_TRUE(CloseMsgQueue(reader));
    EXPECT_EQ(ExitCodeAfterFinish(readThread), ERROR_INVALID_HANDLE);
}

// The console's own use: a monitor thread reads, the user-interface thread writes a quit code.
TEST(MsgQueueTest, AMonitorThreadReceivesTheQuitCode) {
    struct Monitor {
        std::u16string name = UniqueQueueName("monitor");
        HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD openError = 0xDEAD;
    } monitor;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* m = static_cast<Monitor*>(p);
            HANDLE queue = OpenQueue(m->name, Access::Read, &m->openError);
            SetEvent(m->opened);
            for (;;) {
                DWORD buffer[55] = {};
                DWORD size = 0;
                DWORD flags = 0;
                if (!ReadMsgQueue(queue, buffer, sizeof buffer, &size, INFINITE, &flags)) {
                    CloseMsgQueue(queue);
                    return 0;
                }
                if (buffer[0] == 0x10001) {
                    CloseMsgQueue(queue);
                    return size;
                }
            }
        },
        &monitor, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(monitor.opened, kPatience), WAIT_OBJECT_0);
    EXPECT_EQ(monitor.openError, ERROR_SUCCESS);

    DWORD error = 0;
    HANDLE writer = OpenQueue(monitor.name, Access::Write, &error, 5);
    EXPECT_EQ(error, ERROR_ALREADY_EXISTS);
    DWORD other[4] = {2, 0, 0, 0};
    DWORD quit[4] = {0x10001, 0, 0, 0};
    EXPECT_TRUE(WriteMsgQueue(writer, other, sizeof other, INFINITE, 0));
    EXPECT_TRUE(WriteMsgQueue(writer, quit, sizeof quit, INFINITE, 0));
    CloseMsgQueue(writer);
    EXPECT_EQ(ExitCodeAfterFinish(thread), 16u);
    CloseHandle(monitor.opened);
}

TEST(MsgQueueTest, HandlesAreCheckedForKindAccessAndOptions) {
    const auto name = UniqueQueueName("kinds");
    HANDLE reader = OpenQueue(name, Access::Read);
    HANDLE writer = OpenQueue(name, Access::Write);
    EXPECT_FALSE(WriteText(reader, "x"));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    EXPECT_EQ(ReadText(writer), "error " + std::to_string(kErrorAccessDenied));
    EXPECT_EQ(WaitForSingleObject(reader, 0), WAIT_FAILED);

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(CloseMsgQueue(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(SetEvent(event)) << "the event survived";
    CloseHandle(event);
    CloseMsgQueue(writer);
    CloseMsgQueue(reader);
    EXPECT_FALSE(CloseMsgQueue(reader));
    EXPECT_EQ(ReadText(reader), "error " + std::to_string(ERROR_INVALID_HANDLE));

    const struct {
        const char* what;
        LPCWSTR name;
        MSGQUEUEOPTIONS options;
    } bad[] = {
        {"null name", nullptr, {sizeof(MSGQUEUEOPTIONS), 0, 0, 44, TRUE}},
        {"empty name", u"", {sizeof(MSGQUEUEOPTIONS), 0, 0, 44, TRUE}},
        {"wrong size", name.c_str(), {4, 0, 0, 44, TRUE}},
        {"zero message size", name.c_str(), {sizeof(MSGQUEUEOPTIONS), 0, 0, 0, TRUE}},
    };
    for (auto c : bad) {
        SetLastError(0);
        EXPECT_EQ(CreateMsgQueue(c.name, &c.options), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << c.what;
    }
}

// --- With another process ------------------------------------------------------------------

std::string BesideExecutable(const char* file) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string exe(path, length > 0 ? static_cast<std::size_t>(length) : 0);
    return exe.substr(0, exe.rfind('/') + 1) + file;
}

// platform_msgqueue_peer, with pipes to its standard input and output.
class Peer {
public:
    explicit Peer(std::vector<std::string> args) {
        args.insert(args.begin(), BesideExecutable("platform_msgqueue_peer"));
        int input[2];
        int output[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "pipe";
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            ADD_FAILURE() << "cannot start " << argv[0];
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(input[0]);
        close(output[1]);
        m_input = input[1];
        m_output = output[0];
    }

    ~Peer() {
        close(m_input); // the peer's signal to close its queue and exit
        if (m_pid > 0) {
            const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
            pollfd exited{pidfd, POLLIN, 0};
            if (pidfd < 0 || poll(&exited, 1, static_cast<int>(kPatience)) != 1) {
                ADD_FAILURE() << "peer did not exit";
                kill(m_pid, SIGKILL);
            }
            if (pidfd >= 0) {
                close(pidfd);
            }
            waitpid(m_pid, nullptr, 0);
        }
        close(m_output);
    }

    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    // The peer's next line without its line end; "(timed out)" after kPatience.
    std::string ReadLine() {
        std::string line;
        char c = 0;
        pollfd readable{m_output, POLLIN, 0};
        while (poll(&readable, 1, static_cast<int>(kPatience)) == 1 && read(m_output, &c, 1) == 1) {
            if (c == '\n') {
                return line;
            }
            line += c;
        }
        return "(timed out)";
    }

    void Kill() {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_input = -1;
    int m_output = -1;
};

std::string Narrow(const std::u16string& name) {
    return std::string(name.begin(), name.end());
}

TEST(MsgQueueProcessTest, AnotherProcessFindsTheQueueAndWritesToIt) {
    const auto name = UniqueQueueName("peerwrite");
    HANDLE reader = OpenQueue(name, Access::Read);
    {
        Peer peer({"write", Narrow(name), "hello"});
        EXPECT_EQ(peer.ReadLine(), "open 183");
        EXPECT_EQ(peer.ReadLine(), "write 1 0");
    }
    EXPECT_EQ(ReadText(reader, kPatience), "hello");
    {
        // This process reads the queue, so a reader elsewhere may open it but not read it.
        Peer peer({"read", Narrow(name)});
        EXPECT_EQ(peer.ReadLine(), "open 183");
        EXPECT_EQ(peer.ReadLine(), "read 0 5 ");
    }
    CloseMsgQueue(reader);
}

TEST(MsgQueueProcessTest, AWriterInAnotherProcessFailsWithoutAReader) {
    const auto name = UniqueQueueName("peernoreader");
    HANDLE writer = OpenQueue(name, Access::Write);
    Peer peer({"write", Narrow(name), "nobody"});
    EXPECT_EQ(peer.ReadLine(), "open 183");
    EXPECT_EQ(peer.ReadLine(), "write 0 233");
    CloseMsgQueue(writer);
}

TEST(MsgQueueProcessTest, TheNameVanishesWhenTheProcessHoldingItIsKilled) {
    const auto name = UniqueQueueName("peerkill");
    Peer peer({"read", Narrow(name)});
    ASSERT_EQ(peer.ReadLine(), "open 0");
    DWORD error = 0;
    HANDLE writer = OpenQueue(name, Access::Write, &error);
    EXPECT_EQ(error, ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(WriteText(writer, "ping"));
    EXPECT_EQ(peer.ReadLine(), "read 1 0 ping");

    peer.Kill();
    EXPECT_FALSE(WriteText(writer, "after the crash"));
    EXPECT_EQ(GetLastError(), ERROR_PIPE_NOT_CONNECTED);
    CloseMsgQueue(writer);
    HANDLE again = OpenQueue(name, Access::Write, &error);
    EXPECT_EQ(error, ERROR_SUCCESS);
    CloseMsgQueue(again);
}

} // namespace
