// Where the script front end looks for this process's simulated phone.
#include "frontend/common/PhoneClient.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the test's duration.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// A phone listening at `path` that answers one command with `answer`, on a thread of its own
// that gives up after 10 s without a client (the client looked elsewhere).
class FakePhone {
public:
    FakePhone(const std::string& path, std::string answer)
        : m_listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        m_listening =
            ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(m_listener, 1) == 0;
        if (m_listening) {
            m_thread = std::thread([this, answer = std::move(answer)] { Serve(answer); });
        }
    }
    ~FakePhone() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
        ::close(m_listener);
    }
    FakePhone(const FakePhone&) = delete;
    FakePhone& operator=(const FakePhone&) = delete;
    bool Listening() const { return m_listening; }

private:
    void Serve(const std::string& answer) const {
        pollfd ready{m_listener, POLLIN, 0};
        if (::poll(&ready, 1, 10000) != 1) {
            return;
        }
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client >= 0) {
            char buffer[256];
            while (::read(client, buffer, sizeof buffer) > 0) {
            }
            [[maybe_unused]] const ssize_t n = ::write(client, answer.data(), answer.size());
            ::close(client);
        }
    }

    int m_listener;
    bool m_listening = false;
    std::thread m_thread;
};

// A first runtime folder someone else took (a link) sends the library to the home folder; the
// client must look there too, and reach the phone.
TEST(PhoneClientTest, FindsThePhoneInTheFolderTheLibraryHadToUse) {
    char pattern[] = "/tmp/kpc-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    fs::create_directories(root / "run");
    fs::create_directories(root / "home" / ".kobalt-run");
    fs::permissions(root / "home" / ".kobalt-run", fs::perms::owner_all);
    fs::create_directories(root / "theirs");
    fs::create_directory_symlink(root / "theirs", root / "run" / "kobalt");
    const ScopedVariable runtime("XDG_RUNTIME_DIR", (root / "run").string());
    const ScopedVariable home("HOME", (root / "home").string());

    const std::string expected =
        (root / "home" / ".kobalt-run" / ("phone-" + std::to_string(::getpid()) + ".sock"))
            .string();
    kobalt::script::PhoneAnswer answer;
    {
        const FakePhone phone(expected, "ok\nstate line\n");
        ASSERT_TRUE(phone.Listening());
        EXPECT_EQ(kobalt::script::PhoneSocketPath(::getpid()), expected);
        answer = kobalt::script::AskPhone("state", std::chrono::milliseconds(10000));
    }
    fs::remove_all(root);
    EXPECT_TRUE(answer.reached) << answer.error;
    EXPECT_TRUE(answer.ok) << answer.error;
    ASSERT_EQ(answer.lines.size(), 1u);
    EXPECT_EQ(answer.lines[0], "state line");
}

// KOBALT_PHONE_PID names the process whose phone a console on another SDK library drives (a
// `kobalt-phone serve-ag` phone); anything but a positive process id is refused, not taken as 0.
TEST(PhoneClientTest, PhonePidNamesAnotherProcesssPhoneOrIsRefused) {
    std::string problem;
    EXPECT_EQ(kobalt::script::PhonePid(nullptr, problem), ::getpid());
    EXPECT_EQ(kobalt::script::PhonePid("", problem), ::getpid());
    EXPECT_EQ(kobalt::script::PhonePid("4242", problem), 4242);
    EXPECT_TRUE(problem.empty());
    for (const char* bad : {"0", "-7", "12x", " 12", "99999999999999999999999"}) {
        problem.clear();
        EXPECT_EQ(kobalt::script::PhonePid(bad, problem), std::nullopt) << bad;
        EXPECT_EQ(problem, "KOBALT_PHONE_PID is not a process id") << bad;
    }

    char pattern[] = "/tmp/kpc-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    fs::create_directories(root / "run" / "kobalt");
    fs::permissions(root / "run" / "kobalt", fs::perms::owner_all);
    const ScopedVariable runtime("XDG_RUNTIME_DIR", (root / "run").string());
    const ScopedVariable other("KOBALT_PHONE_PID", "4242");
    const std::string path = (root / "run" / "kobalt" / "phone-4242.sock").string();
    kobalt::script::PhoneAnswer answer;
    {
        const FakePhone phone(path, "ok\nserved phone\n");
        ASSERT_TRUE(phone.Listening());
        answer = kobalt::script::AskPhone("state", std::chrono::milliseconds(10000));
    }
    fs::remove_all(root);
    EXPECT_TRUE(answer.ok) << answer.error;
    ASSERT_EQ(answer.lines.size(), 1u);
    EXPECT_EQ(answer.lines[0], "served phone");

    const ScopedVariable garbage("KOBALT_PHONE_PID", "abc");
    const kobalt::script::PhoneAnswer refused =
        kobalt::script::AskPhone("state", std::chrono::milliseconds(1000));
    EXPECT_FALSE(refused.reached);
    EXPECT_EQ(refused.error, "KOBALT_PHONE_PID is not a process id");
}

} // namespace
