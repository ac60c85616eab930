// The real program in a pseudo-terminal: the shell at its prompt, and a terminal session worked
// from another process through its control socket.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kWait{15000};

std::string RuntimeFolder() {
    return std::string(std::getenv("XDG_RUNTIME_DIR")) + "/kobalt";
}

// A child process: in a pseudo-terminal of 100x40, or with pipes for standard input and output.
class Child {
public:
    enum class Io { Terminal, Pipes };

    Child(std::vector<std::string> args, Io io, const std::string& input = {}) {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(KOBALT_DEMO_PROGRAM));
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (io == Io::Terminal) {
            winsize size{};
            size.ws_row = 40;
            size.ws_col = 100;
            m_pid = ::forkpty(&m_fd, nullptr, nullptr, &size);
            if (m_pid == 0) {
                ::execv(argv[0], argv.data());
                ::_exit(127);
            }
            return;
        }
        int in[2];
        int out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(out[1], STDERR_FILENO);
            ::close(in[0]);
            ::close(in[1]);
            ::close(out[0]);
            ::close(out[1]);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_fd = out[0];
        [[maybe_unused]] const ssize_t n = ::write(in[1], input.data(), input.size());
        ::close(in[1]);
    }

    ~Child() {
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    pid_t Pid() const { return m_pid; }
    const std::string& Output() const { return m_output; }

    // What a failed wait shows: the output so far and, when the child has already ended, how.
    std::string Report() {
        std::string report = m_output;
        int status = 0;
        if (!m_reaped && m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_reaped = true;
            m_status = status;
        }
        if (m_reaped) {
            report += WIFEXITED(m_status) ? "\n(the program exited with status " +
                                                std::to_string(WEXITSTATUS(m_status)) + ")"
                                          : "\n(the program ended by signal " +
                                                std::to_string(WTERMSIG(m_status)) + ")";
        }
        return report;
    }

    void Type(std::string_view keys) {
        ASSERT_EQ(::write(m_fd, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // Reads output until `text` has come after what earlier waits consumed; true when it did.
    bool WaitFor(std::string_view text, milliseconds limit = kWait) {
        const auto deadline = Clock::now() + limit;
        for (;;) {
            const std::size_t at = m_output.find(text, m_consumed);
            if (at != std::string::npos) {
                m_consumed = at + text.size();
                return true;
            }
            if (!ReadSome(deadline)) {
                return false;
            }
        }
    }

    // Reads to the end of output and returns the exit status; -1 when it does not end in time.
    int Exit(milliseconds limit = kWait) {
        const auto deadline = Clock::now() + limit;
        while (ReadSome(deadline)) {
        }
        while (Clock::now() < deadline) {
            int status = 0;
            if (m_reaped || ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                if (m_reaped) {
                    status = m_status;
                }
                m_reaped = true;
                m_status = status;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(milliseconds(20));
        }
        return -1;
    }

private:
    bool ReadSome(Clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        pollfd p{m_fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        char chunk[4096];
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n <= 0) {
            return false; // EIO once the terminal's last holder is gone
        }
        m_output.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    pid_t m_pid = -1;
    int m_fd = -1;
    bool m_reaped = false;
    int m_status = 0;
    std::string m_output;
    std::size_t m_consumed = 0;
};

// One exchange with a control socket, as a raw peer: what came back within a second or two.
std::string Exchange(const std::string& path, std::string_view bytes) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    std::string answer;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(bytes.size())) {
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            char chunk[4096];
            ssize_t n = 0;
            if (::poll(&p, 1, 2000) <= 0 || (n = ::recv(fd, chunk, sizeof chunk, 0)) <= 0) {
                break;
            }
            answer.append(chunk, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return answer;
}

bool WaitForFile(const std::string& path) {
    const auto deadline = Clock::now() + kWait;
    while (!std::filesystem::exists(path)) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
}

class ShellPty : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kobalt-state-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_state = pattern;
        ::setenv("XDG_STATE_HOME", m_state.c_str(), 1);
        ::setenv("KOBALT_TIME_SCALE", "0.01", 1);
        ::setenv("TERM", "xterm", 1);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_state, ignored);
    }

    std::string m_state;
};

TEST_F(ShellPty, CompletesRecallsAndShowsEventsAboveThePrompt) {
    Child shell({"--shell"}, Child::Io::Terminal);
    ASSERT_TRUE(shell.WaitFor("[NEW] window \"KOBALTDemo\" dialog 102")) << shell.Report();

    // A command, then a caption of the window on top, by Tab.
    shell.Type("pre\t");
    ASSERT_TRUE(shell.WaitFor("press ")) << shell.Report();
    shell.Type("ST\t");
    ASSERT_TRUE(shell.WaitFor("\"START\" ")) << shell.Report();
    shell.Type("\r");
    ASSERT_TRUE(shell.WaitFor("[ADD] 1001 \"BlueTooth Start\"")) << shell.Report();

    shell.Type("dump\r");
    ASSERT_TRUE(shell.WaitFor("1000 button \"START\" disabled")) << shell.Report();
    // Up twice: `press "START"` again, which the disabled button refuses.
    shell.Type("\x1b[A\x1b[A\r");
    ASSERT_TRUE(shell.WaitFor("control 1000 button \"START\" is disabled")) << shell.Report();
    ASSERT_TRUE(shell.WaitFor("error: cannot carry out")) << shell.Report();

    // A phone event while a line is half typed: the event is printed above the prompt and the
    // typed text is kept under it.
    shell.Type("phone connect 66:55:44:33:22:11 hf\r");
    ASSERT_TRUE(shell.WaitFor(
        "[CHG] caption \"KOBALTDemo\" -> \"Connect  with Pixel 7 And service is HF\""))
        << shell.Report();
    shell.Type("expect");
    ASSERT_TRUE(shell.WaitFor("expect")) << shell.Report();
    const std::string ring = Exchange(
        RuntimeFolder() + "/phone-" + std::to_string(shell.Pid()) + ".sock", "ring 0123456789\n");
    ASSERT_EQ(ring.substr(0, 2), "ok") << ring;
    ASSERT_TRUE(shell.WaitFor("[NEW] window \"HandFree\" dialog 130")) << shell.Report();
    ASSERT_TRUE(shell.WaitFor("kobalt> expect")) << shell.Report();
    shell.Type(" text 1008 \"0123456789\"\r");
    shell.Type("expect text 1008 \"wrong\"\r");
    ASSERT_TRUE(shell.WaitFor("seen:     1008 edit \"0123456789\"")) << shell.Report();
    ASSERT_TRUE(shell.WaitFor("error: expectation failed")) << shell.Report();

    // Ctrl-C on a recalled line drops the line, not the history entry it came from.
    shell.Type("\x1b[A\x1b[A");
    // Readline redraws only what differs from the line before: "wrong" becomes the number.
    ASSERT_TRUE(shell.WaitFor("kobalt> expect text 1008 \"wrong\"")) << shell.Report();
    ASSERT_TRUE(shell.WaitFor("0123456789\"")) << shell.Report();
    shell.Type("\x03");
    ASSERT_TRUE(shell.WaitFor("^C")) << shell.Report();
    shell.Type("quit\r");
    ASSERT_TRUE(shell.WaitFor("closing the console")) << shell.Report();
    EXPECT_EQ(shell.Exit(), 0) << shell.Report();

    // The history was kept, private to the user.
    const std::string history = m_state + "/kobalt/shell-history";
    struct stat info {};
    ASSERT_EQ(::stat(history.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::ifstream file(history);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("\ndump\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("\nexpect text 1008 \"0123456789\"\nexpect text 1008 \"wrong\"\n"
                              "quit\n"),
              std::string::npos)
        << text.str();
}

TEST_F(ShellPty, ShellEndsWhenTheConsoleEndsAndAtTheEndOfInput) {
    {
        Child shell({"--shell"}, Child::Io::Terminal);
        ASSERT_TRUE(shell.WaitFor("[NEW] window \"KOBALTDemo\"")) << shell.Report();
        shell.Type("press \"QUIT\"\r");
        ASSERT_TRUE(shell.WaitFor("[END] the console has ended")) << shell.Report();
        EXPECT_EQ(shell.Exit(), 0) << shell.Report();
    }
    {
        // Without a terminal: lines from standard input, no prompt; its end closes the console.
        Child shell({"--shell"}, Child::Io::Pipes,
                    "debug\ndebug on\npress \"START\"\nexpect lines 1001 \"x\"\n");
        EXPECT_EQ(shell.Exit(), 0) << shell.Report();
        EXPECT_NE(shell.Output().find("seen:     1001 listbox \"\" with lines \"BlueTooth Start\""),
                  std::string::npos)
            << shell.Report();
        EXPECT_NE(shell.Output().find("closing the console"), std::string::npos);
        EXPECT_NE(shell.Output().find("error: debug on|off\n"), std::string::npos);
        // Commands piped in come before the console's window is up: the window is reported
        // first, and what the first command changed after it.
        const std::size_t window = shell.Output().find("[NEW] window \"KOBALTDemo\"");
        EXPECT_NE(window, std::string::npos) << shell.Report();
        EXPECT_NE(shell.Output().find("[ADD] 1001 \"BlueTooth Start\"", window), std::string::npos)
            << shell.Report();
        // The console's debug output, once asked for.
        EXPECT_NE(shell.Output().find("\n[DBG] "), std::string::npos) << shell.Report();
        EXPECT_EQ(shell.Output().find("kobalt>"), std::string::npos);
    }
}

TEST_F(ShellPty, AttachedShellWorksATerminalSessionThatHostilePeersCannotHarm) {
    Child session({}, Child::Io::Terminal);
    const std::string socket =
        RuntimeFolder() + "/console-" + std::to_string(session.Pid()) + ".sock";
    ASSERT_TRUE(WaitForFile(socket)) << session.Report();
    struct stat info {};
    ASSERT_EQ(::stat(socket.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    {
        Child attached({"--shell", "--attach", std::to_string(session.Pid())}, Child::Io::Pipes,
                       "press \"START\"\nexpect lines 1001 \"BlueTooth Start\"\nbogus\n"
                       "sleep 3600000\n");
        EXPECT_EQ(attached.Exit(), 1) << attached.Report();
        EXPECT_EQ(attached.Output(),
                  "error: unknown command 'bogus'\nerror: sleep: at most 10000 ms here\n");
    }
    // The person at the terminal sees what the commands did.
    ASSERT_TRUE(session.WaitFor("BlueTooth Start")) << session.Report();

    // Hostile peers: an overlong line, bytes that are no command, a line left unfinished.
    EXPECT_EQ(Exchange(socket, std::string(100000, 'x')), "error: line too long\n");
    const std::string garbage = Exchange(socket, std::string("\xff\xfe\x01\x1b[2J\n"));
    EXPECT_TRUE(garbage.starts_with("error: ")) << garbage;
    EXPECT_EQ(garbage.find('\x1b'), std::string::npos) << garbage;
    EXPECT_EQ(Exchange(socket, "dump"), "");

    {
        // At a prompt, Tab completes the captions the console shows, asked over the socket.
        Child attached({"--shell", "--attach", std::to_string(session.Pid())}, Child::Io::Terminal);
        ASSERT_TRUE(attached.WaitFor(")> ")) << attached.Report();
        attached.Type("press \"Cl\t");
        ASSERT_TRUE(attached.WaitFor("\"Clear\" ")) << attached.Report();
        attached.Type("\x15quit\r");
        EXPECT_EQ(attached.Exit(), 0) << attached.Report();
    }
    {
        // Still at work: the only console is found without a pid, and it ends on QUIT.
        Child attached({"--shell", "--attach"}, Child::Io::Pipes,
                       "expect enabled \"Clear\"\ndump\npress \"QUIT\"\n");
        EXPECT_EQ(attached.Exit(), 0) << attached.Report();
        EXPECT_NE(attached.Output().find("1001 listbox \"\" enabled selected -1 lines 1"),
                  std::string::npos)
            << attached.Report();
    }
    EXPECT_EQ(session.Exit(), 0) << session.Report();
    EXPECT_FALSE(std::filesystem::exists(socket));

    Child none({"--shell", "--attach"}, Child::Io::Pipes);
    EXPECT_EQ(none.Exit(), 2);
    EXPECT_NE(none.Output().find("no console runs in a terminal"), std::string::npos)
        << none.Report();
}

} // namespace
