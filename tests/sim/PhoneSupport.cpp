#include "PhoneSupport.h"

#include "sim/abi/TraceFormat.h"
#include "sim/control/ControlPath.h"
#include "sim/radio/Address.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kobalt::sim::test {
namespace {

// Never destroyed: the library's event thread may still be inside a callback while the test
// program exits.
struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;
    std::thread::id lastThread;
    bool holdDiscovery = false;
    bool discoveryHeld = false;
    void (*insideConnect)(int, KOBALT_BdAddr*) = nullptr;
};
Recorder& g_recorder = *new Recorder;

std::string AddrText(const KOBALT_BdAddr* addr) {
    return addr == nullptr ? "null" : FormatAddress(Address::From(*addr));
}

void Record(std::string line) {
    {
        std::lock_guard lock(g_recorder.mutex);
        g_recorder.lines.push_back(std::move(line));
        g_recorder.lastThread = std::this_thread::get_id();
    }
    g_recorder.changed.notify_all();
}

std::string ReadAll(int fd) {
    std::string text;
    char chunk[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR)) {
        text.append(chunk, n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    return text;
}

pid_t Spawn(const std::string& program, const std::vector<std::string>& args, int in, int out,
            int err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    if (err >= 0) {
        posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(error, 0) << "cannot start " << program << ": " << std::strerror(error);
    return error == 0 ? pid : -1;
}

int WaitExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

KOBALT_BdAddr Addr(const char* text) {
    const std::optional<Address> address = ParseAddress(text);
    EXPECT_TRUE(address.has_value()) << text;
    return address.value_or(Address{}).ToAbi();
}

void Events::Clear() {
    std::lock_guard lock(g_recorder.mutex);
    g_recorder.lines.clear();
}

std::vector<std::string> Events::Lines() {
    std::lock_guard lock(g_recorder.mutex);
    return g_recorder.lines;
}

bool Events::WaitForCount(std::size_t count) {
    std::unique_lock lock(g_recorder.mutex);
    return g_recorder.changed.wait_for(lock, kWaitLimit,
                                       [&] { return g_recorder.lines.size() >= count; });
}

std::thread::id Events::LastThread() {
    std::lock_guard lock(g_recorder.mutex);
    return g_recorder.lastThread;
}

void Events::HoldDiscovery() {
    std::lock_guard lock(g_recorder.mutex);
    g_recorder.holdDiscovery = true;
}

void Events::ReleaseDiscovery() {
    {
        std::lock_guard lock(g_recorder.mutex);
        g_recorder.holdDiscovery = false;
    }
    g_recorder.changed.notify_all();
}

bool Events::WaitUntilDiscoveryHeld() {
    std::unique_lock lock(g_recorder.mutex);
    return g_recorder.changed.wait_for(lock, kWaitLimit, [] { return g_recorder.discoveryHeld; });
}

void Events::InsideNextConnect(void (*work)(int, KOBALT_BdAddr*)) {
    std::lock_guard lock(g_recorder.mutex);
    g_recorder.insideConnect = work;
}

int Events::OnConnect(int connected, KOBALT_BdAddr* addr, int16_t service) {
    void (*work)(int, KOBALT_BdAddr*) = nullptr;
    {
        std::lock_guard lock(g_recorder.mutex);
        std::swap(work, g_recorder.insideConnect);
    }
    if (work != nullptr) {
        work(connected, addr);
    }
    Record("connect " + std::to_string(connected) + " " + AddrText(addr) + " " +
           std::to_string(service));
    return 1;
}

int Events::OnPair(int success, KOBALT_BdAddr* addr) {
    Record("pair " + std::to_string(success) + " " + AddrText(addr));
    return 1;
}

int Events::OnDiscovery(int finished, KOBALT_DeviceRecord record) {
    if (finished != 0) {
        const KOBALT_DeviceRecord empty{};
        Record(std::memcmp(&record, &empty, sizeof record) == 0 ? "finished"
                                                                : "finished (record not empty)");
    } else {
        std::string name;
        AppendTraceText(name, std::u16string_view(record.name, std::size(record.name))
                                  .substr(0, std::char_traits<char16_t>::length(record.name)));
        Record("found " + AddrText(&record.addr) + " \"" + name + "\"");
    }
    std::unique_lock lock(g_recorder.mutex);
    g_recorder.discoveryHeld = g_recorder.holdDiscovery;
    g_recorder.changed.notify_all();
    g_recorder.changed.wait_for(lock, kWaitLimit, [] { return !g_recorder.holdDiscovery; });
    g_recorder.discoveryHeld = false;
    return 0;
}

std::string Phone(const std::string& command) {
    SimLibrary::Get();
    const Result<std::string> answer =
        ExchangeCommand(ControlSocketPath(ControlDirectory(), ::getpid()), command, 10000);
    EXPECT_EQ(answer.Error().Message(), "") << command;
    return answer.Ok() ? answer.Value() : std::string();
}

std::string PhoneOk(const std::string& command) {
    const std::string answer = Phone(command);
    if (!answer.starts_with("ok\n")) {
        ADD_FAILURE() << command << ": " << answer;
        return {};
    }
    return answer.substr(3);
}

std::vector<std::string> PhoneState() {
    const std::string answer = Phone("state");
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = answer.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(answer.substr(start, end - start));
    }
    EXPECT_FALSE(lines.empty());
    EXPECT_EQ(lines.empty() ? "" : lines.front(), "ok");
    if (!lines.empty()) {
        lines.erase(lines.begin());
    }
    return lines;
}

void StartWithWorld(const std::vector<std::string>& deviceLines) {
    Call("KOBALT_UnInit");
    PhoneOk("remove-device all");
    for (const std::string& line : deviceLines) {
        PhoneOk("add-device " + line);
    }
    ASSERT_EQ(Call("KOBALT_Init"), 0);
    ASSERT_EQ(Entry<KOBALT_Fn_RegisterConnectCallback>("KOBALT_RegisterConnectCallback")(
                  Events::OnConnect),
              0);
    ASSERT_EQ(Entry<KOBALT_Fn_RegisterPairCallback>("KOBALT_RegisterPairCallback")(Events::OnPair),
              0);
    Events::Clear();
}

Outcome RunProgram(const std::string& program, const std::vector<std::string>& args) {
    int out[2];
    int err[2];
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t pid = Spawn(program, args, in, out[1], err[1]);
    ::close(in);
    ::close(out[1]);
    ::close(err[1]);
    Outcome outcome;
    // The outputs are small; stdout first cannot block on a full stderr pipe.
    outcome.out = ReadAll(out[0]);
    outcome.err = ReadAll(err[0]);
    ::close(out[0]);
    ::close(err[0]);
    outcome.status = pid > 0 ? WaitExit(pid) : -1;
    return outcome;
}

Child::Child(const std::string& program, const std::vector<std::string>& args) {
    int in[2];
    int out[2];
    EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    m_pid = Spawn(program, args, in[0], out[1], -1);
    ::close(in[0]);
    ::close(out[1]);
    m_in = in[1];
    m_out = out[0];
}

Child::~Child() {
    if (m_pid > 0) {
        Finish();
    }
    if (m_out >= 0) {
        ::close(m_out);
    }
}

std::string Child::ReadLine() {
    std::string line;
    char c = 0;
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{m_out, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
            ::read(m_out, &c, 1) != 1 || c == '\n') {
            return line;
        }
        line += c;
    }
}

void Child::Write(const std::string& text) {
    std::size_t done = 0;
    while (m_in >= 0 && done < text.size()) {
        const ssize_t n = ::write(m_in, text.data() + done, text.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

int Child::Finish() {
    if (m_in >= 0) {
        ::close(m_in);
        m_in = -1;
    }
    if (m_pid <= 0) {
        return -1;
    }
    const int status = WaitExit(m_pid);
    m_pid = -1;
    return status;
}

} // namespace kobalt::sim::test
