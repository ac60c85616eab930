// The real-stack library's D-Bus latency against bare sdbus-c++ on the same bus, in one run.
//
// The benchmark starts its own stand-in for BlueZ: a dbus-daemon of the system type in a private
// folder and python-dbusmock's bluez5 template (one adapter, one paired phone), and stops both by
// their process ids when it ends, also on failure (and the kernel ends them should the benchmark
// die: PR_SET_PDEATHSIG). The library is loaded by path, as the console loads it.
//
// - Round trip: the library's entry points never wait for the bus (they hand their call to the
//   library's D-Bus thread and return); the one round trip of KOBALT_Connect on a paired phone
//   (Device1.ConnectProfile) ends with the connect callback. Timed from the call to the
//   callback, against a blocking sdbus-c++ ConnectProfile to the same object in each iteration.
// - Signal: the stand-in emits Device1.PropertiesChanged {Connected: false}, which takes the
//   phone's links down; timed from the request for it to the library's connect callback, and to
//   a bare sdbus-c++ subscription's handler on a connection of its own, for the same signal.
#include "sdk/KobaltAbi.h"

#include <benchmark/benchmark.h>
#include <sdbus-c++/sdbus-c++.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kPhone = "AA:BB:CC:DD:EE:FF";
constexpr const char* kPhonePath = "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_FF";
constexpr const char* kA2dpUuid = "0000110a-0000-1000-8000-00805f9b34fb";
constexpr KOBALT_BdAddr kPhoneAddr{{0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA}};
constexpr auto kBound = 10s; // any daemon start, reply or event

constexpr const char* kBusConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=FOLDER/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
)";

// A child process that ends with the benchmark: stopped by its pid, SIGTERM then SIGKILL.
class Child {
public:
    Child(std::vector<std::string> argv, int stdoutFd) {
        std::vector<char*> args;
        for (std::string& arg : argv) {
            args.push_back(arg.data());
        }
        args.push_back(nullptr);
        m_pid = fork();
        if (m_pid < 0) {
            throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
        }
        if (m_pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (stdoutFd >= 0) {
                dup2(stdoutFd, STDOUT_FILENO);
            }
            execv(args[0], args.data());
            _exit(127);
        }
    }
    ~Child() {
        kill(m_pid, SIGTERM);
        const auto deadline = Clock::now() + 5s;
        while (waitpid(m_pid, nullptr, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
                return;
            }
            std::this_thread::sleep_for(10ms);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool Running() const { return waitpid(m_pid, nullptr, WNOHANG) == 0; }

private:
    pid_t m_pid = -1;
};

// A private folder, removed with what it holds.
struct Folder {
    Folder() {
        char pattern[] = "/tmp/kobalt-bench-bluez-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("no private folder");
        }
        path = pattern;
    }
    ~Folder() { std::filesystem::remove_all(path); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::filesystem::path path;
};

// The private bus and the BlueZ stand-in with its adapter and paired phone. Its members go in
// reverse order, also when the constructor fails: the connection, the stand-in, the bus, the
// folder.
class StandIn {
public:
    StandIn() : m_folder(m_private.path.string()) {
        std::string config = kBusConfig;
        config.replace(config.find("FOLDER"), 6, m_folder);
        std::ofstream(m_folder + "/system.conf") << config;
        int address[2];
        if (pipe2(address, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        m_bus.emplace(std::vector<std::string>{"/usr/bin/dbus-daemon",
                                               "--config-file=" + m_folder + "/system.conf",
                                               "--nofork", "--print-address=1"},
                      address[1]);
        close(address[1]);
        const std::string text = ReadLine(address[0]);
        close(address[0]);
        // The library, the stand-in and the bare connections all meet on this bus only.
        setenv("DBUS_SYSTEM_BUS_ADDRESS", text.c_str(), 1);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1); // no session bus: obexd is not measured
        setenv("XDG_CONFIG_HOME", m_folder.c_str(), 1); // the library's PIN file stays here

        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        m_bluez.emplace(std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--system",
                                                 "--template", "bluez5"},
                        null);
        close(null);
        m_connection = sdbus::createSystemBusConnection();
        WaitForBluez();
        auto mock = sdbus::createProxy(*m_connection, "org.bluez", "/");
        mock->callMethod("AddAdapter")
            .onInterface("org.bluez.Mock")
            .withArguments(std::string("hci0"), std::string("kobalt-bench"));
        mock->callMethod("AddDevice")
            .onInterface("org.bluez.Mock")
            .withArguments(std::string("hci0"), std::string(kPhone), std::string("Bench Phone"));
        mock->callMethod("PairDevice")
            .onInterface("org.bluez.Mock")
            .withArguments(std::string("hci0"), std::string(kPhone), uint32_t{5898764});
    }
    ~StandIn() = default;
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    sdbus::IConnection& Connection() { return *m_connection; }

private:
    std::string ReadLine(int fd) {
        std::string line;
        const auto deadline = Clock::now() + kBound;
        while (line.empty() || line.back() != '\n') {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd wait{fd, POLLIN, 0};
            char c = 0;
            if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0 ||
                read(fd, &c, 1) != 1) {
                throw std::runtime_error("dbus-daemon printed no address");
            }
            line += c;
        }
        line.pop_back();
        return line;
    }

    void WaitForBluez() {
        auto daemon =
            sdbus::createProxy(*m_connection, "org.freedesktop.DBus", "/org/freedesktop/DBus");
        const auto deadline = Clock::now() + kBound;
        while (true) {
            bool owned = false;
            daemon->callMethod("NameHasOwner")
                .onInterface("org.freedesktop.DBus")
                .withArguments(std::string("org.bluez"))
                .storeResultsTo(owned);
            if (owned) {
                return;
            }
            if (!m_bluez->Running() || Clock::now() > deadline) {
                throw std::runtime_error("the bluez5 stand-in did not come up");
            }
            std::this_thread::sleep_for(20ms);
        }
    }

    Folder m_private;
    std::string m_folder; // its path
    std::optional<Child> m_bus;
    std::optional<Child> m_bluez;
    std::unique_ptr<sdbus::IConnection> m_connection; // the benchmark's own: calls, requests
};

// When each side last saw the phone's A2DP link change: the library's callback, the bare handler.
struct Seen {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<Clock::time_point> at;
    int state = -1;

    void Mark(int now) {
        const Clock::time_point time = Clock::now();
        {
            std::lock_guard lock(mutex);
            at = time;
            state = now;
        }
        changed.notify_all();
    }
    void Reset() {
        std::lock_guard lock(mutex);
        at.reset();
    }
    // The time `wanted` was seen, or none within the bound.
    std::optional<Clock::time_point> WaitFor(int wanted) {
        std::unique_lock lock(mutex);
        if (!changed.wait_for(lock, kBound, [&] { return at && state == wanted; })) {
            return std::nullopt;
        }
        return at;
    }
};

Seen g_library;
Seen g_bare;

int OnConnectEvent(int connected, KOBALT_BdAddr* addr, int16_t service) {
    if (addr != nullptr && std::memcmp(addr, &kPhoneAddr, sizeof kPhoneAddr) == 0 &&
        service == KOBALT_SERVICE_A2DP) {
        g_library.Mark(connected);
    }
    return 0;
}

// The library, loaded by path and started against the stand-in.
class Library {
public:
    Library() {
        m_handle = dlopen(KOBALT_BLUEZ_PATH, RTLD_NOW | RTLD_LOCAL);
        if (m_handle == nullptr) {
            throw std::runtime_error(dlerror());
        }
        connect = Entry<KOBALT_Fn_Connection>("KOBALT_Connect");
        disconnect = Entry<KOBALT_Fn_Connection>("KOBALT_Disconnect");
        if (const int result = Entry<KOBALT_Fn_Void>("KOBALT_Init")(); result != 0) {
            throw std::runtime_error("KOBALT_Init fails: " + std::to_string(result));
        }
        Entry<KOBALT_Fn_RegisterConnectCallback>("KOBALT_RegisterConnectCallback")(&OnConnectEvent);
    }
    ~Library() { Entry<KOBALT_Fn_Void>("KOBALT_UnInit")(); } // the library stays loaded
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    KOBALT_Fn_Connection connect = nullptr;
    KOBALT_Fn_Connection disconnect = nullptr;

    // Brings the phone's A2DP link to `wanted` (1 up, 0 down); false when the event never came.
    bool Link(int wanted) {
        g_library.Reset();
        KOBALT_BdAddr addr = kPhoneAddr;
        if ((wanted != 0 ? connect : disconnect)(&addr, KOBALT_SERVICE_A2DP) != 0) {
            return false;
        }
        return g_library.WaitFor(wanted).has_value();
    }

private:
    template <class Fn> Fn Entry(const char* name) {
        Fn fn = reinterpret_cast<Fn>(dlsym(m_handle, name));
        if (fn == nullptr) {
            throw std::runtime_error(std::string("no ") + name);
        }
        return fn;
    }
    void* m_handle = nullptr;
};

StandIn* g_standIn = nullptr;
Library* g_sdk = nullptr;

double Micros(Clock::duration time) {
    return std::chrono::duration<double, std::micro>(time).count();
}

// KOBALT_Connect(phone, A2DP) until the connect callback: one ConnectProfile round trip. Each
// iteration also makes the same call on the same object as a blocking sdbus-c++ call (the
// counter bare_us), so both meet the same load on the shared machine.
void BM_ConnectRoundTrip(benchmark::State& state) {
    auto device = sdbus::createProxy(g_standIn->Connection(), "org.bluez", kPhonePath);
    KOBALT_BdAddr addr = kPhoneAddr;
    double library = 0;
    double bare = 0;
    for (auto _ : state) {
        g_library.Reset();
        const Clock::time_point start = Clock::now();
        if (g_sdk->connect(&addr, KOBALT_SERVICE_A2DP) != 0) {
            state.SkipWithError("KOBALT_Connect fails");
            break;
        }
        const std::optional<Clock::time_point> seen = g_library.WaitFor(1);
        if (!seen) {
            state.SkipWithError("no connect event");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(*seen - start).count());
        library += Micros(*seen - start);

        state.PauseTiming();
        const Clock::time_point bareStart = Clock::now();
        device->callMethod("ConnectProfile")
            .onInterface("org.bluez.Device1")
            .withTimeout(kBound)
            .withArguments(std::string(kA2dpUuid));
        bare += Micros(Clock::now() - bareStart);
        const bool down = g_sdk->Link(0); // the next iteration connects again
        state.ResumeTiming();
        if (!down) {
            state.SkipWithError("no disconnect event");
            break;
        }
    }
    state.counters["bare_us"] = benchmark::Counter(bare, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = bare > 0 ? library / bare : 0;
}

// A signal from the stand-in: Connected false on the phone, which the library turns into the
// A2DP disconnect event and a bare subscription on a connection of its own receives too. Timed
// to the library's callback; the bare handler's time and the library's lag behind it are
// counters of the same iterations.
void BM_SignalToCallback(benchmark::State& state) {
    auto bareConnection = sdbus::createSystemBusConnection();
    bareConnection->addMatch(
        std::string("type='signal',sender='org.bluez',interface='org.freedesktop.DBus."
                    "Properties',member='PropertiesChanged',path='") +
            kPhonePath + "'",
        [](sdbus::Message& message) {
            std::string iface;
            std::map<std::string, sdbus::Variant> changed;
            message >> iface >> changed;
            const auto connected = changed.find("Connected");
            if (connected != changed.end() && connected->second.containsValueOfType<bool>()) {
                g_bare.Mark(connected->second.get<bool>() ? 1 : 0);
            }
        },
        sdbus::floating_slot);
    bareConnection->enterEventLoopAsync();
    auto mock = sdbus::createProxy(g_standIn->Connection(), "org.bluez", "/");
    const auto setConnected = [&mock](bool connected) {
        mock->callMethod(connected ? "ConnectDevice" : "DisconnectDevice")
            .onInterface("org.bluez.Mock")
            .withTimeout(kBound)
            .withArguments(std::string("hci0"), std::string(kPhone));
    };
    double total = 0;
    double bare = 0;
    double lag = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const bool ready = g_sdk->Link(1);
        g_bare.Reset();
        setConnected(true);
        if (!ready || !g_bare.WaitFor(1)) {
            state.SkipWithError("the link or the Connected signal did not come up");
            break;
        }
        g_library.Reset();
        g_bare.Reset();
        state.ResumeTiming();
        const Clock::time_point start = Clock::now();
        setConnected(false);
        const std::optional<Clock::time_point> library = g_library.WaitFor(0);
        const std::optional<Clock::time_point> subscriber = g_bare.WaitFor(0);
        if (!library || !subscriber) {
            state.SkipWithError("the disconnect did not arrive");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(*library - start).count());
        total += Micros(*library - start);
        bare += Micros(*subscriber - start);
        lag += Micros(*library - *subscriber);
    }
    state.counters["bare_us"] = benchmark::Counter(bare, benchmark::Counter::kAvgIterations);
    state.counters["lag_us"] = benchmark::Counter(lag, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = bare > 0 ? total / bare : 0;
    bareConnection->leaveEventLoop();
}

BENCHMARK(BM_ConnectRoundTrip)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SignalToCallback)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    try {
        StandIn standIn;
        Library sdk;
        g_standIn = &standIn;
        g_sdk = &sdk;
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        g_sdk = nullptr;
        g_standIn = nullptr;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bluez_roundtrip_bench: %s\n", failure.what());
        return 1;
    }
    return 0;
}
