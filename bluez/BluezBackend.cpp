// The SDK over the Linux Bluetooth stack: BlueZ (bluetoothd) for the adapter, discovery, pairing
// and profile connections, oFono (ofonod) for hands-free calls, both over the system bus
// (DBUS_SYSTEM_BUS_ADDRESS honoured); obexd for the phonebook, the call logs (PBAP) and pushed
// contacts (OPP), over the session bus (DBUS_SESSION_BUS_ADDRESS honoured).
//
// Threads. KOBALT_Init opens a connection and runs its D-Bus loop on a thread of its own; signal
// handlers, method replies and the agent's and profile's methods run there and only update the
// state below and post events. The console's callbacks run on the event thread (Dispatcher),
// never on the loop, so entry points may be called from inside them. Once the loop runs only
// its thread touches the connection (sd-bus is not made for several threads): entry points
// check the state, hand their call (with a timeout) to the loop and return without waiting; the
// reply, or the signals it causes, produce the events. KOBALT_UnInit stops the loop, joins it
// and drops the queued events: no callback starts after it returns. The loop serves both buses
// and holds the SCO socket of the call audio, watching it for a hang-up.
// Files obexd has written are read and parsed on the worker thread, off the loop.
//
// Dial-up networking goes through oFono's dundee (org.ofono.dundee, system bus); its lists and
// parameters come from the provider database the simulated SDK reads too.
//
// Entry points without a mapping (holding an incoming call, which oFono does not offer, and
// those the console never calls) return kErrNotImplemented and touch none of their arguments.
#include "bluez/Mapping.h"
#include "bluez/Phonebook.h"
#include "bluez/PinStore.h"
#include "common/TraceSink.h"
#include "sim/abi/Backend.h"
#include "sim/abi/DebugLog.h"
#include "sim/abi/TimeScale.h"
#include "sim/phone/TextPool.h"
#include "sim/profiles/ProviderDatabase.h"
#include "sim/radio/Dispatcher.h"
#include "sim/world/Utf16.h"

#include <sdbus-c++/sdbus-c++.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <set>
#include <string>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <tuple>
#include <type_traits>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kobalt::bluez {
namespace {

using namespace std::chrono_literals;
using sim::ResultCode;
using Properties = std::map<std::string, sdbus::Variant>;
using Interfaces = std::map<std::string, Properties>;

constexpr const char* kBluez = "org.bluez";
constexpr const char* kOfono = "org.ofono";
constexpr const char* kObex = "org.bluez.obex"; // on the session bus
constexpr const char* kDundee = "org.ofono.dundee";
constexpr const char* kDundeeManagerIface = "org.ofono.dundee.Manager";
constexpr const char* kDundeeDeviceIface = "org.ofono.dundee.Device";
constexpr const char* kAdapterIface = "org.bluez.Adapter1";
constexpr const char* kDeviceIface = "org.bluez.Device1";
constexpr const char* kPlayerIface = "org.bluez.MediaPlayer1";
constexpr const char* kTransportIface = "org.bluez.MediaTransport1";
constexpr const char* kPropertiesIface = "org.freedesktop.DBus.Properties";
constexpr const char* kObjectManagerIface = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kAgentPath = "/org/kobalt/agent";
constexpr const char* kSppPath = "/org/kobalt/spp";
constexpr const char* kObexAgentPath = "/org/kobalt/obex_agent";
constexpr const char* kObexManagerPath = "/org/bluez/obex";
constexpr const char* kTransferIface = "org.bluez.obex.Transfer1";
constexpr std::string_view kVersion = "KOBALT SDK 3.2.1 (bluez)";
constexpr std::size_t kVersionUnits = 40;
constexpr std::size_t kNameUnits = 64;
constexpr std::size_t kMaxDialBytes = 80;

// Bounds of every D-Bus call: start-up calls, ordinary calls, pairing (the user may have to
// confirm on the phone) and profile connections (page timeouts, SDP).
constexpr auto kStartTimeout = 5s;
constexpr auto kCallTimeout = 10s;
constexpr auto kPairTimeout = 60s;
constexpr auto kConnectTimeout = 30s;
constexpr auto kInquiryTime = 10240ms; // the inquiry length of a classic search
constexpr auto kRingRepeat = 4000ms;   // a ringing call is reported again, as phones repeat RING
// ofonod 1.31 keeps a timer for tones it was sent less than about a second apart, which crashes
// it when the link goes first; a hands-free disconnect waits this long after the last tones.
constexpr auto kToneQuiet = 1200ms;
constexpr std::size_t kMaxPendingTones = 64; // DTMF keys waiting for oFono to take them
// oFono answers InProgress while its hands-free atom waits for the phone (its own AT+CNUM after
// the link's set-up, a voice recognition change): such a call is tried again a little later.
constexpr auto kBusyRetry = 250ms;
constexpr int kBusyRetries = 8;
// A phonebook transfer that obexd reports no progress of for this long has failed.
constexpr auto kTransferIdle = 60s;
// oFono's calls are bounded by these scaled with KOBALT_TIME_SCALE, never below the minimum
// (OfonoTimeout): commands kCallTimeout, bringing the call audio over kAudioTimeout (a phone
// without codec negotiation leaves oFono's HandsfreeAudioCard.Connect unanswered).
constexpr auto kAudioTimeout = 5s;
constexpr auto kMinOfonoTimeout = 1s;

// Hands-free audio: the library's HandsfreeAudioAgent and what it offers oFono.
constexpr const char* kAudioAgentPath = "/org/kobalt/hf_audio";
constexpr const char* kAudioManagerIface = "org.ofono.HandsfreeAudioManager";
constexpr const char* kAudioCardIface = "org.ofono.HandsfreeAudioCard";
constexpr uint8_t kCodecCvsd = 1; // the mandatory codec; the library asks for no other
constexpr uint8_t kCodecMsbc = 2;
constexpr uint32_t kHfAudioUp = 3;   // the console's event: the call audio is in the car
constexpr uint32_t kHfAudioDown = 4; // ... it is on the phone (again)

// Pushed contacts held at once, as the simulated phone holds them; pushes accepted and not yet
// complete (each is a file obexd writes).
constexpr std::size_t kMaxPushed = 1000;
constexpr std::size_t kMaxPendingPushes = 8;

// Levels handed to HF callbacks live here: the console reads one byte behind the pointer.
constexpr uint8_t kLevels[256] = {0, 1, 2, 3, 4, 5};

// The library's trace once it is open: diagnostics go into its live copy when the loader takes
// one (the terminal's event log), so nothing writes over a full-screen terminal.
std::atomic<sim::Trace*> g_liveTrace{nullptr};

void Log(std::string_view message) {
    const std::string line = "[KOBALT.bluez] " + sim::EscapeForTerminal(message) + "\n";
    sim::Trace* trace = g_liveTrace.load(std::memory_order_acquire);
    if (trace != nullptr && trace->SendLive(std::string_view(line).substr(0, line.size() - 1))) {
        return;
    }
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line.data(), line.size());
}

// An error for the debug output: its name and the first line of its message, bounded (a stand-in
// may send a whole traceback).
std::string Brief(const sdbus::Error& error) {
    constexpr std::size_t kMaxText = 200;
    std::string message = error.getMessage();
    message = message.substr(0, std::min(message.find('\n'), kMaxText));
    return error.getName() + ": " + message;
}

template <class T> std::optional<T> Get(const Properties& properties, const std::string& name) {
    const auto found = properties.find(name);
    if (found == properties.end() || !found->second.containsValueOfType<T>()) {
        return std::nullopt;
    }
    return found->second.get<T>();
}

std::u16string ToUtf16(const std::string& text) {
    if (std::optional<std::u16string> wide = sim::Utf8ToUtf16(text)) {
        return *wide;
    }
    return u"?"; // a name that is not UTF-8: shown as a mark rather than as garbage
}

bool IsBusy(const sdbus::Error* error) {
    return error != nullptr && error->getName() == "org.ofono.Error.InProgress";
}

// Runs `step` once at a time point, on a thread of its own; a new Set replaces a pending step.
class Deadline {
public:
    Deadline() : m_thread([this] { Run(); }) {}
    ~Deadline() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

    void Set(std::chrono::steady_clock::duration delay, std::function<void()> step) {
        {
            std::lock_guard lock(m_mutex);
            m_due = std::chrono::steady_clock::now() + delay;
            m_step = std::move(step);
        }
        m_cv.notify_all();
    }
    void Cancel() {
        std::lock_guard lock(m_mutex);
        m_step = nullptr;
    }

private:
    void Run() {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            if (!m_step) {
                m_cv.wait(lock);
                continue;
            }
            if (m_cv.wait_until(lock, m_due) == std::cv_status::timeout && m_step) {
                std::function<void()> step = std::move(m_step);
                m_step = nullptr;
                lock.unlock();
                step();
                lock.lock();
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::chrono::steady_clock::time_point m_due;
    std::function<void()> m_step;
    bool m_stopping = false;
    std::thread m_thread;
};

// Runs jobs one at a time, in order, on a thread of its own: reading and parsing a phonebook
// obexd has written may take a while and must not hold up the D-Bus loop.
class Worker {
public:
    Worker() : m_thread([this] { Run(); }) {}
    ~Worker() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    void Post(std::function<void()> job) {
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
        }
        m_cv.notify_all();
    }

private:
    void Run() {
        pthread_setname_np(pthread_self(), "kobalt-files");
        std::unique_lock lock(m_mutex);
        while (true) {
            m_cv.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping) {
                return;
            }
            std::function<void()> job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

// One run of the stack, KOBALT_Init to KOBALT_UnInit: the connections, their loop, the objects
// the library exports on them and the proxies it calls through.
struct Session {
    Session() : wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Session() {
        if (wake >= 0) {
            close(wake);
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    std::unique_ptr<sdbus::IConnection> connection; // the system bus: BlueZ and oFono
    std::unique_ptr<sdbus::IConnection> obex;       // the session bus: obexd; null without one
    std::unique_ptr<sdbus::IObject> agent;
    std::unique_ptr<sdbus::IObject> profile;
    std::unique_ptr<sdbus::IObject> obexAgent;
    std::unique_ptr<sdbus::IObject> audioAgent; // oFono's HandsfreeAudioAgent; null: no audio
    std::map<std::pair<std::string, std::string>, std::unique_ptr<sdbus::IProxy>> proxies;
    int wake; // eventfd: a job was posted or the loop must stop
    std::mutex jobMutex;
    std::vector<std::function<void()>> jobs; // guarded by jobMutex
    bool stopping = false;                   // guarded by jobMutex
    std::thread loop;

    // Sockets the library keeps open (the SPP links, the SCO link of the call audio), by a
    // number of their own; the loop reports their far end closing, once, with that number, after
    // it has closed them. On the loop thread (or with no loop): the handlers that add and drop
    // them run there.
    struct Watch {
        sdbus::UnixFd fd;
        std::function<void(uint64_t)> hungUp;
    };
    std::map<uint64_t, Watch> watches;
    uint64_t watchCount = 0;

    uint64_t WatchHangUp(sdbus::UnixFd fd, std::function<void(uint64_t)> hungUp) {
        watches.emplace(++watchCount, Watch{std::move(fd), std::move(hungUp)});
        return watchCount;
    }
    void Unwatch(uint64_t id) { watches.erase(id); } // closes the socket

    // The proxy of `path` at `service`, made once; proxies live as long as the session, so a
    // pending call's reply always finds its proxy. On the loop thread (or with no loop).
    // obexd's objects are reached over the session bus, the others over the system bus.
    sdbus::IProxy& Proxy(const std::string& service, const std::string& path) {
        auto& proxy = proxies[{service, path}];
        if (!proxy) {
            sdbus::IConnection* bus = service == kObex ? obex.get() : connection.get();
            if (bus == nullptr) {
                throw sdbus::Error("org.kobalt.Error.NoSessionBus", "there is no session bus");
            }
            proxy = sdbus::createProxy(*bus, service, path);
        }
        return *proxy;
    }

    // Runs `job` on the loop thread, which alone touches the connection while it runs: sd-bus
    // is not made for several threads, so entry points hand their calls over.
    void Post(std::function<void()> job) {
        {
            std::lock_guard lock(jobMutex);
            jobs.push_back(std::move(job));
        }
        Wake();
    }

    void Start() {
        loop = std::thread([this] { Run(); });
    }

    void Stop() {
        if (loop.joinable()) {
            {
                std::lock_guard lock(jobMutex);
                stopping = true;
            }
            Wake();
            loop.join();
        }
    }

private:
    void Wake() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(wake, &one, sizeof one);
    }

    // A connection the loop serves; once it has failed it is not polled again.
    struct Bus {
        sdbus::IConnection* connection;
        const char* name;
        bool gone = false;

        void Drain() {
            if (gone) {
                return;
            }
            try {
                while (connection->processPendingRequest()) {
                }
            } catch (const sdbus::Error& error) {
                Gone(Brief(error));
            }
        }
        void Gone(const std::string& why) {
            Log(std::string(name) + " has gone: " + why);
            gone = true;
        }
    };

    void Run() {
        pthread_setname_np(pthread_self(), "kobalt-dbus");
        std::vector<Bus> buses{{connection.get(), "the system bus"}};
        if (obex) {
            buses.push_back({obex.get(), "the session bus"});
        }
        while (true) {
            for (Bus& bus : buses) {
                bus.Drain();
            }
            std::vector<std::function<void()>> ready;
            bool last = false;
            {
                std::lock_guard lock(jobMutex);
                last = stopping;
                ready.swap(jobs);
            }
            // Jobs queued before the stop still run, so that a command an entry point accepted
            // (a Pause just before UnInit) is sent; the calls UnInit then makes itself flush it.
            for (auto& job : ready) {
                job();
            }
            if (last) {
                return;
            }
            if (!ready.empty()) {
                continue; // the jobs' messages wait to be written
            }
            std::vector<pollfd> fds{{wake, POLLIN, 0}};
            std::vector<Bus*> polled{nullptr};
            int timeout = -1;
            for (Bus& bus : buses) {
                if (bus.gone) {
                    continue;
                }
                try {
                    const sdbus::IConnection::PollData poll =
                        bus.connection->getEventLoopPollData();
                    polled.push_back(&bus);
                    fds.push_back({poll.fd, poll.events, 0});
                    const int due = poll.getPollTimeout();
                    if (due >= 0 && (timeout < 0 || due < timeout)) {
                        timeout = due;
                    }
                } catch (const sdbus::Error& error) {
                    bus.Gone(Brief(error));
                }
            }
            const std::size_t busCount = fds.size();
            std::vector<uint64_t> watched;
            for (const auto& [id, watch] : watches) {
                // Only the far end's closing: what it sends is not read here.
                watched.push_back(id);
                fds.push_back({watch.fd.get(), POLLRDHUP, 0});
            }
            if (poll(fds.data(), fds.size(), timeout) > 0 && (fds[0].revents & POLLIN) != 0) {
                uint64_t value = 0;
                [[maybe_unused]] const ssize_t got = read(wake, &value, sizeof value);
            }
            for (std::size_t i = 0; i < watched.size(); ++i) {
                const auto found = watches.find(watched[i]);
                if ((fds[busCount + i].revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0 &&
                    found != watches.end()) {
                    const Watch closed = std::move(found->second);
                    watches.erase(found);
                    closed.hungUp(watched[i]);
                }
            }
            for (std::size_t i = 1; i < busCount; ++i) {
                if ((fds[i].revents & (POLLHUP | POLLERR)) != 0) {
                    // One more round reads what is left; after that the bus is not polled again.
                    try {
                        while (polled[i]->connection->processPendingRequest()) {
                        }
                    } catch (const sdbus::Error&) {
                    }
                    polled[i]->Gone("the connection was closed");
                }
            }
        }
    }
};

struct Device {
    Address address;
    std::string name;
    bool paired = false;
    bool connected = false;
};

struct CallInfo {
    CallState state = CallState::Unknown;
    std::string number;
    bool incoming = false;   // as oFono first reported it: ringing or waiting
    bool multiparty = false; // part of a conference
};

// A call state as the simulated SDK's current-calls report writes it.
std::string_view CallStateName(CallState state) {
    switch (state) {
    case CallState::Dialing:
        return "dialing";
    case CallState::Alerting:
        return "alerting";
    case CallState::Incoming:
        return "incoming";
    case CallState::Waiting:
        return "waiting";
    case CallState::Active:
        return "active";
    case CallState::Held:
        return "held";
    default:
        return "unknown";
    }
}

class BluezBackend final : public sim::Backend {
public:
    BluezBackend()
        : m_trace(std::getenv("KOBALT_SIM_TRACE"), std::getenv(common::kTraceSinkVariable)),
          m_events(m_trace), m_timeScale(ReadTimeScale()) {
        if (!m_trace.Problem().empty()) {
            Log(m_trace.Problem() + "; tracing is off");
        }
        if (!m_trace.SinkProblem().empty()) {
            Log(m_trace.SinkProblem() + "; the live trace is off");
        }
        g_liveTrace.store(&m_trace, std::memory_order_release);
        if (const char* fail = std::getenv("KOBALT_SIM_FAIL")) {
            for (const std::string& name : m_faults.FailAlwaysFromList(fail)) {
                Log("KOBALT_SIM_FAIL: no entry point named " + name);
            }
        }
        PinLoad load = LoadPin(PinFilePath());
        if (!load.problem.empty()) {
            Log("PIN file " + load.problem + "; using " + load.pin);
        }
        m_pin = std::move(load.pin);
    }

    sim::Trace& GetTrace() override { return m_trace; }
    sim::Faults& GetFaults() override { return m_faults; }

    // Stack and local adapter

    ResultCode SetIntegrateTL(int) override { return sim::kOk; }
    ResultCode Init() override;
    ResultCode UnInit() override;

    ResultCode GetSoftwareVersion(KOBALT_WCHAR* version) override {
        if (version == nullptr) {
            return sim::kErrBadArgument;
        }
        sim::CopyTerminated(ToUtf16(std::string(kVersion)), version, kVersionUnits);
        return sim::kOk;
    }

    ResultCode GetDefaultPinCode(char* pin, uint32_t* length) override {
        if (pin == nullptr || length == nullptr) {
            return sim::kErrBadArgument;
        }
        std::lock_guard lock(m_mutex);
        const uint32_t capacity = *length;
        *length = static_cast<uint32_t>(m_pin.size());
        if (capacity < m_pin.size() + 1) {
            return sim::kErrTooSmall;
        }
        std::memcpy(pin, m_pin.c_str(), m_pin.size() + 1);
        return sim::kOk;
    }

    ResultCode SetDefaultPinCode(const char* pin, uint32_t length) override {
        if (pin == nullptr) {
            return sim::kErrBadArgument;
        }
        const std::size_t size = strnlen(pin, length);
        const std::string_view text(pin, size);
        if (size == length || !IsValidPin(text)) {
            return sim::kErrBadText;
        }
        {
            std::lock_guard lock(m_mutex);
            m_pin = std::string(text);
        }
        if (const std::string problem = StorePin(PinFilePath(), text); !problem.empty()) {
            Log("the PIN is not kept for the next run: " + problem);
        }
        return sim::kOk;
    }

    ResultCode GetLocalName(KOBALT_WCHAR* name, int capacity) override {
        if (name == nullptr || capacity < 1) {
            return sim::kErrBadArgument;
        }
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        sim::CopyTerminated(ToUtf16(m_adapterName), name, static_cast<std::size_t>(capacity));
        return sim::kOk;
    }

    ResultCode SetLocalName(const KOBALT_WCHAR* name) override;

    ResultCode GetLocalAddress(KOBALT_BdAddr* addr) override {
        if (addr == nullptr) {
            return sim::kErrBadArgument;
        }
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        *addr = m_adapterAddress.ToAbi();
        return sim::kOk;
    }

    // Discovery, pairing and connections

    ResultCode DeviceDiscovery(KOBALT_DiscoveryCallback callback) override;
    ResultCode GetRemoteName(const KOBALT_BdAddr* addr, KOBALT_WCHAR* name) override;
    ResultCode Connect(const KOBALT_BdAddr* addr, int16_t service) override;
    ResultCode Disconnect(const KOBALT_BdAddr* addr, int16_t service) override;
    bool IsConnected(const KOBALT_BdAddr* addr, int16_t service) override {
        if (addr == nullptr) {
            return false;
        }
        std::lock_guard lock(m_mutex);
        return m_links.count({Address::From(*addr), service}) != 0;
    }
    ResultCode RegisterConnectCallback(KOBALT_ConnectCallback callback) override {
        std::lock_guard lock(m_mutex);
        m_connectCallback = callback;
        return sim::kOk;
    }
    ResultCode RegisterPairCallback(KOBALT_PairCallback callback) override {
        std::lock_guard lock(m_mutex);
        m_pairCallback = callback;
        return sim::kOk;
    }
    ResultCode GetAllShortCuts(KOBALT_DeviceRecord* records, uint32_t* count) override;

    // Hands-free calls

    ResultCode RegisterHfCallback(KOBALT_HfCallback callback) override {
        std::lock_guard lock(m_mutex);
        m_hfCallback = callback;
        return sim::kOk;
    }
    ResultCode Answer() override { return CallCommand({CallState::Incoming}, "Answer"); }
    ResultCode HangUp() override {
        // A conference in progress ends whole, as AT+CHUP ends it; oFono's Hangup on one of its
        // calls would release that call alone.
        if (ActiveConference()) {
            return ManagerCommand({{CallState::Active, "HangupMultiparty"}});
        }
        return CallCommand(
            {CallState::Dialing, CallState::Alerting, CallState::Active, CallState::Incoming},
            "Hangup");
    }
    ResultCode Dial(const char* number, int length) override;
    ResultCode Redial() override {
        std::string number;
        {
            std::lock_guard lock(m_mutex);
            number = m_lastNumber;
        }
        if (number.empty()) {
            return sim::kErrNoNumber;
        }
        return Dial(number.c_str(), static_cast<int>(number.size()));
    }
    ResultCode TransmitDtmf(int code) override;
    int AudioStatus() override;
    ResultCode Transfer() override;
    ResultCode TransferBack() override;
    void SendTonesLocked();
    bool ActiveConference() const {
        std::lock_guard lock(m_mutex);
        return std::any_of(m_calls.begin(), m_calls.end(), [](const auto& call) {
            return call.second.multiparty && call.second.state == CallState::Active;
        });
    }
    ResultCode SetMicMuted(bool muted) override {
        return ModemProperty("org.ofono.CallVolume", "Muted", muted);
    }
    // AT+CHLD=2 and =1 as oFono offers them: with a waiting call it is answered, else the held
    // call is taken back (swapped with the active one, or after it is released).
    ResultCode HoldActiveToAnswerWaiting() override {
        return ManagerCommand(
            {{CallState::Waiting, "HoldAndAnswer"}, {CallState::Held, "SwapCalls"}});
    }
    ResultCode ReleaseActiveToAnswerWaiting() override {
        return ManagerCommand(
            {{CallState::Waiting, "ReleaseAndAnswer"}, {CallState::Held, "ReleaseAndSwap"}});
    }
    ResultCode RejectWaiting() override { return CallCommand({CallState::Waiting}, "Hangup"); }
    // oFono has no response and hold (AT+BTRH): a ringing call cannot be held. A held call is
    // taken back or ended.
    ResultCode HoldIncoming() override { return sim::kErrNotImplemented; }
    ResultCode AcceptHeldIncoming() override {
        return ManagerCommand({{CallState::Held, "SwapCalls"}});
    }
    ResultCode RejectHeldIncoming() override { return CallCommand({CallState::Held}, "Hangup"); }
    ResultCode CurrentCalls() override;
    ResultCode StartVoiceRecog() override {
        return ModemProperty("org.ofono.Handsfree", "VoiceRecognition", true);
    }
    ResultCode StopVoiceRecog() override {
        return ModemProperty("org.ofono.Handsfree", "VoiceRecognition", false);
    }

    // Phonebook and call logs through obexd's PBAP client, pushed contacts through its OPP
    // server. As in the simulated SDK: one download at a time (a call-log download replaces a
    // running one), the records of the last download stay across KOBALT_UnInit.

    ResultCode StartUpdateContacts(int what) override {
        return StartPull(what != 0, PullKind::Contacts, sim::CalllogType::Incoming);
    }
    ResultCode RegisterPimCallback(KOBALT_PimCallback callback) override {
        std::lock_guard lock(m_mutex);
        m_pimCallback = callback;
        return sim::kOk;
    }
    ResultCode GetContacts(void* records, uint32_t* count) override;
    ResultCode StartUpdateCalllog(int type) override {
        const bool bad = type < 0 || type >= static_cast<int>(sim::kCalllogTypes);
        return StartPull(bad, PullKind::Calllog,
                         bad ? sim::CalllogType::Incoming : static_cast<sim::CalllogType>(type));
    }
    ResultCode StopUpdate() override;
    ResultCode GetCalllogs(void* records, uint32_t* count) override;
    // The records of the last download that `downloaded` holds, as the simulated SDK serves them.
    template <class Record>
    ResultCode ServeDownloaded(std::shared_ptr<const std::vector<Record>> BluezBackend::*downloaded,
                               void* records, uint32_t* count);
    ResultCode GetOppContacts(void* records, uint32_t* count) override;

    ResultCode AvrcpCommand(Avrcp command) override;

    // Dial-up networking: the lists from the provider database, the link through dundee.

    ResultCode DunConnect(const KOBALT_BdAddr* addr,
                          const KOBALT_WCHAR* const (&params)[sim::kDunParams]) override;
    ResultCode DunGetCountry(KOBALT_DunListEntry* entries, uint32_t* count) override {
        return m_dunLists.GetCountry(entries, count);
    }
    ResultCode DunGetProvider(uint32_t countryId, KOBALT_DunListEntry* entries,
                              uint32_t* count) override {
        return m_dunLists.GetProvider(countryId, entries, count);
    }
    ResultCode DunGetParams(uint32_t providerId,
                            KOBALT_WCHAR* const (&params)[sim::kDunParams]) override {
        return m_dunLists.GetParams(providerId, params);
    }
    int GetClientPort() override;

private:
    using Link = std::pair<Address, int16_t>;

    // An SPP link: its socket (watched by the loop), its RFCOMM channel and when it came up.
    struct SppLink {
        uint64_t watch = 0;
        int port = 0;
        uint64_t order = 0;
    };

    // A PBAP download: obexd's session and transfer once known, and the file it writes.
    enum class PullKind { Contacts, Calllog };
    struct Pull {
        uint64_t id = 0; // tags the replies: those of a stopped or replaced download find another
        PullKind kind = PullKind::Contacts;
        sim::CalllogType type = sim::CalllogType::Incoming;
        std::string session;   // obexd's Session1 path
        std::string transfer;  // obexd's Transfer1 path
        std::string file;      // where obexd writes the vCards
        std::string folder;    // the private folder; a file elsewhere is obexd's to remove
        bool reading = false;  // complete: the worker reads the file
        bool starting = false; // PullAll sent, not answered: the transfer is not known yet
        bool linkLost = false; // the HF link went while starting: fails once it is known
    };

    static double ReadTimeScale() {
        std::string problem;
        const double scale = sim::ParseTimeScale(std::getenv("KOBALT_TIME_SCALE"), problem);
        if (!problem.empty()) {
            Log(problem);
        }
        return scale;
    }

    // Start-up steps; each returns the failure to report, kOk when done.
    ResultCode FindAdapter(Session& session);
    ResultCode ExportAgentAndProfile(Session& session);
    void Subscribe(Session& session);

    // Signal handlers, on the loop thread.
    void OnInterfacesAdded(sdbus::Message& message);
    void OnInterfacesRemoved(sdbus::Message& message);
    void OnBluezPropertiesChanged(sdbus::Message& message);
    void OnOfonoSignal(sdbus::Message& message);
    void OnNameOwnerChanged(sdbus::Message& message);
    void OnDundeeSignal(sdbus::Message& message);
    // Dial-up through dundee, each step on the loop with the reply of the one before.
    void OnDundeeDevices(const std::shared_ptr<Session>& session, Address address, std::string name,
                         const sdbus::Error* error,
                         const std::vector<sdbus::Struct<sdbus::ObjectPath, Properties>>& devices);
    ResultCode DunDisconnect(const Address& address);
    void DundeeLinkDownLocked(const std::string& path);
    void AddObjectLocked(const std::string& path, const Interfaces& interfaces);
    void UpdateDeviceLocked(const std::string& path, const Properties& properties);
    void CallChangedLocked(const std::string& path, const std::string& name,
                           const sdbus::Variant& value);

    // The agent's and SPP profile's methods, on the loop thread.
    std::string AgentPin();
    void OnSppConnection(const sdbus::ObjectPath& device, sdbus::UnixFd fd);
    void OnSppDisconnect(const sdbus::ObjectPath& device);
    void AwaitSppSocketLocked(const Address& address);
    void SppWaitOver();
    // A media object (player or transport) came or went: the device's AVRCP or A2DP link with it.
    void MediaObjectLocked(const std::map<std::string, std::string>& objects,
                           const std::string& device, int16_t service);

    // Has the loop send `method` on `service` `path` `iface`; returns at once. `done` runs on the
    // loop with the error, or null on success. Failures to send are reported the same way.
    template <class... Args>
    void Send(const std::shared_ptr<Session>& session, const std::string& service,
              const std::string& path, const std::string& iface, const std::string& method,
              std::chrono::microseconds timeout, std::function<void(const sdbus::Error*)> done,
              Args&&... args);
    void SendProperty(const std::shared_ptr<Session>& session, const std::string& service,
                      const std::string& path, const std::string& iface, const std::string& name,
                      sdbus::Variant value);

    std::shared_ptr<Session> SessionLocked() const { return m_session; }
    std::optional<std::string> DevicePathLocked(const Address& address) const;
    void ConnectProfile(std::shared_ptr<Session> session, std::string path, Address address,
                        int16_t service);
    void LinkUpLocked(const Address& address, int16_t service);
    void LinkDownLocked(const Address& address, int16_t service);
    void LinkFailedLocked(const Address& address, int16_t service);
    void FinishDiscovery(uint64_t search);
    void ReportDeviceLocked(const std::string& path);
    void PostHfLocked(const std::vector<HfSignal>& signals);
    // Under m_mutex: kOk when hands-free commands can go to oFono (started, a hands-free modem).
    ResultCode HfReadyLocked() const {
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        return m_hfModem.empty() ? sim::kErrNotConnected : sim::kOk;
    }
    // Under m_mutex: whether a call is in `state`.
    bool HasCallLocked(CallState state) const {
        return std::any_of(m_calls.begin(), m_calls.end(),
                           [state](const auto& call) { return call.second.state == state; });
    }
    void PostLevelLocked(uint32_t code, uint8_t level);
    void DropHandsFreeLocked();
    // The phone's indicators: read once the HF link is up, then from oFono's signals; a value
    // the console has already been shown is not shown again.
    // Reads the interfaces one after the other (oFono refuses a read while it is busy).
    void ReadIndicators(const std::shared_ptr<Session>& session, const std::string& modem,
                        std::vector<std::string> ifaces, int attempt);
    // bluetoothd answers the connect before oFono has finished the link's set-up; the phone's
    // indicators are read once the modem has its call manager (oFono's registration reads
    // "unregistered" until then).
    void WatchModemReady(const std::shared_ptr<Session>& session, const std::string& modem);
    void ModemInterfacesLocked(const std::vector<std::string>& interfaces);
    void HfLinkUpLocked(); // the HF link being set up (m_hfAddress) is up
    void IndicatorLocked(const std::string& iface, const std::string& name,
                         const sdbus::Variant& value);
    void RingAgainLater();

    // PBAP downloads: each step runs on the loop with the reply of the one before.
    ResultCode StartPull(bool badArgument, PullKind kind, sim::CalllogType type);
    void OnPbapSession(const std::shared_ptr<Session>& session, uint64_t id,
                       const sdbus::Error* error, const sdbus::ObjectPath& path);
    void OnPbapSelected(const std::shared_ptr<Session>& session, uint64_t id,
                        const sdbus::Error* error);
    void OnPullStarted(const std::shared_ptr<Session>& session, uint64_t id,
                       const sdbus::Error* error, const sdbus::ObjectPath& transfer,
                       const Properties& properties);
    void TransferStatusLocked(const std::string& transfer, const std::string& status);
    void ReadPulledLocked();
    void FailPullLocked(const std::string& why);
    void EndPull(const std::shared_ptr<Session>& session, const Pull& pull);
    void WatchPull(uint64_t id);
    bool PullIsLocked(const std::shared_ptr<Session>& session, uint64_t id) const {
        return m_session == session && m_pull && m_pull->id == id;
    }
    void PostPimLocked(int32_t code) {
        if (m_pimCallback != nullptr) {
            m_events.Post(sim::PimEvent{m_pimCallback, code});
        }
    }
    // The address of the phone the hands-free link is up with.
    std::optional<Address> HfPhoneLocked() const {
        for (const Link& link : m_links) {
            if (link.second == KOBALT_SERVICE_HF) {
                return link.first;
            }
        }
        return std::nullopt;
    }
    // The private folder for obexd's files, made on first use; none when it cannot be had.
    std::optional<std::string> ObexFolderLocked();
    static bool FileOfOurs(const Pull& pull) {
        return !pull.folder.empty() && pull.file.starts_with(pull.folder + "/");
    }

    // Pushed contacts and obexd's comings and goings, on the loop thread.
    ResultCode ExportObexAgent(Session& session);
    void RegisterObexAgent(const std::shared_ptr<Session>& session);
    std::string OnAuthorizePush(const sdbus::ObjectPath& transfer);
    void ReadPushed(const std::shared_ptr<Session>& session, const std::string& file);
    void OnObexSignal(sdbus::Message& message);
    void OnObexOwnerChanged(sdbus::Message& message);
    void DropObexWorkLocked(const std::string& why);

    // Has the loop send `method` and hand `done` its error (null on success) and its results,
    // default values on error. Returns at once.
    template <class... Results, class... Args>
    void Request(const std::shared_ptr<Session>& session, const std::string& service,
                 const std::string& path, const std::string& iface, const std::string& method,
                 std::chrono::microseconds timeout, std::tuple<Args...> arguments,
                 std::type_identity_t<std::function<void(const sdbus::Error*, Results...)>> done);

    // Hands-free audio through oFono's HandsfreeAudioManager: the agent is given the SCO socket
    // of the hands-free phone's card; the loop holds it while the call audio is in the car.
    std::chrono::microseconds OfonoTimeout(std::chrono::microseconds base) const;
    ResultCode ExportAudioAgent(Session& session);
    void RegisterAudioAgent(const std::shared_ptr<Session>& session);
    void OnAudioRegistered(const std::shared_ptr<Session>& session, const sdbus::Error* error);
    void AddCardLocked(const std::string& path, const Properties& properties);
    std::string HfCardLocked() const;
    void OnAudioManagerSignal(sdbus::Message& message);
    void OnAudioConnection(const sdbus::ObjectPath& card, sdbus::UnixFd fd, uint8_t codec);
    void OnAudioRelease();
    void OnAudioConnectReply(const std::shared_ptr<Session>& session, uint64_t id,
                             const sdbus::Error* error);
    void OnAudioHangup(uint64_t link);
    void DropAudioLocked(const std::string& why);
    void OfonoStarted();
    void ReadCardsLocked(); // asks oFono for its audio cards (see its definition for when)
    // Has the loop send an oFono hands-free command, bounded by OfonoTimeout(kCallTimeout). While
    // oFono answers InProgress (the phone has not yet acknowledged an earlier command: tones
    // still going out, its own AT+CNUM after the link's set-up) the command is sent again on
    // `retry` a little later, at most kBusyRetries times; a newer command waiting there replaces
    // an older one (the last the console asked for wins). Without `retry` it is sent once. A
    // failure goes to the debug output as "oFono's WHAT fails: ERROR-NAME: message".
    template <class... Args>
    void SendOfono(const std::shared_ptr<Session>& session, const std::string& path,
                   const std::string& iface, const std::string& method, std::string what,
                   Deadline* retry, int attempt, std::tuple<Args...> arguments);
    // " (no answer within N ms)" for a call that timed out after `timeout`, else nothing.
    static std::string Unanswered(const sdbus::Error& error, std::chrono::microseconds timeout);

    // Commands on one call of the HF modem in one of `states`, or on the manager.
    ResultCode CallCommand(std::initializer_list<CallState> states, const std::string& method);
    // The method of the first choice whose state a call is in.
    ResultCode ManagerCommand(std::initializer_list<std::pair<CallState, const char*>> choices);
    ResultCode ModemProperty(const std::string& iface, const std::string& name, bool value);

    sim::Trace m_trace;
    sim::Faults m_faults;
    sim::Dispatcher m_events;
    double m_timeScale;
    Deadline m_deadline;   // the end of a search
    Deadline m_ringer;     // the next report of a ringing call
    Deadline m_toneQuiet;  // a hands-free disconnect held back after DTMF tones
    Deadline m_readRetry;  // the phone's indicators read again once oFono is not busy
    Deadline m_setRetry;   // a modem property set again once oFono is not busy
    Deadline m_readyWatch; // a hands-free link oFono does not finish setting up
    Deadline m_callRetry;  // a call command sent again once oFono is not busy
    Deadline m_pullWatch;  // the end of a PBAP transfer that makes no progress
    Deadline m_sppWatch;   // the end of the wait for the socket of an SPP connection
    Worker m_files;        // reads the files obexd has written

    mutable std::mutex m_mutex;         // guards everything below
    std::shared_ptr<Session> m_session; // null when the stack is down
    std::string m_pin;
    std::string m_adapterPath;
    std::string m_adapterName;
    Address m_adapterAddress;
    std::map<std::string, Device> m_devices;           // by object path
    std::map<std::string, std::string> m_players;      // MediaPlayer1 path -> device path
    std::map<std::string, std::string> m_transports;   // MediaTransport1 path -> device path
    std::map<std::string, uint16_t> m_transportVolume; // MediaTransport1 path -> volume
    std::set<Link> m_links;                            // connections up
    std::set<Link> m_pending;                          // connections on their way
    std::map<Address, SppLink> m_sppLinks;             // SPP links from the profile
    uint64_t m_sppCount = 0;                           // SPP links made
    std::map<Address, std::chrono::steady_clock::time_point> m_sppAwaiting; // see AwaitSppSocket
    std::string m_hfModem;                             // oFono modem of the HF link, or empty
    std::map<std::string, CallInfo> m_calls;           // the HF modem's calls, by path
    std::map<std::string, std::string> m_indicators;   // "iface name" -> value shown
    std::chrono::steady_clock::time_point m_lastTones; // the last SendTones sent or answered
    std::string m_tones;                               // DTMF keys waiting for SendTones
    bool m_tonesSending = false;                       // a SendTones is unanswered
    bool m_hfReady = false; // oFono's modem has its call manager: the link is set up
    Address m_hfAddress;    // the phone of m_hfModem
    std::string m_lastNumber;
    KOBALT_ConnectCallback m_connectCallback = nullptr;
    KOBALT_PairCallback m_pairCallback = nullptr;
    KOBALT_HfCallback m_hfCallback = nullptr;
    KOBALT_PimCallback m_pimCallback = nullptr;
    KOBALT_DiscoveryCallback m_discoveryCallback = nullptr;
    uint64_t m_search = 0;            // the running search's number; 0 when none runs
    uint64_t m_searches = 0;          // searches started
    std::set<std::string> m_reported; // devices reported by the running search
    sim::AddressPool m_addresses;
    sim::TextPool m_texts;
    std::optional<Pull> m_pull; // the running PBAP download
    uint64_t m_pulls = 0;       // downloads started
    std::string m_obexFolder;   // made on first use
    std::shared_ptr<const std::vector<sim::ContactRecord>> m_heldContacts; // last downloaded
    std::shared_ptr<const std::vector<sim::CalllogRecord>> m_heldLog;      // last downloaded
    std::vector<sim::OppContactRecord> m_pushed;                           // pushed contacts
    std::map<std::string, std::string> m_pushes; // obexd's push transfers accepted -> file
    uint64_t m_pushFiles = 0;
    // Dial-up.
    sim::ProviderLists m_dunLists{sim::ProviderDatabasePath(), Log};
    bool m_dundee = false;                       // dundee is on the bus, as far as we know
    std::map<std::string, Address> m_dunDevices; // dundee device -> phone, links up or on their way
    // Hands-free audio.
    enum class AudioAgent { Off, Registering, On };
    AudioAgent m_audioAgent = AudioAgent::Off;
    std::map<std::string, Address> m_cards; // oFono's audio cards: path -> the phone
    uint64_t m_audioConnect = 0;            // the HandsfreeAudioCard.Connect awaited; 0 when none
    uint64_t m_audioLink = 0; // the SCO socket's number in Session::watches; 0: audio on the phone
    uint64_t m_audioIds = 0;  // numbers the Connect calls
};

// Start and stop

ResultCode BluezBackend::Init() {
    {
        std::lock_guard lock(m_mutex);
        if (m_session) {
            return sim::kOk;
        }
    }
    auto session = std::make_shared<Session>();
    try {
        session->connection = sdbus::createSystemBusConnection();
    } catch (const sdbus::Error& error) {
        const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
        Log(std::string("KOBALT_Init fails: no system bus at ") +
            (address != nullptr ? address : "the default address") + ": " + Brief(error));
        return sim::kErrNoBus;
    }
    if (const ResultCode code = FindAdapter(*session); code != sim::kOk) {
        return code;
    }
    if (const ResultCode code = ExportAgentAndProfile(*session); code != sim::kOk) {
        return code;
    }
    Subscribe(*session);
    bool ofono = false;
    try {
        session->Proxy("org.freedesktop.DBus", "/org/freedesktop/DBus")
            .callMethod("NameHasOwner")
            .onInterface("org.freedesktop.DBus")
            .withTimeout(kStartTimeout)
            .withArguments(std::string(kOfono))
            .storeResultsTo(ofono);
        if (!ofono) {
            Log("oFono (org.ofono) is not running: hands-free calls and their audio are "
                "unavailable until it starts");
        }
    } catch (const sdbus::Error& error) {
        Log("cannot ask the bus about oFono: " + Brief(error));
    }
    bool dundee = false;
    try {
        session->Proxy("org.freedesktop.DBus", "/org/freedesktop/DBus")
            .callMethod("NameHasOwner")
            .onInterface("org.freedesktop.DBus")
            .withTimeout(kStartTimeout)
            .withArguments(std::string(kDundee))
            .storeResultsTo(dundee);
        if (!dundee) {
            Log("dundee (org.ofono.dundee) is not running: dial-up networking is unavailable "
                "until it starts");
        }
    } catch (const sdbus::Error& error) {
        Log("cannot ask the bus about dundee: " + Brief(error));
    }
    // obexd lives on the user's session bus; without one the rest of the stack still works.
    try {
        session->obex = sdbus::createSessionBusConnection();
    } catch (const sdbus::Error& error) {
        Log("no session bus: the phonebook, call logs and pushed contacts are unavailable: " +
            Brief(error));
    }
    if (session->obex && ExportObexAgent(*session) != sim::kOk) {
        session->obexAgent.reset();
        session->obex.reset();
    }
    ExportAudioAgent(*session);
    {
        std::lock_guard lock(m_mutex);
        m_session = session;
        m_dundee = dundee;
        m_dunDevices.clear();
    }
    session->Start();
    if (session->obex) {
        RegisterObexAgent(session);
    }
    if (ofono) { // else once oFono starts
        RegisterAudioAgent(session);
    }
    return sim::kOk;
}

ResultCode BluezBackend::FindAdapter(Session& session) {
    std::map<sdbus::ObjectPath, Interfaces> objects;
    try {
        session.Proxy(kBluez, "/")
            .callMethod("GetManagedObjects")
            .onInterface(kObjectManagerIface)
            .withTimeout(kStartTimeout)
            .storeResultsTo(objects);
    } catch (const sdbus::Error& error) {
        Log("KOBALT_Init fails: BlueZ (org.bluez) does not answer: " + Brief(error));
        return sim::kErrNoDaemon;
    }
    std::lock_guard lock(m_mutex);
    m_adapterPath.clear();
    for (const auto& [path, interfaces] : objects) {
        const auto adapter = interfaces.find(kAdapterIface);
        if (adapter == interfaces.end()) {
            continue;
        }
        const std::optional<std::string> address = Get<std::string>(adapter->second, "Address");
        const std::optional<Address> parsed = address ? ParseBluezAddress(*address) : std::nullopt;
        if (!parsed) {
            Log("adapter " + path + " has no valid Address; skipped");
            continue;
        }
        m_adapterPath = path;
        m_adapterAddress = *parsed;
        m_adapterName = Get<std::string>(adapter->second, "Alias").value_or("");
        if (!Get<bool>(adapter->second, "Powered").value_or(false)) {
            try {
                session.Proxy(kBluez, path)
                    .callMethod("Set")
                    .onInterface(kPropertiesIface)
                    .withTimeout(kStartTimeout)
                    .withArguments(std::string(kAdapterIface), std::string("Powered"),
                                   sdbus::Variant(true));
            } catch (const sdbus::Error& error) {
                Log("KOBALT_Init fails: cannot power adapter " + path + ": " + Brief(error));
                return sim::kErrDaemonFailed;
            }
        }
        break;
    }
    if (m_adapterPath.empty()) {
        Log("KOBALT_Init fails: BlueZ has no Bluetooth adapter");
        return sim::kErrNoAdapter;
    }
    m_devices.clear();
    m_players.clear();
    m_transports.clear();
    m_transportVolume.clear();
    for (const auto& [path, interfaces] : objects) {
        AddObjectLocked(path, interfaces);
    }
    return sim::kOk;
}

ResultCode BluezBackend::ExportAgentAndProfile(Session& session) {
    try {
        session.agent = sdbus::createObject(*session.connection, kAgentPath);
        constexpr const char* agent = "org.bluez.Agent1";
        session.agent->registerMethod("Release").onInterface(agent).implementedAs([] {});
        session.agent->registerMethod("RequestPinCode")
            .onInterface(agent)
            .implementedAs([this](const sdbus::ObjectPath&) { return AgentPin(); });
        session.agent->registerMethod("DisplayPinCode")
            .onInterface(agent)
            .implementedAs([](const sdbus::ObjectPath&, const std::string&) {});
        session.agent->registerMethod("RequestPasskey")
            .onInterface(agent)
            .implementedAs([this](const sdbus::ObjectPath&) -> uint32_t {
                const std::string pin = AgentPin();
                if (pin.size() > 6 || pin.find_first_not_of("0123456789") != std::string::npos) {
                    throw sdbus::Error("org.bluez.Error.Rejected",
                                       "the PIN is not a passkey of up to 6 digits");
                }
                return static_cast<uint32_t>(std::stoul(pin));
            });
        session.agent->registerMethod("DisplayPasskey")
            .onInterface(agent)
            .implementedAs([](const sdbus::ObjectPath&, uint32_t, uint16_t) {});
        session.agent->registerMethod("RequestConfirmation")
            .onInterface(agent)
            .implementedAs([](const sdbus::ObjectPath&, uint32_t) {});
        session.agent->registerMethod("RequestAuthorization")
            .onInterface(agent)
            .implementedAs([](const sdbus::ObjectPath&) {});
        session.agent->registerMethod("AuthorizeService")
            .onInterface(agent)
            .implementedAs([](const sdbus::ObjectPath&, const std::string&) {});
        session.agent->registerMethod("Cancel").onInterface(agent).implementedAs([] {});
        session.agent->finishRegistration();

        session.profile = sdbus::createObject(*session.connection, kSppPath);
        constexpr const char* profile = "org.bluez.Profile1";
        session.profile->registerMethod("Release").onInterface(profile).implementedAs([] {});
        session.profile->registerMethod("NewConnection")
            .onInterface(profile)
            .implementedAs([this](const sdbus::ObjectPath& device, sdbus::UnixFd fd,
                                  const Properties&) { OnSppConnection(device, std::move(fd)); });
        session.profile->registerMethod("RequestDisconnection")
            .onInterface(profile)
            .implementedAs([this](const sdbus::ObjectPath& device) { OnSppDisconnect(device); });
        session.profile->finishRegistration();
    } catch (const sdbus::Error& error) {
        Log("KOBALT_Init fails: cannot export the agent and profile: " + Brief(error));
        return sim::kErrDaemonFailed;
    }
    sdbus::IProxy& manager = session.Proxy(kBluez, "/org/bluez");
    try {
        manager.callMethod("RegisterAgent")
            .onInterface("org.bluez.AgentManager1")
            .withTimeout(kStartTimeout)
            .withArguments(sdbus::ObjectPath(kAgentPath), std::string("KeyboardDisplay"));
    } catch (const sdbus::Error& error) {
        Log("KOBALT_Init fails: BlueZ refuses the pairing agent: " + Brief(error));
        return sim::kErrDaemonFailed;
    }
    try {
        manager.callMethod("RequestDefaultAgent")
            .onInterface("org.bluez.AgentManager1")
            .withTimeout(kStartTimeout)
            .withArguments(sdbus::ObjectPath(kAgentPath));
    } catch (const sdbus::Error& error) {
        Log("the pairing agent is not the default one: " + Brief(error));
    }
    try {
        Properties options{{"Name", sdbus::Variant(std::string("KOBALT serial port"))},
                           {"Role", sdbus::Variant(std::string("client"))},
                           {"AutoConnect", sdbus::Variant(false)}};
        manager.callMethod("RegisterProfile")
            .onInterface("org.bluez.ProfileManager1")
            .withTimeout(kStartTimeout)
            .withArguments(sdbus::ObjectPath(kSppPath), std::string(kSppUuid), options);
    } catch (const sdbus::Error& error) {
        Log("the serial port profile is unavailable: " + Brief(error));
    }
    return sim::kOk;
}

// Every handler catches what a malformed message throws: nothing may unwind into the loop.
template <class Handler> sdbus::message_handler Guarded(Handler handler, const char* what) {
    return [handler, what](sdbus::Message& message) {
        try {
            handler(message);
        } catch (const sdbus::Error& error) {
            Log(std::string("ignored a malformed ") + what + ": " + Brief(error));
        } catch (const std::exception& error) {
            Log(std::string("ignored a ") + what + ": " + error.what());
        }
    };
}

void BluezBackend::Subscribe(Session& session) {
    sdbus::IConnection& bus = *session.connection;
    bus.addMatch("type='signal',sender='org.bluez',interface='org.freedesktop.DBus.ObjectManager',"
                 "member='InterfacesAdded'",
                 Guarded([this](sdbus::Message& m) { OnInterfacesAdded(m); }, "InterfacesAdded"),
                 sdbus::floating_slot);
    bus.addMatch(
        "type='signal',sender='org.bluez',interface='org.freedesktop.DBus.ObjectManager',"
        "member='InterfacesRemoved'",
        Guarded([this](sdbus::Message& m) { OnInterfacesRemoved(m); }, "InterfacesRemoved"),
        sdbus::floating_slot);
    bus.addMatch(
        "type='signal',sender='org.bluez',interface='org.freedesktop.DBus.Properties',"
        "member='PropertiesChanged'",
        Guarded([this](sdbus::Message& m) { OnBluezPropertiesChanged(m); }, "PropertiesChanged"),
        sdbus::floating_slot);
    bus.addMatch("type='signal',sender='org.ofono'",
                 Guarded([this](sdbus::Message& m) { OnOfonoSignal(m); }, "oFono signal"),
                 sdbus::floating_slot);
    bus.addMatch("type='signal',sender='org.ofono.dundee'",
                 Guarded([this](sdbus::Message& m) { OnDundeeSignal(m); }, "dundee signal"),
                 sdbus::floating_slot);
    bus.addMatch("type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged'",
                 Guarded([this](sdbus::Message& m) { OnNameOwnerChanged(m); }, "NameOwnerChanged"),
                 sdbus::floating_slot);
}

ResultCode BluezBackend::UnInit() {
    std::shared_ptr<Session> session;
    std::optional<Pull> pull;
    bool audioRegistered = false;
    {
        std::lock_guard lock(m_mutex);
        session = std::move(m_session);
        m_session.reset();
        m_search = 0;
        m_links.clear();
        m_pending.clear();
        m_sppLinks.clear();
        m_sppAwaiting.clear();
        m_hfModem.clear();
        m_calls.clear();
        m_dunDevices.clear(); // a dial-up link stays up in dundee; this run forgets it
        pull = std::move(m_pull);
        m_pull.reset();
        for (const auto& [transfer, file] : m_pushes) {
            unlink(file.c_str());
        }
        m_pushes.clear();
        audioRegistered = m_audioAgent == AudioAgent::On;
        m_audioAgent = AudioAgent::Off;
        m_cards.clear();
        m_audioConnect = 0;
        m_audioLink = 0; // the socket closes with the session
    }
    m_deadline.Cancel();
    m_ringer.Cancel();
    m_toneQuiet.Cancel();
    m_readRetry.Cancel();
    m_setRetry.Cancel();
    m_readyWatch.Cancel();
    m_callRetry.Cancel();
    m_pullWatch.Cancel();
    m_sppWatch.Cancel();
    if (!session) {
        m_events.Discard();
        return sim::kOk;
    }
    session->Stop();
    // The loop has stopped, so this thread may close what it held: the call audio goes back to
    // the phone even if a pending call's handler keeps the session alive a while.
    session->watches.clear();
    // A download ends with the run; obexd drops the session's transfer with it.
    if (session->obex) {
        std::vector<std::pair<std::string, std::string>> calls; // path, method
        if (pull && !pull->session.empty()) {
            calls.emplace_back(pull->session, "RemoveSession");
        }
        calls.emplace_back(kObexAgentPath, "UnregisterAgent");
        for (const auto& [path, method] : calls) {
            try {
                session->Proxy(kObex, kObexManagerPath)
                    .callMethod(method)
                    .onInterface(method == "RemoveSession" ? "org.bluez.obex.Client1"
                                                           : "org.bluez.obex.AgentManager1")
                    .withTimeout(kStartTimeout)
                    .withArguments(sdbus::ObjectPath(path));
            } catch (const sdbus::Error& error) {
                Log(method + " (obexd): " + Brief(error));
            }
        }
        if (pull && FileOfOurs(*pull)) {
            unlink(pull->file.c_str());
        }
    }
    // The loop has stopped: these calls wait for their replies directly.
    if (audioRegistered) {
        try {
            session->Proxy(kOfono, "/")
                .callMethod("Unregister")
                .onInterface(kAudioManagerIface)
                .withTimeout(OfonoTimeout(kStartTimeout))
                .withArguments(sdbus::ObjectPath(kAudioAgentPath));
        } catch (const sdbus::Error& error) {
            Log("HandsfreeAudioManager.Unregister: " + Brief(error));
        }
    }
    for (const auto& [method, iface] :
         {std::pair{"UnregisterAgent", "org.bluez.AgentManager1"},
          std::pair{"UnregisterProfile", "org.bluez.ProfileManager1"}}) {
        try {
            session->Proxy(kBluez, "/org/bluez")
                .callMethod(method)
                .onInterface(iface)
                .withTimeout(kStartTimeout)
                .withArguments(sdbus::ObjectPath(
                    std::string_view(method) == "UnregisterAgent" ? kAgentPath : kSppPath));
        } catch (const sdbus::Error& error) {
            Log(std::string(method) + ": " + Brief(error));
        }
    }
    // Replies still awaited and jobs never run hold their handlers, and handlers may hold the
    // session: dropping them (the proxies cancel their pending calls) lets the session go.
    session->proxies.clear();
    {
        std::lock_guard lock(session->jobMutex);
        session->jobs.clear();
    }
    m_events.Discard();
    return sim::kOk;
}

// Sending

template <class... Args>
void BluezBackend::Send(const std::shared_ptr<Session>& session, const std::string& service,
                        const std::string& path, const std::string& iface,
                        const std::string& method, std::chrono::microseconds timeout,
                        std::function<void(const sdbus::Error*)> done, Args&&... args) {
    session->Post([session = session.get(), service, path, iface, method, timeout, done,
                   arguments = std::make_tuple(std::forward<Args>(args)...)]() mutable {
        try {
            sdbus::AsyncMethodInvoker call = session->Proxy(service, path).callMethodAsync(method);
            call.onInterface(iface).withTimeout(timeout);
            std::apply([&call](auto&... each) { call.withArguments(each...); }, arguments);
            call.uponReplyInvoke([done, method, path](const sdbus::Error* error) {
                try {
                    if (done) {
                        done(error);
                    } else if (error != nullptr) {
                        Log(method + " on " + path + " fails: " + Brief(*error));
                    }
                } catch (const std::exception& failure) {
                    Log(method + " reply: " + failure.what());
                }
            });
        } catch (const sdbus::Error& error) {
            Log(method + " on " + path + " cannot be sent: " + Brief(error));
            if (done) {
                done(&error);
            }
        }
    });
}

void BluezBackend::SendProperty(const std::shared_ptr<Session>& session, const std::string& service,
                                const std::string& path, const std::string& iface,
                                const std::string& name, sdbus::Variant value) {
    Send(session, service, path, kPropertiesIface, "Set", kCallTimeout, nullptr, iface, name,
         std::move(value));
}

// Objects and signals of BlueZ

void BluezBackend::AddObjectLocked(const std::string& path, const Interfaces& interfaces) {
    if (const auto device = interfaces.find(kDeviceIface); device != interfaces.end()) {
        if (Get<sdbus::ObjectPath>(device->second, "Adapter").value_or(sdbus::ObjectPath()) ==
                m_adapterPath ||
            path.starts_with(m_adapterPath + "/")) {
            UpdateDeviceLocked(path, device->second);
        }
    }
    if (const auto player = interfaces.find(kPlayerIface); player != interfaces.end()) {
        m_players[path] = Get<sdbus::ObjectPath>(player->second, "Device")
                              .value_or(sdbus::ObjectPath(path.substr(0, path.rfind('/'))));
        MediaObjectLocked(m_players, m_players[path], KOBALT_SERVICE_AVRCP);
    }
    if (const auto transport = interfaces.find(kTransportIface); transport != interfaces.end()) {
        m_transports[path] = Get<sdbus::ObjectPath>(transport->second, "Device")
                                 .value_or(sdbus::ObjectPath(path.substr(0, path.rfind('/'))));
        m_transportVolume[path] = Get<uint16_t>(transport->second, "Volume").value_or(64);
        MediaObjectLocked(m_transports, m_transports[path], KOBALT_SERVICE_A2DP);
    }
}

// BlueZ has a media player for a device while its AVRCP session is up and a media transport
// while an A2DP stream is configured, whoever connected: a phone connects A2DP and AVRCP itself.
// The link is up while the device has at least one such object.
void BluezBackend::MediaObjectLocked(const std::map<std::string, std::string>& objects,
                                     const std::string& device, int16_t service) {
    const auto found = m_devices.find(device);
    if (found == m_devices.end()) {
        return;
    }
    const bool any = std::any_of(objects.begin(), objects.end(),
                                 [&device](const auto& object) { return object.second == device; });
    const Address address = found->second.address;
    if (any && m_links.count({address, service}) == 0) {
        LinkUpLocked(address, service);
    } else if (!any) {
        LinkDownLocked(address, service);
    }
}

void BluezBackend::UpdateDeviceLocked(const std::string& path, const Properties& properties) {
    auto found = m_devices.find(path);
    if (found == m_devices.end()) {
        const std::optional<std::string> text = Get<std::string>(properties, "Address");
        const std::optional<Address> address = text ? ParseBluezAddress(*text) : std::nullopt;
        if (!address) {
            return; // not a device the SDK can name
        }
        found = m_devices.emplace(path, Device{*address, {}, false, false}).first;
    }
    Device& device = found->second;
    if (auto alias = Get<std::string>(properties, "Alias")) {
        device.name = std::move(*alias);
    } else if (auto name = Get<std::string>(properties, "Name"); name && device.name.empty()) {
        device.name = std::move(*name);
    }
    if (const auto paired = Get<bool>(properties, "Paired")) {
        device.paired = *paired;
    }
    if (const auto connected = Get<bool>(properties, "Connected")) {
        const bool was = device.connected;
        device.connected = *connected;
        if (was && !*connected) {
            // The baseband link is gone, and every profile with it.
            std::vector<Link> down;
            for (const Link& link : m_links) {
                if (link.first == device.address) {
                    down.push_back(link);
                }
            }
            for (const Link& link : down) {
                LinkDownLocked(link.first, link.second);
            }
        }
    }
    ReportDeviceLocked(path);
}

void BluezBackend::OnInterfacesAdded(sdbus::Message& message) {
    sdbus::ObjectPath path;
    Interfaces interfaces;
    message >> path >> interfaces;
    std::lock_guard lock(m_mutex);
    if (m_session) {
        AddObjectLocked(path, interfaces);
    }
}

void BluezBackend::OnInterfacesRemoved(sdbus::Message& message) {
    sdbus::ObjectPath path;
    std::vector<std::string> interfaces;
    message >> path >> interfaces;
    std::lock_guard lock(m_mutex);
    if (!m_session) {
        return;
    }
    for (const std::string& iface : interfaces) {
        if (iface == kDeviceIface) {
            m_devices.erase(path);
        } else if (const auto player = m_players.find(path);
                   iface == kPlayerIface && player != m_players.end()) {
            const std::string device = player->second;
            m_players.erase(player);
            MediaObjectLocked(m_players, device, KOBALT_SERVICE_AVRCP);
        } else if (const auto transport = m_transports.find(path);
                   iface == kTransportIface && transport != m_transports.end()) {
            const std::string device = transport->second;
            m_transports.erase(transport);
            m_transportVolume.erase(path);
            MediaObjectLocked(m_transports, device, KOBALT_SERVICE_A2DP);
        }
    }
}

void BluezBackend::OnBluezPropertiesChanged(sdbus::Message& message) {
    std::string iface;
    Properties changed;
    message >> iface >> changed;
    const std::string path = message.getPath();
    std::lock_guard lock(m_mutex);
    if (!m_session) {
        return;
    }
    if (iface == kDeviceIface && m_devices.count(path) != 0) {
        UpdateDeviceLocked(path, changed);
    } else if (iface == kAdapterIface && path == m_adapterPath) {
        if (auto alias = Get<std::string>(changed, "Alias")) {
            m_adapterName = std::move(*alias);
        }
    } else if (iface == kTransportIface && m_transports.count(path) != 0) {
        if (const auto volume = Get<uint16_t>(changed, "Volume")) {
            m_transportVolume[path] = *volume;
        }
    }
}

void BluezBackend::OnNameOwnerChanged(sdbus::Message& message) {
    std::string name;
    std::string oldOwner;
    std::string newOwner;
    message >> name >> oldOwner >> newOwner;
    if (name == kDundee) {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return;
        }
        m_dundee = !newOwner.empty();
        if (!m_dundee) {
            Log("dundee (org.ofono.dundee) has gone: the dial-up links are lost");
            const std::map<std::string, Address> devices = m_dunDevices;
            for (const auto& entry : devices) {
                DundeeLinkDownLocked(entry.first);
            }
        }
        return;
    }
    if (name == kOfono && !newOwner.empty()) {
        OfonoStarted();
        return;
    }
    if (!newOwner.empty() || (name != kBluez && name != kOfono)) {
        return;
    }
    std::lock_guard lock(m_mutex);
    if (!m_session) {
        return;
    }
    if (name == kOfono) {
        Log("oFono (org.ofono) has gone: the calls and the hands-free link are lost");
        DropAudioLocked("oFono has gone");
        DropHandsFreeLocked();
        m_audioAgent = AudioAgent::Off; // its registration went with it
        m_cards.clear();
        return;
    }
    Log("BlueZ (org.bluez) has gone: every link is lost; KOBALT_UnInit and KOBALT_Init once it "
        "runs again");
    const std::set<Link> links = m_links;
    for (const Link& link : links) {
        LinkDownLocked(link.first, link.second);
    }
    const std::set<Link> pending = m_pending;
    for (const Link& link : pending) {
        LinkFailedLocked(link.first, link.second);
    }
    // The devices stay known by name (the console asks for the names of the links that went
    // down); BlueZ reports them again when the stack is started anew.
    for (auto& entry : m_devices) {
        entry.second.connected = false;
    }
    m_players.clear();
    m_transports.clear();
    m_transportVolume.clear();
    if (m_search != 0 && m_discoveryCallback != nullptr) {
        m_search = 0;
        m_events.Post(sim::DiscoveryEvent{m_discoveryCallback, 1, {}});
    }
}

// Discovery

ResultCode BluezBackend::DeviceDiscovery(KOBALT_DiscoveryCallback callback) {
    if (callback == nullptr) {
        return sim::kErrBadArgument;
    }
    std::shared_ptr<Session> session;
    std::string adapter;
    uint64_t search = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        if (m_search != 0) {
            return sim::kErrBusy;
        }
        session = m_session;
        adapter = m_adapterPath;
        search = m_search = ++m_searches;
        m_discoveryCallback = callback;
        m_reported.clear();
        // Devices BlueZ already knows are reported first, as a search finds them again.
        for (const auto& entry : m_devices) {
            ReportDeviceLocked(entry.first);
        }
    }
    // Phones are found by classic inquiry; the filter also keeps low-energy beacons out.
    Send(session, kBluez, adapter, kAdapterIface, "SetDiscoveryFilter", kCallTimeout, nullptr,
         Properties{{"Transport", sdbus::Variant(std::string("bredr"))}});
    Send(session, kBluez, adapter, kAdapterIface, "StartDiscovery", kCallTimeout,
         [this, search](const sdbus::Error* error) {
             if (error != nullptr) {
                 Log("StartDiscovery fails: " + Brief(*error));
                 FinishDiscovery(search);
             }
         });
    const auto inquiry =
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(kInquiryTime * m_timeScale);
    m_deadline.Set(inquiry, [this, search] { FinishDiscovery(search); });
    return sim::kOk;
}

void BluezBackend::ReportDeviceLocked(const std::string& path) {
    if (m_search == 0 || m_discoveryCallback == nullptr || !m_reported.insert(path).second) {
        return;
    }
    const Device& device = m_devices.at(path);
    KOBALT_DeviceRecord record{};
    record.addr = device.address.ToAbi();
    sim::CopyTerminated(ToUtf16(device.name), record.name, kNameUnits);
    m_events.Post(sim::DiscoveryEvent{m_discoveryCallback, 0, record});
}

void BluezBackend::FinishDiscovery(uint64_t search) {
    std::shared_ptr<Session> session;
    std::string adapter;
    {
        std::lock_guard lock(m_mutex);
        if (m_search != search || !m_session) {
            return;
        }
        m_search = 0;
        session = m_session;
        adapter = m_adapterPath;
        m_events.Post(sim::DiscoveryEvent{m_discoveryCallback, 1, {}});
    }
    Send(session, kBluez, adapter, kAdapterIface, "StopDiscovery", kCallTimeout,
         [](const sdbus::Error* error) {
             // BlueZ answers NotReady or Failed when its search had already ended.
             if (error != nullptr && error->getName() != "org.bluez.Error.Failed" &&
                 error->getName() != "org.bluez.Error.NotReady") {
                 Log("StopDiscovery fails: " + Brief(*error));
             }
         });
}

ResultCode BluezBackend::GetRemoteName(const KOBALT_BdAddr* addr, KOBALT_WCHAR* name) {
    if (addr == nullptr || name == nullptr) {
        return sim::kErrBadArgument;
    }
    std::lock_guard lock(m_mutex);
    if (!m_session) {
        return sim::kErrNotInitialised;
    }
    const std::optional<std::string> path = DevicePathLocked(Address::From(*addr));
    if (!path) {
        return sim::kErrUnknownDevice;
    }
    sim::CopyTerminated(ToUtf16(m_devices.at(*path).name), name, kNameUnits);
    return sim::kOk;
}

ResultCode BluezBackend::GetAllShortCuts(KOBALT_DeviceRecord* records, uint32_t* count) {
    if (count == nullptr) {
        return sim::kErrBadArgument;
    }
    std::vector<KOBALT_DeviceRecord> paired;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        for (const auto& entry : m_devices) {
            if (entry.second.paired) {
                KOBALT_DeviceRecord record{};
                record.addr = entry.second.address.ToAbi();
                sim::CopyTerminated(ToUtf16(entry.second.name), record.name, kNameUnits);
                paired.push_back(record);
            }
        }
    }
    if (records == nullptr) {
        *count = static_cast<uint32_t>(paired.size());
        return sim::kOk;
    }
    const std::size_t filled = std::min<std::size_t>(*count, paired.size());
    std::memcpy(records, paired.data(), filled * sizeof(KOBALT_DeviceRecord));
    *count = static_cast<uint32_t>(filled);
    return sim::kOk;
}

ResultCode BluezBackend::SetLocalName(const KOBALT_WCHAR* name) {
    if (name == nullptr) {
        return sim::kErrBadArgument;
    }
    std::u16string wide;
    for (std::size_t i = 0; name[i] != 0; ++i) {
        if (i > sim::kLocalNameBytes) {
            return sim::kErrBadText;
        }
        wide += name[i];
    }
    const std::optional<std::string> utf8 = Utf16ToUtf8(wide);
    if (!utf8 || utf8->size() > sim::kLocalNameBytes) {
        return sim::kErrBadText;
    }
    const std::string& text = *utf8;
    std::shared_ptr<Session> session;
    std::string adapter;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        session = m_session;
        adapter = m_adapterPath;
        m_adapterName = text;
    }
    SendProperty(session, kBluez, adapter, kAdapterIface, "Alias", sdbus::Variant(text));
    return sim::kOk;
}

// Connections

std::optional<std::string> BluezBackend::DevicePathLocked(const Address& address) const {
    for (const auto& [path, device] : m_devices) {
        if (device.address == address) {
            return path;
        }
    }
    return std::nullopt;
}

ResultCode BluezBackend::Connect(const KOBALT_BdAddr* addr, int16_t service) {
    if (addr == nullptr) {
        return sim::kErrBadArgument;
    }
    if (!ServiceUuid(service)) {
        return sim::kErrNoService;
    }
    const Address address = Address::From(*addr);
    std::shared_ptr<Session> session;
    std::string path;
    bool paired = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        const std::optional<std::string> found = DevicePathLocked(address);
        if (!found) {
            return sim::kErrUnknownDevice;
        }
        const Link link{address, service};
        if (m_links.count(link) != 0) {
            return sim::kOk;
        }
        if (!m_pending.insert(link).second) {
            return sim::kErrBusy;
        }
        session = m_session;
        path = *found;
        paired = m_devices.at(path).paired;
    }
    if (paired) {
        ConnectProfile(std::move(session), std::move(path), address, service);
        return sim::kOk;
    }
    // An unpaired device pairs first; the agent answers its PIN request.
    Send(session, kBluez, path, kDeviceIface, "Pair", kPairTimeout,
         [this, session, path, address, service](const sdbus::Error* error) {
             {
                 std::lock_guard lock(m_mutex);
                 if (m_session != session) {
                     return;
                 }
                 if (m_pairCallback != nullptr) {
                     m_events.Post(sim::PairEvent{m_pairCallback, error == nullptr ? 1 : 0,
                                                  m_addresses.Intern(address)});
                 }
                 if (error != nullptr) {
                     Log("Pair " + path + " fails: " + Brief(*error));
                     LinkFailedLocked(address, service);
                     return;
                 }
                 if (auto device = m_devices.find(path); device != m_devices.end()) {
                     device->second.paired = true;
                 }
             }
             ConnectProfile(session, path, address, service);
         });
    return sim::kOk;
}

void BluezBackend::ConnectProfile(std::shared_ptr<Session> session, std::string path,
                                  Address address, int16_t service) {
    Send(
        session, kBluez, path, kDeviceIface, "ConnectProfile", kConnectTimeout,
        [this, session, path, address, service](const sdbus::Error* error) {
            std::lock_guard lock(m_mutex);
            if (m_session != session || m_pending.count({address, service}) == 0) {
                return;
            }
            if (error != nullptr) {
                Log("ConnectProfile " + *ServiceUuid(service) + " on " + path +
                    " fails: " + Brief(*error));
                LinkFailedLocked(address, service);
                return;
            }
            if (service == KOBALT_SERVICE_HF) {
                m_hfModem = HfModemPath(path);
                m_calls.clear();
                m_indicators.clear();
                m_tones.clear();
                m_tonesSending = false;
                m_hfReady = false;
                m_hfAddress = address;
                // The link is reported up once oFono has set it up (see ModemInterfacesLocked).
                WatchModemReady(session, m_hfModem);
                return;
            }
            if (service == KOBALT_SERVICE_SPP) {
                AwaitSppSocketLocked(address); // the link is the socket NewConnection hands over
                return;
            }
            LinkUpLocked(address, service);
        },
        *ServiceUuid(service));
}

void BluezBackend::LinkUpLocked(const Address& address, int16_t service) {
    m_pending.erase({address, service});
    if (m_links.insert({address, service}).second && m_connectCallback != nullptr) {
        m_events.Post(
            sim::ConnectEvent{m_connectCallback, 1, m_addresses.Intern(address), service});
    }
}

void BluezBackend::LinkDownLocked(const Address& address, int16_t service) {
    m_pending.erase({address, service});
    if (service == KOBALT_SERVICE_SPP) {
        m_sppAwaiting.erase(address);
        if (const auto spp = m_sppLinks.find(address); spp != m_sppLinks.end()) {
            if (m_session) {
                m_session->Unwatch(spp->second.watch); // on the loop, as every caller for SPP
            }
            m_sppLinks.erase(spp);
        }
    }
    if (service == KOBALT_SERVICE_HF) {
        // A download needs the phone as much as hands-free does (as in the simulated SDK).
        if (m_pull && !m_pull->reading && m_links.count({address, service}) != 0) {
            if (m_pull->starting) {
                m_pull->linkLost = true; // failed when obexd names the transfer, to cancel it
            } else {
                FailPullLocked("the hands-free link went down");
            }
        }
        DropAudioLocked("the hands-free link went down");
        // The calls go with the link, as far as the console can tell.
        for (const auto& entry : m_calls) {
            PostHfLocked(CallRemovedSignals(entry.second.state, false));
        }
        m_hfModem.clear();
        m_calls.clear();
        m_indicators.clear();
        m_tones.clear();
        m_tonesSending = false;
        m_hfReady = false;
    }
    if (m_links.erase({address, service}) != 0 && m_connectCallback != nullptr) {
        m_events.Post(
            sim::ConnectEvent{m_connectCallback, 0, m_addresses.Intern(address), service});
    }
}

void BluezBackend::LinkFailedLocked(const Address& address, int16_t service) {
    if (m_pending.erase({address, service}) != 0 && m_connectCallback != nullptr) {
        m_events.Post(
            sim::ConnectEvent{m_connectCallback, 0, m_addresses.Intern(address), service});
    }
}

ResultCode BluezBackend::Disconnect(const KOBALT_BdAddr* addr, int16_t service) {
    if (addr == nullptr) {
        return sim::kErrBadArgument;
    }
    if (service == KOBALT_SERVICE_INTERNET) {
        if (const ResultCode dun = DunDisconnect(Address::From(*addr)); dun != sim::kErrNoService) {
            return dun;
        }
        // not dialled through dundee: BlueZ's profile, as for any other service
    }
    if (!ServiceUuid(service)) {
        return sim::kErrNoService;
    }
    const Address address = Address::From(*addr);
    std::shared_ptr<Session> session;
    std::string path;
    std::chrono::steady_clock::duration quiet{};
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        const std::optional<std::string> found = DevicePathLocked(address);
        if (!found) {
            return sim::kErrUnknownDevice;
        }
        if (m_links.count({address, service}) == 0) {
            return sim::kErrNotConnected;
        }
        session = m_session;
        path = *found;
        if (service == KOBALT_SERVICE_HF) {
            quiet = m_lastTones + kToneQuiet - std::chrono::steady_clock::now();
        }
    }
    auto disconnect = [this, session, path, address, service] {
        Send(
            session, kBluez, path, kDeviceIface, "DisconnectProfile", kConnectTimeout,
            [this, session, address, service](const sdbus::Error* error) {
                if (error != nullptr) {
                    Log("DisconnectProfile fails: " + Brief(*error));
                }
                std::lock_guard lock(m_mutex);
                if (m_session == session) {
                    LinkDownLocked(address, service);
                }
            },
            *ServiceUuid(service));
    };
    if (quiet > quiet.zero()) {
        // oFono crashes when the link goes while a tone it was sent is still pending.
        m_toneQuiet.Set(quiet, disconnect);
    } else {
        disconnect();
    }
    return sim::kOk;
}

// Dial-up networking through dundee

// dundee dials "*99#" itself and takes no access point or login: the parameters only have to
// be a provider's, as in the simulated SDK. The dial reaches the dundee device made for the
// phone, found by the phone's name (dundee's devices carry no address); the connect event
// follows its Active property.
ResultCode BluezBackend::DunConnect(const KOBALT_BdAddr* addr,
                                    const KOBALT_WCHAR* const (&params)[sim::kDunParams]) {
    if (addr == nullptr ||
        std::any_of(std::begin(params), std::end(params), [](auto* p) { return p == nullptr; })) {
        return sim::kErrBadArgument;
    }
    const Address address = Address::From(*addr);
    std::shared_ptr<Session> session;
    std::string name;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
    }
    if (!m_dunLists.ProviderOf(params)) {
        return sim::kErrUnknownEntry;
    }
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        const std::optional<std::string> path = DevicePathLocked(address);
        if (!path) {
            return sim::kErrUnknownDevice;
        }
        if (!m_dundee) {
            Log("KOBALT_DUNConnect fails: dundee (org.ofono.dundee) is not running");
            return sim::kErrNoService;
        }
        const Link link{address, KOBALT_SERVICE_INTERNET};
        if (m_links.count(link) != 0) {
            return sim::kOk;
        }
        if (!m_pending.insert(link).second) {
            return sim::kErrBusy;
        }
        session = m_session;
        name = m_devices.at(*path).name;
    }
    using Devices = std::vector<sdbus::Struct<sdbus::ObjectPath, Properties>>;
    Request<Devices>(
        session, kDundee, "/", kDundeeManagerIface, "GetDevices", kCallTimeout, std::make_tuple(),
        [this, session, address, name](const sdbus::Error* error, const Devices& devices) {
            OnDundeeDevices(session, address, name, error, devices);
        });
    return sim::kOk;
}

void BluezBackend::OnDundeeDevices(
    const std::shared_ptr<Session>& session, Address address, std::string name,
    const sdbus::Error* error,
    const std::vector<sdbus::Struct<sdbus::ObjectPath, Properties>>& devices) {
    std::lock_guard lock(m_mutex);
    if (m_session != session || m_pending.count({address, KOBALT_SERVICE_INTERNET}) == 0) {
        return;
    }
    if (error != nullptr) {
        Log("dundee GetDevices fails: " + Brief(*error));
        LinkFailedLocked(address, KOBALT_SERVICE_INTERNET);
        return;
    }
    std::vector<DundeeDevice> known;
    for (const auto& device : devices) {
        const Properties& properties = device.get<1>();
        known.push_back({device.get<0>(), Get<std::string>(properties, "Name").value_or(""),
                         Get<bool>(properties, "Active").value_or(false)});
    }
    std::string problem;
    const std::optional<DundeeDevice> chosen = FindDundeeDevice(known, name, problem);
    if (!chosen) {
        Log("KOBALT_DUNConnect: " + problem);
        LinkFailedLocked(address, KOBALT_SERVICE_INTERNET);
        return;
    }
    m_dunDevices[chosen->path] = address;
    if (chosen->active) {
        LinkUpLocked(address, KOBALT_SERVICE_INTERNET);
        return;
    }
    const std::string path = chosen->path;
    Send(
        session, kDundee, path, kDundeeDeviceIface, "SetProperty", kConnectTimeout,
        [this, session, path, address](const sdbus::Error* failed) {
            std::lock_guard relock(m_mutex);
            if (m_session != session) {
                return;
            }
            if (failed != nullptr) {
                Log("dundee cannot dial up on " + path + ": " + Brief(*failed));
                m_dunDevices.erase(path);
                LinkFailedLocked(address, KOBALT_SERVICE_INTERNET);
                return;
            }
            if (m_dunDevices.count(path) != 0) {
                LinkUpLocked(address, KOBALT_SERVICE_INTERNET);
            }
        },
        std::string("Active"), sdbus::Variant(true));
}

// kErrNoService when the internet link of `address` was not dialled through dundee.
ResultCode BluezBackend::DunDisconnect(const Address& address) {
    std::shared_ptr<Session> session;
    std::string path;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        const auto found = std::find_if(m_dunDevices.begin(), m_dunDevices.end(),
                                        [&](const auto& entry) { return entry.second == address; });
        if (found == m_dunDevices.end()) {
            return sim::kErrNoService;
        }
        if (m_links.count({address, KOBALT_SERVICE_INTERNET}) == 0) {
            return sim::kErrNotConnected;
        }
        session = m_session;
        path = found->first;
    }
    Send(
        session, kDundee, path, kDundeeDeviceIface, "SetProperty", kConnectTimeout,
        [this, session, path](const sdbus::Error* error) {
            std::lock_guard lock(m_mutex);
            if (m_session != session) {
                return;
            }
            if (error != nullptr) {
                Log("dundee cannot hang up on " + path + ": " + Brief(*error));
                return; // the link's state follows dundee's Active property
            }
            DundeeLinkDownLocked(path);
        },
        std::string("Active"), sdbus::Variant(false));
    return sim::kOk;
}

void BluezBackend::DundeeLinkDownLocked(const std::string& path) {
    const auto found = m_dunDevices.find(path);
    if (found == m_dunDevices.end()) {
        return;
    }
    const Address address = found->second;
    m_dunDevices.erase(found);
    LinkFailedLocked(address, KOBALT_SERVICE_INTERNET); // on its way
    LinkDownLocked(address, KOBALT_SERVICE_INTERNET);   // or up
}

void BluezBackend::OnDundeeSignal(sdbus::Message& message) {
    const std::string iface = message.getInterfaceName();
    const std::string member = message.getMemberName();
    std::lock_guard lock(m_mutex);
    if (!m_session) {
        return;
    }
    if (iface == kDundeeManagerIface && member == "DeviceRemoved") {
        sdbus::ObjectPath path;
        message >> path;
        DundeeLinkDownLocked(path);
        return;
    }
    if (iface != kDundeeDeviceIface || member != "PropertyChanged") {
        return;
    }
    const std::string path = message.getPath();
    const auto found = m_dunDevices.find(path);
    if (found == m_dunDevices.end()) {
        return;
    }
    std::string name;
    sdbus::Variant value;
    message >> name >> value;
    if (name != "Active" || !value.containsValueOfType<bool>()) {
        return;
    }
    if (value.get<bool>()) {
        LinkUpLocked(found->second, KOBALT_SERVICE_INTERNET);
    } else if (m_links.count({found->second, KOBALT_SERVICE_INTERNET}) != 0) {
        DundeeLinkDownLocked(path); // the phone or the network ended it
    }
}

// The serial port profile

std::string BluezBackend::AgentPin() {
    std::lock_guard lock(m_mutex);
    return m_pin;
}

void BluezBackend::OnSppConnection(const sdbus::ObjectPath& device, sdbus::UnixFd fd) {
    std::lock_guard lock(m_mutex);
    const auto found = m_devices.find(device);
    if (!m_session || found == m_devices.end()) {
        throw sdbus::Error("org.bluez.Error.Rejected", "unknown device");
    }
    const Address address = found->second.address;
    // An RFCOMM socket's name: family (2 bytes), the address (6), the channel (1).
    constexpr int kAfBluetooth = 31;
    sockaddr_storage name{};
    socklen_t length = sizeof name;
    int port = 0;
    if (getsockname(fd.get(), reinterpret_cast<sockaddr*>(&name), &length) == 0 &&
        name.ss_family == kAfBluetooth && length >= 9) {
        port = reinterpret_cast<const uint8_t*>(&name)[8];
    } else {
        Log("the SPP socket for " + std::string(device) +
            " is not an RFCOMM socket: its client port is 0");
    }
    if (const auto old = m_sppLinks.find(address); old != m_sppLinks.end()) {
        m_session->Unwatch(old->second.watch); // BlueZ replaced the link
    }
    const uint64_t watch = m_session->WatchHangUp(std::move(fd), [this, session = m_session.get(),
                                                                  address, order = m_sppCount + 1](
                                                                     uint64_t) {
        std::lock_guard held(m_mutex);
        const auto spp = m_sppLinks.find(address);
        if (m_session.get() == session && spp != m_sppLinks.end() && spp->second.order == order) {
            LinkDownLocked(address, KOBALT_SERVICE_SPP); // the phone closed the port
        }
    });
    m_sppLinks[address] = SppLink{watch, port, ++m_sppCount};
    m_sppAwaiting.erase(address);
    LinkUpLocked(address, KOBALT_SERVICE_SPP);
}

// BlueZ answers ConnectProfile once it has handed the socket to NewConnection; should the reply
// come first, the connection waits for the socket, a bounded time.
void BluezBackend::AwaitSppSocketLocked(const Address& address) {
    if (m_links.count({address, KOBALT_SERVICE_SPP}) != 0) {
        return;
    }
    m_sppAwaiting[address] = std::chrono::steady_clock::now() + kCallTimeout;
    m_sppWatch.Set(kCallTimeout, [this] { SppWaitOver(); });
}

void BluezBackend::SppWaitOver() {
    std::lock_guard lock(m_mutex);
    const auto now = std::chrono::steady_clock::now();
    std::optional<std::chrono::steady_clock::time_point> next;
    for (auto waiting = m_sppAwaiting.begin(); waiting != m_sppAwaiting.end();) {
        if (waiting->second <= now) {
            Log("BlueZ connected SPP but handed over no socket");
            const Address address = waiting->first;
            waiting = m_sppAwaiting.erase(waiting);
            LinkFailedLocked(address, KOBALT_SERVICE_SPP);
        } else {
            next = next ? std::min(*next, waiting->second) : waiting->second;
            ++waiting;
        }
    }
    if (next) {
        m_sppWatch.Set(*next - now, [this] { SppWaitOver(); });
    }
}

void BluezBackend::OnSppDisconnect(const sdbus::ObjectPath& device) {
    std::lock_guard lock(m_mutex);
    const auto found = m_devices.find(device);
    if (found != m_devices.end()) {
        LinkDownLocked(found->second.address, KOBALT_SERVICE_SPP);
    }
}

int BluezBackend::GetClientPort() {
    std::lock_guard lock(m_mutex);
    if (!m_session) {
        return sim::kErrNotInitialised;
    }
    // The port of the SPP link that came up last.
    const SppLink* last = nullptr;
    for (const auto& [address, link] : m_sppLinks) {
        if (last == nullptr || link.order > last->order) {
            last = &link;
        }
    }
    return last != nullptr ? last->port : sim::kErrNotConnected;
}

// Hands-free calls through oFono

void BluezBackend::PostHfLocked(const std::vector<HfSignal>& signals) {
    if (m_hfCallback == nullptr) {
        return;
    }
    for (const HfSignal& signal : signals) {
        if (signal.text) {
            m_events.Post(sim::HfEvent{m_hfCallback, signal.code, sim::HfData::Text,
                                       m_texts.Intern(*signal.text)});
        } else {
            m_events.Post(sim::HfEvent{m_hfCallback, signal.code, sim::HfData::None, nullptr});
        }
    }
}

void BluezBackend::PostLevelLocked(uint32_t code, uint8_t level) {
    if (m_hfCallback != nullptr) {
        m_events.Post(sim::HfEvent{m_hfCallback, code, sim::HfData::Level, &kLevels[level]});
    }
}

// oFono reports a ringing call once; the console expects the report again while it rings.
void BluezBackend::RingAgainLater() {
    const auto delay =
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(kRingRepeat * m_timeScale);
    m_ringer.Set(delay, [this] {
        std::lock_guard lock(m_mutex);
        for (const auto& [path, info] : m_calls) {
            if (info.state == CallState::Incoming) {
                PostHfLocked(CallAddedSignals(info.state, info.number));
                RingAgainLater();
                return;
            }
        }
    });
}

void BluezBackend::DropHandsFreeLocked() {
    std::vector<Link> hf;
    for (const Link& link : m_links) {
        if (link.second == KOBALT_SERVICE_HF) {
            hf.push_back(link);
        }
    }
    for (const Link& link : hf) {
        LinkDownLocked(link.first, link.second); // ends the calls too
    }
    if (!m_hfModem.empty()) {
        LinkFailedLocked(m_hfAddress, KOBALT_SERVICE_HF); // still being set up
    }
    m_hfModem.clear();
    m_calls.clear();
}

void BluezBackend::HfLinkUpLocked() {
    m_readyWatch.Cancel();
    if (m_pending.count({m_hfAddress, KOBALT_SERVICE_HF}) != 0) {
        LinkUpLocked(m_hfAddress, KOBALT_SERVICE_HF);
    }
}

void BluezBackend::OnOfonoSignal(sdbus::Message& message) {
    const std::string iface = message.getInterfaceName();
    const std::string member = message.getMemberName();
    const std::string path = message.getPath();
    if (iface == kAudioManagerIface) {
        OnAudioManagerSignal(message);
        return;
    }
    std::lock_guard lock(m_mutex);
    if (!m_session || m_hfModem.empty()) {
        return;
    }
    if (iface == "org.ofono.Manager" && member == "ModemRemoved") {
        sdbus::ObjectPath modem;
        message >> modem;
        if (modem == m_hfModem) {
            Log("oFono removed its hands-free modem " + m_hfModem +
                ": the link to the phone is lost");
            DropHandsFreeLocked();
        }
        return;
    }
    if (iface == "org.ofono.VoiceCallManager" && member == "CallRemoved") {
        // Known calls only; oFono sends this from the modem, some stand-ins from the call.
        sdbus::ObjectPath call;
        message >> call;
        const auto found = m_calls.find(call);
        if (found != m_calls.end()) {
            const CallState state = found->second.state;
            m_calls.erase(found);
            PostHfLocked(CallRemovedSignals(state, !m_calls.empty()));
            // The call's proxy goes too, so a long session does not gather one per call; after
            // this handler, as the loop runs its jobs outside the message being handled.
            Session* session = m_session.get();
            session->Post([session, call] { session->proxies.erase({kOfono, call}); });
        }
        return;
    }
    if (iface == "org.ofono.VoiceCall" && member == "PropertyChanged") {
        if (m_calls.count(path) != 0) {
            std::string name;
            sdbus::Variant value;
            message >> name >> value;
            CallChangedLocked(path, name, value);
        }
        return;
    }
    if (path != m_hfModem) {
        return;
    }
    if (iface == "org.ofono.VoiceCallManager" && member == "CallAdded") {
        sdbus::ObjectPath call;
        Properties properties;
        message >> call >> properties;
        if (m_calls.count(call) != 0) {
            // oFono adds a call once; a second CallAdded is taken as a change of the known call,
            // so the console does not hear of a second call that is not there.
            Log("CallAdded for the known call " + call + ": taken as a change");
            for (const char* name : {"LineIdentification", "State"}) {
                if (const auto value = properties.find(name); value != properties.end()) {
                    CallChangedLocked(call, name, value->second);
                }
            }
            return;
        }
        const std::optional<std::string> state = Get<std::string>(properties, "State");
        CallInfo info{
            ParseCallState(state.value_or("")),
            CleanPhoneText(Get<std::string>(properties, "LineIdentification").value_or(""),
                           kMaxPhoneTextBytes)};
        if (info.state == CallState::Unknown) {
            // Kept without an event: its first known State reports it.
            Log("CallAdded " + call + " without a known State (" +
                (state ? "\"" + CleanPhoneText(*state, kMaxPhoneTextBytes) + "\""
                       : std::string(properties.count("State") != 0 ? "not a string" : "none")) +
                ")");
        }
        info.incoming = info.state == CallState::Incoming || info.state == CallState::Waiting;
        info.multiparty = Get<bool>(properties, "Multiparty").value_or(false);
        PostHfLocked(CallAddedSignals(info.state, info.number));
        if (info.state == CallState::Incoming) {
            RingAgainLater();
        }
        m_calls[call] = std::move(info);
    } else if (member == "PropertyChanged") {
        std::string name;
        sdbus::Variant value;
        message >> name >> value;
        if (iface == "org.ofono.Modem" && (name == "Powered" || name == "Online") &&
            value.containsValueOfType<bool>() && !value.get<bool>()) {
            // The phone's end of the link closed: oFono keeps the modem, powered off, and
            // drops its calls without CallRemoved.
            Log("oFono's hands-free modem " + m_hfModem + " is off: the link to the phone is lost");
            DropHandsFreeLocked();
        } else if (iface == "org.ofono.Modem" && name == "Interfaces" &&
                   value.containsValueOfType<std::vector<std::string>>()) {
            ModemInterfacesLocked(value.get<std::vector<std::string>>());
        } else if (m_hfReady) {
            IndicatorLocked(iface, name, value);
        }
    }
}

void BluezBackend::WatchModemReady(const std::shared_ptr<Session>& session,
                                   const std::string& modem) {
    m_readyWatch.Set(kCallTimeout, [this, session, modem] {
        std::lock_guard lock(m_mutex);
        if (m_session == session && m_hfModem == modem && !m_hfReady) {
            Log("oFono has not set up the hands-free modem " + modem +
                " within 10 s: the link is reported up as bluetoothd has it");
            HfLinkUpLocked();
        }
    });
    Request<Properties>(
        session, kOfono, modem, "org.ofono.Modem", "GetProperties", kCallTimeout, std::tuple<>{},
        [this, session, modem](const sdbus::Error* error, Properties properties) {
            std::lock_guard lock(m_mutex);
            if (m_session != session || m_hfModem != modem) {
                return;
            }
            if (error != nullptr) {
                // No oFono to ask: the link is up as far as bluetoothd can tell.
                Log("GetProperties of " + modem + " fails: " + Brief(*error));
                HfLinkUpLocked();
                return;
            }
            ModemInterfacesLocked(Get<std::vector<std::string>>(properties, "Interfaces")
                                      .value_or(std::vector<std::string>{}));
        });
}

void BluezBackend::ModemInterfacesLocked(const std::vector<std::string>& interfaces) {
    if (m_hfReady || std::find(interfaces.begin(), interfaces.end(),
                               "org.ofono.VoiceCallManager") == interfaces.end()) {
        return;
    }
    m_hfReady = true;
    HfLinkUpLocked();
    ReadCardsLocked();
    ReadIndicators(m_session, m_hfModem, {"org.ofono.NetworkRegistration", "org.ofono.Handsfree"},
                   0);
}

void BluezBackend::ReadIndicators(const std::shared_ptr<Session>& session, const std::string& modem,
                                  std::vector<std::string> ifaces, int attempt) {
    if (ifaces.empty()) {
        return;
    }
    const std::string iface = ifaces.front();
    Request<Properties>(
        session, kOfono, modem, iface, "GetProperties", kCallTimeout, std::tuple<>{},
        [this, session, modem, ifaces, attempt](const sdbus::Error* error,
                                                Properties properties) mutable {
            std::lock_guard lock(m_mutex);
            if (m_session != session || m_hfModem != modem) {
                return;
            }
            if (IsBusy(error) && attempt < kBusyRetries) {
                m_readRetry.Set(kBusyRetry, [this, session, modem, ifaces, attempt] {
                    ReadIndicators(session, modem, ifaces, attempt + 1);
                });
                return;
            }
            if (error != nullptr) {
                Log("GetProperties of " + ifaces.front() + " fails: " + Brief(*error));
            }
            for (const auto& [name, value] : properties) {
                IndicatorLocked(ifaces.front(), name, value);
            }
            ifaces.erase(ifaces.begin());
            ReadIndicators(session, modem, std::move(ifaces), 0);
        });
}

void BluezBackend::IndicatorLocked(const std::string& iface, const std::string& name,
                                   const sdbus::Variant& value) {
    std::optional<std::string> text;
    std::optional<uint8_t> level;
    if (value.containsValueOfType<std::string>()) {
        text = value.get<std::string>();
    } else if (value.containsValueOfType<uint8_t>()) {
        level = value.get<uint8_t>();
    }
    const bool registration = iface == "org.ofono.NetworkRegistration";
    const bool known = (registration && (name == "Status" || name == "Name") && text) ||
                       (registration && name == "Strength" && level) ||
                       (iface == "org.ofono.Handsfree" && name == "BatteryChargeLevel" && level);
    if (!known) {
        return;
    }
    std::string& shown = m_indicators[iface + " " + name];
    const std::string now = text ? *text : std::to_string(*level);
    // Until oFono has read the phone's indicators its registration reads "unknown" or
    // "unregistered": the first status the console is shown is a service the phone reported.
    if (shown == now ||
        (name == "Status" && shown.empty() && now != "registered" && now != "roaming")) {
        return;
    }
    shown = now;
    if (name == "Status") {
        PostHfLocked(RegistrationSignals(*text));
    } else if (name == "Name") {
        if (!text->empty()) { // oFono clears the name while there is no service
            PostHfLocked({{21, CleanPhoneText(*text, kMaxPhoneTextBytes)}});
        }
    } else if (name == "Strength") {
        PostLevelLocked(17, SignalLevel(*level));
    } else {
        PostLevelLocked(18, std::min<uint8_t>(*level, 5));
    }
}

void BluezBackend::CallChangedLocked(const std::string& path, const std::string& name,
                                     const sdbus::Variant& value) {
    CallInfo& call = m_calls.at(path);
    if (name == "State" && value.containsValueOfType<std::string>()) {
        const CallState after = ParseCallState(value.get<std::string>());
        // oFono reports "disconnected" just before CallRemoved; the call keeps the state it
        // ended in, which decides how its end is reported (a waiting call's is not a hang-up).
        if (after == CallState::Disconnected) {
            return;
        }
        if (after == CallState::Unknown) {
            // The call keeps the state the console knows, so the commands still find it.
            Log("ignored the unknown state \"" +
                CleanPhoneText(value.get<std::string>(), kMaxPhoneTextBytes) + "\" of " + path);
            return;
        }
        // A call added without a known state is reported as new once it has one.
        if (call.state == CallState::Unknown) {
            call.incoming = after == CallState::Incoming || after == CallState::Waiting;
            PostHfLocked(CallAddedSignals(after, call.number));
            if (after == CallState::Incoming) {
                RingAgainLater();
            }
        } else {
            PostHfLocked(CallChangedSignals(call.state, after));
        }
        call.state = after;
    } else if (name == "LineIdentification" && value.containsValueOfType<std::string>()) {
        call.number = CleanPhoneText(value.get<std::string>(), kMaxPhoneTextBytes);
    } else if (name == "Multiparty" && value.containsValueOfType<bool>()) {
        call.multiparty = value.get<bool>();
    }
}

ResultCode BluezBackend::Dial(const char* number, int length) {
    if (number == nullptr || length <= 0) {
        return sim::kErrBadArgument;
    }
    const std::size_t size = strnlen(number, std::min<std::size_t>(length, kMaxDialBytes + 1));
    const std::string text(number, size);
    if (text.empty() || text.size() > kMaxDialBytes ||
        text.find_first_not_of("0123456789+*#ABCDabcdpPwW") != std::string::npos) {
        return sim::kErrBadArgument;
    }
    std::shared_ptr<Session> session;
    std::string modem;
    {
        std::lock_guard lock(m_mutex);
        if (const ResultCode ready = HfReadyLocked(); ready != sim::kOk) {
            return ready;
        }
        session = m_session;
        modem = m_hfModem;
        m_lastNumber = text;
    }
    SendOfono(session, modem, "org.ofono.VoiceCallManager", "Dial", "VoiceCallManager.Dial",
              nullptr, 0, std::make_tuple(text, std::string("default")));
    return sim::kOk;
}

ResultCode BluezBackend::TransmitDtmf(int code) {
    if (!IsDtmf(code)) {
        return sim::kErrBadArgument;
    }
    std::shared_ptr<Session> session;
    std::string modem;
    {
        std::lock_guard lock(m_mutex);
        if (const ResultCode ready = HfReadyLocked(); ready != sim::kOk) {
            return ready;
        }
        if (!HasCallLocked(CallState::Active)) {
            return sim::kErrCallState;
        }
        if (m_tones.size() >= kMaxPendingTones) {
            return sim::kErrBusy;
        }
        m_tones += static_cast<char>(code);
        if (!m_tonesSending) {
            SendTonesLocked();
        }
    }
    return sim::kOk;
}

// oFono refuses SendTones (InProgress) while tones it was sent before are still going out: the
// keys pressed meanwhile wait and go in one call when it answers.
void BluezBackend::SendTonesLocked() {
    const std::shared_ptr<Session> session = m_session;
    const std::string modem = m_hfModem;
    m_tonesSending = true;
    m_lastTones = std::chrono::steady_clock::now();
    const std::chrono::microseconds timeout = OfonoTimeout(kCallTimeout);
    Send(
        session, kOfono, modem, "org.ofono.VoiceCallManager", "SendTones", timeout,
        [this, session, modem, timeout](const sdbus::Error* error) {
            std::lock_guard lock(m_mutex);
            if (m_session != session || m_hfModem != modem) {
                return;
            }
            if (error != nullptr) {
                Log("oFono's VoiceCallManager.SendTones fails: " + Brief(*error) +
                    Unanswered(*error, timeout));
            }
            m_tonesSending = false;
            m_lastTones = std::chrono::steady_clock::now();
            if (!m_tones.empty()) {
                SendTonesLocked();
            }
        },
        std::exchange(m_tones, std::string()));
}

ResultCode BluezBackend::CallCommand(std::initializer_list<CallState> states,
                                     const std::string& method) {
    std::shared_ptr<Session> session;
    std::string call;
    {
        std::lock_guard lock(m_mutex);
        if (const ResultCode ready = HfReadyLocked(); ready != sim::kOk) {
            return ready;
        }
        // The first state listed that a call is in wins: hanging up ends the call being set up
        // before the one in progress before the one ringing.
        for (const CallState state : states) {
            for (const auto& [path, info] : m_calls) {
                if (info.state == state && call.empty()) {
                    call = path;
                }
            }
        }
        if (call.empty()) {
            return sim::kErrCallState;
        }
        session = m_session;
    }
    SendOfono(session, call, "org.ofono.VoiceCall", method, "VoiceCall." + method, &m_callRetry, 0,
              std::tuple<>{});
    return sim::kOk;
}

ResultCode
BluezBackend::ManagerCommand(std::initializer_list<std::pair<CallState, const char*>> choices) {
    std::shared_ptr<Session> session;
    std::string modem;
    std::string method;
    {
        std::lock_guard lock(m_mutex);
        if (const ResultCode ready = HfReadyLocked(); ready != sim::kOk) {
            return ready;
        }
        for (const auto& [state, name] : choices) {
            if (method.empty() && HasCallLocked(state)) {
                method = name;
            }
        }
        if (method.empty()) {
            return sim::kErrCallState;
        }
        session = m_session;
        modem = m_hfModem;
    }
    SendOfono(session, modem, "org.ofono.VoiceCallManager", method, "VoiceCallManager." + method,
              &m_callRetry, 0, std::tuple<>{});
    return sim::kOk;
}

ResultCode BluezBackend::ModemProperty(const std::string& iface, const std::string& name,
                                       bool value) {
    std::shared_ptr<Session> session;
    std::string modem;
    {
        std::lock_guard lock(m_mutex);
        if (const ResultCode ready = HfReadyLocked(); ready != sim::kOk) {
            return ready;
        }
        session = m_session;
        modem = m_hfModem;
    }
    SendOfono(session, modem, iface, "SetProperty",
              iface.substr(iface.rfind('.') + 1) + ".SetProperty " + name, &m_setRetry, 0,
              std::make_tuple(name, sdbus::Variant(value)));
    return sim::kOk;
}

ResultCode BluezBackend::CurrentCalls() {
    std::lock_guard lock(m_mutex);
    if (const ResultCode ready = HfReadyLocked(); ready != sim::kOk) {
        return ready;
    }
    // "INDEX DIRECTION STATE NUMBER", the index being oFono's (voicecallNN), as the simulated SDK
    // reports its calls.
    for (const auto& [path, info] : m_calls) {
        const std::size_t digits = path.find_last_not_of("0123456789") + 1;
        const std::string index = digits < path.size() ? path.substr(digits) : "0";
        PostHfLocked({{26, std::to_string(std::stoi(index.substr(0, 4))) + " " +
                               (info.incoming ? "incoming " : "outgoing ") +
                               std::string(CallStateName(info.state)) + " " + info.number}});
    }
    return sim::kOk;
}

// Hands-free audio through oFono's HandsfreeAudioManager. The library registers an agent; a
// HandsfreeAudioCard.Connect on the hands-free phone's card (Transfer), or the phone itself,
// makes oFono open the SCO link and hand its socket to the agent's NewConnection: the call
// audio is in the car (event 3) while the loop holds that socket. Closing it (TransferBack, the
// agent's Release, the card or the link going, KOBALT_UnInit) or the phone hanging it up puts
// the audio back on the phone (event 4). The library carries no samples itself: an audio stack
// reading the socket is the audio driver's business.

std::chrono::microseconds BluezBackend::OfonoTimeout(std::chrono::microseconds base) const {
    const auto scaled = std::chrono::duration_cast<std::chrono::microseconds>(base * m_timeScale);
    return std::max<std::chrono::microseconds>(scaled, kMinOfonoTimeout);
}

std::string BluezBackend::Unanswered(const sdbus::Error& error, std::chrono::microseconds timeout) {
    if (error.getName() != "org.freedesktop.DBus.Error.NoReply") {
        return {};
    }
    const auto bound = std::chrono::duration_cast<std::chrono::milliseconds>(timeout);
    return " (no answer within " + std::to_string(bound.count()) + " ms)";
}

template <class... Args>
void BluezBackend::SendOfono(const std::shared_ptr<Session>& session, const std::string& path,
                             const std::string& iface, const std::string& method, std::string what,
                             Deadline* retry, int attempt, std::tuple<Args...> arguments) {
    const std::chrono::microseconds timeout = OfonoTimeout(kCallTimeout);
    auto done = [this, session, path, iface, method, what, retry, attempt, timeout,
                 arguments](const sdbus::Error* error) {
        if (error == nullptr) {
            return;
        }
        std::lock_guard lock(m_mutex);
        if (m_session != session) {
            return;
        }
        if (retry != nullptr && IsBusy(error) && attempt < kBusyRetries) {
            retry->Set(
                kBusyRetry, [this, session, path, iface, method, what, retry, attempt, arguments] {
                    SendOfono(session, path, iface, method, what, retry, attempt + 1, arguments);
                });
            return;
        }
        Log("oFono's " + what + " fails: " + Brief(*error) + Unanswered(*error, timeout) +
            (error->getName() == "org.ofono.Error.NotImplemented"
                 ? " (oFono's hands-free driver does not offer it)"
                 : ""));
    };
    std::apply(
        [&](const auto&... each) {
            Send(session, kOfono, path, iface, method, timeout, std::move(done), each...);
        },
        arguments);
}

ResultCode BluezBackend::ExportAudioAgent(Session& session) {
    try {
        session.audioAgent = sdbus::createObject(*session.connection, kAudioAgentPath);
        constexpr const char* agent = "org.ofono.HandsfreeAudioAgent";
        session.audioAgent->registerMethod("NewConnection")
            .onInterface(agent)
            .implementedAs([this](const sdbus::ObjectPath& card, sdbus::UnixFd fd, uint8_t codec) {
                OnAudioConnection(card, std::move(fd), codec);
            });
        session.audioAgent->registerMethod("Release").onInterface(agent).implementedAs(
            [this] { OnAudioRelease(); });
        session.audioAgent->finishRegistration();
    } catch (const sdbus::Error& error) {
        Log("hands-free audio is unavailable: cannot export its agent: " + Brief(error));
        session.audioAgent.reset();
        return sim::kErrDaemonFailed;
    }
    return sim::kOk;
}

void BluezBackend::RegisterAudioAgent(const std::shared_ptr<Session>& session) {
    {
        std::lock_guard lock(m_mutex);
        if (m_session != session || !session->audioAgent ||
            m_audioAgent == AudioAgent::Registering) {
            return;
        }
        m_audioAgent = AudioAgent::Registering;
        m_cards.clear();
    }
    Send(
        session, kOfono, "/", kAudioManagerIface, "Register", OfonoTimeout(kCallTimeout),
        [this, session](const sdbus::Error* error) { OnAudioRegistered(session, error); },
        sdbus::ObjectPath(kAudioAgentPath), std::vector<uint8_t>{kCodecCvsd});
}

void BluezBackend::OnAudioRegistered(const std::shared_ptr<Session>& session,
                                     const sdbus::Error* error) {
    {
        std::lock_guard lock(m_mutex);
        if (m_session != session || m_audioAgent != AudioAgent::Registering) {
            return;
        }
        if (error != nullptr) {
            m_audioAgent = AudioAgent::Off;
            Log("hands-free audio is unavailable (the call audio stays on the phone): "
                "HandsfreeAudioManager.Register fails: " +
                Brief(*error));
            return;
        }
        m_audioAgent = AudioAgent::On;
        if (m_hfReady) {
            ReadCardsLocked();
        }
    }
}

// oFono 1.31 aborts (an invalid object path in its reply) when GetCards comes while a link's
// service-level connection is being set up: the card exists then but has no path yet. So the
// cards are read once the hands-free link is set up, when the phone's card is registered; cards
// added later come with CardAdded.
void BluezBackend::ReadCardsLocked() {
    if (m_audioAgent != AudioAgent::On || !m_session) {
        return;
    }
    const std::shared_ptr<Session> session = m_session;
    using Cards = std::vector<sdbus::Struct<sdbus::ObjectPath, Properties>>;
    Request<Cards>(session, kOfono, "/", kAudioManagerIface, "GetCards", OfonoTimeout(kCallTimeout),
                   std::make_tuple(),
                   [this, session](const sdbus::Error* failure, const Cards& cards) {
                       std::lock_guard lock(m_mutex);
                       if (m_session != session) {
                           return;
                       }
                       if (failure != nullptr) {
                           Log("HandsfreeAudioManager.GetCards fails: " + Brief(*failure) +
                               "; cards are known as oFono adds them");
                           return;
                       }
                       for (const auto& card : cards) {
                           AddCardLocked(card.get<0>(), card.get<1>());
                       }
                   });
}

void BluezBackend::AddCardLocked(const std::string& path, const Properties& properties) {
    const std::optional<Address> phone = AudioCardPhone(
        Get<std::string>(properties, "Type"), Get<std::string>(properties, "RemoteAddress"));
    if (!phone) {
        Log("ignored the audio card " + path +
            ": not a phone's gateway with a valid RemoteAddress");
        return;
    }
    m_cards[path] = *phone;
}

std::string BluezBackend::HfCardLocked() const {
    const std::optional<Address> phone = HfPhoneLocked();
    for (const auto& [path, address] : m_cards) {
        if (phone && address == *phone) {
            return path;
        }
    }
    return {};
}

void BluezBackend::OnAudioManagerSignal(sdbus::Message& message) {
    const std::string member = message.getMemberName();
    sdbus::ObjectPath card;
    Properties properties;
    message >> card;
    if (member == "CardAdded") {
        message >> properties;
    }
    std::lock_guard lock(m_mutex);
    if (!m_session || m_audioAgent != AudioAgent::On) {
        return;
    }
    if (member == "CardAdded") {
        AddCardLocked(card, properties);
    } else if (member == "CardRemoved") {
        if (!card.empty() && card == HfCardLocked()) {
            DropAudioLocked("the phone's audio card " + card + " was removed");
        }
        m_cards.erase(card);
    }
}

int BluezBackend::AudioStatus() {
    std::lock_guard lock(m_mutex);
    if (const ResultCode ready = HfReadyLocked(); ready != sim::kOk) {
        return ready;
    }
    return m_audioLink != 0 ? 1 : 0;
}

ResultCode BluezBackend::Transfer() {
    std::shared_ptr<Session> session;
    std::string card;
    uint64_t id = 0;
    {
        std::lock_guard lock(m_mutex);
        if (const ResultCode ready = HfReadyLocked(); ready != sim::kOk) {
            return ready;
        }
        if (m_calls.empty() || m_audioLink != 0) {
            return sim::kErrCallState; // as in the simulated SDK: a call, its audio on the phone
        }
        if (m_audioConnect != 0) {
            return sim::kErrBusy;
        }
        card = m_audioAgent == AudioAgent::On ? HfCardLocked() : std::string();
        if (card.empty()) {
            Log(m_audioAgent == AudioAgent::On
                    ? "audio transfer: oFono has no audio card of the hands-free phone"
                    : "audio transfer: hands-free audio is unavailable (no agent registered "
                      "with oFono)");
            return sim::kErrNoService;
        }
        id = m_audioConnect = ++m_audioIds;
        session = m_session;
    }
    Send(session, kOfono, card, kAudioCardIface, "Connect", OfonoTimeout(kAudioTimeout),
         [this, session, id](const sdbus::Error* error) {
             OnAudioConnectReply(session, id, error);
         });
    return sim::kOk;
}

void BluezBackend::OnAudioConnectReply(const std::shared_ptr<Session>& session, uint64_t id,
                                       const sdbus::Error* error) {
    std::lock_guard lock(m_mutex);
    if (m_session != session || m_audioConnect != id) {
        return; // given up meanwhile (the link, the card or the stack went)
    }
    m_audioConnect = 0;
    if (m_audioLink != 0) {
        if (error != nullptr) { // the socket came all the same: the audio is in the car
            Log("HandsfreeAudioCard.Connect fails after the audio came: " + Brief(*error));
        }
        return;
    }
    Log("audio transfer to the car fails: " +
        (error != nullptr ? "HandsfreeAudioCard.Connect: " + Brief(*error) +
                                Unanswered(*error, OfonoTimeout(kAudioTimeout))
                          : std::string("oFono answered but handed the agent no audio socket")));
    PostHfLocked({{kHfAudioDown, {}}});
}

void BluezBackend::OnAudioConnection(const sdbus::ObjectPath& card, sdbus::UnixFd fd,
                                     uint8_t codec) {
    std::lock_guard lock(m_mutex);
    if (!m_session || m_audioAgent != AudioAgent::On) {
        throw sdbus::Error("org.ofono.Error.NotAvailable", "the library has no audio agent now");
    }
    if (card.empty() || card != HfCardLocked()) {
        Log("refused an audio connection of " + card + ": not the hands-free phone's card");
        throw sdbus::Error("org.ofono.Error.InvalidArguments", "not the hands-free phone's card");
    }
    if (codec != kCodecCvsd && codec != kCodecMsbc) {
        Log("refused an audio connection with the unknown codec " + std::to_string(codec));
        throw sdbus::Error("org.ofono.Error.InvalidArguments", "unknown codec");
    }
    Session* session = m_session.get();
    const uint64_t previous = m_audioLink;
    m_audioLink =
        session->WatchHangUp(std::move(fd), [this](uint64_t link) { OnAudioHangup(link); });
    if (previous != 0) {
        session->Unwatch(previous); // the phone opened a new link: the newer one carries the audio
        return;
    }
    PostHfLocked({{kHfAudioUp, {}}});
}

void BluezBackend::OnAudioHangup(uint64_t link) {
    std::lock_guard lock(m_mutex);
    if (m_audioLink != link) {
        return;
    }
    m_audioLink = 0;
    Log("the phone closed the audio link: the call audio is on the phone");
    PostHfLocked({{kHfAudioDown, {}}});
}

void BluezBackend::OnAudioRelease() {
    std::lock_guard lock(m_mutex);
    if (!m_session || m_audioAgent == AudioAgent::Off) {
        return;
    }
    Log("oFono released the hands-free audio agent: audio transfer is unavailable");
    DropAudioLocked("the audio agent was released");
    m_audioAgent = AudioAgent::Off;
    m_cards.clear();
}

void BluezBackend::DropAudioLocked(const std::string& why) {
    if (m_audioLink == 0 && m_audioConnect == 0) {
        return;
    }
    if (!why.empty()) {
        Log(why + ": the call audio is on the phone");
    }
    if (m_audioLink != 0 && m_session) {
        Session* session = m_session.get();
        session->Post([session, link = m_audioLink] { session->Unwatch(link); });
    }
    m_audioLink = 0;
    m_audioConnect = 0;
    PostHfLocked({{kHfAudioDown, {}}});
}

ResultCode BluezBackend::TransferBack() {
    std::lock_guard lock(m_mutex);
    if (const ResultCode ready = HfReadyLocked(); ready != sim::kOk) {
        return ready;
    }
    if (m_audioLink == 0) {
        return sim::kErrCallState; // the audio is on the phone already
    }
    DropAudioLocked("");
    return sim::kOk;
}

void BluezBackend::OfonoStarted() {
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return;
        }
        m_audioAgent = AudioAgent::Off; // an earlier oFono's registration is gone with it
        session = m_session;
    }
    RegisterAudioAgent(session);
}

// AVRCP through the device's media player and transport

ResultCode BluezBackend::AvrcpCommand(Avrcp command) {
    std::shared_ptr<Session> session;
    std::string target;
    uint16_t volume = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        const bool volumeCommand = command == Avrcp::VolumeUp || command == Avrcp::VolumeDown;
        const auto& objects = volumeCommand ? m_transports : m_players;
        for (const auto& [path, device] : objects) {
            const auto found = m_devices.find(device);
            // The console connects the target service (0x110C) when neither is up.
            if (found != m_devices.end() &&
                (m_links.count({found->second.address, KOBALT_SERVICE_AVRCP}) != 0 ||
                 m_links.count({found->second.address, KOBALT_SERVICE_AVRCP_TARGET}) != 0)) {
                target = path;
                break;
            }
        }
        if (target.empty()) {
            return sim::kErrNotConnected;
        }
        if (volumeCommand) {
            constexpr int kStep = 8;
            const int now = m_transportVolume[target];
            volume = static_cast<uint16_t>(
                std::clamp(now + (command == Avrcp::VolumeUp ? kStep : -kStep), 0, 127));
            m_transportVolume[target] = volume;
        }
        session = m_session;
    }
    switch (command) {
    case Avrcp::VolumeUp:
    case Avrcp::VolumeDown:
        SendProperty(session, kBluez, target, kTransportIface, "Volume", sdbus::Variant(volume));
        return sim::kOk;
    case Avrcp::Play:
        Send(session, kBluez, target, kPlayerIface, "Play", kCallTimeout, nullptr);
        return sim::kOk;
    case Avrcp::Pause:
        Send(session, kBluez, target, kPlayerIface, "Pause", kCallTimeout, nullptr);
        return sim::kOk;
    case Avrcp::Stop:
        Send(session, kBluez, target, kPlayerIface, "Stop", kCallTimeout, nullptr);
        return sim::kOk;
    case Avrcp::Next:
        Send(session, kBluez, target, kPlayerIface, "Next", kCallTimeout, nullptr);
        return sim::kOk;
    case Avrcp::Previous:
        Send(session, kBluez, target, kPlayerIface, "Previous", kCallTimeout, nullptr);
        return sim::kOk;
    }
    return sim::kErrBadArgument;
}

// Phonebook and call logs: obexd's PBAP client

template <class... Results, class... Args>
void BluezBackend::Request(
    const std::shared_ptr<Session>& session, const std::string& service, const std::string& path,
    const std::string& iface, const std::string& method, std::chrono::microseconds timeout,
    std::tuple<Args...> arguments,
    std::type_identity_t<std::function<void(const sdbus::Error*, Results...)>> done) {
    session->Post([session = session.get(), service, path, iface, method, timeout,
                   arguments = std::move(arguments), done]() mutable {
        try {
            sdbus::AsyncMethodInvoker call = session->Proxy(service, path).callMethodAsync(method);
            call.onInterface(iface).withTimeout(timeout);
            std::apply([&call](auto&... each) { call.withArguments(each...); }, arguments);
            call.uponReplyInvoke([done, method](const sdbus::Error* error, Results... results) {
                try {
                    done(error, std::move(results)...);
                } catch (const std::exception& failure) {
                    Log(method + " reply: " + failure.what());
                }
            });
        } catch (const sdbus::Error& error) {
            Log(method + " on " + path + " cannot be sent: " + Brief(error));
            done(&error, Results{}...);
        }
    });
}

std::optional<std::string> BluezBackend::ObexFolderLocked() {
    if (m_obexFolder.empty()) {
        std::string problem;
        if (std::optional<std::string> folder = PrivateObexFolder(problem)) {
            m_obexFolder = std::move(*folder);
        } else {
            Log("no private folder for obexd's files: " + problem);
            return std::nullopt;
        }
    }
    return m_obexFolder;
}

ResultCode BluezBackend::StartPull(bool badArgument, PullKind kind, sim::CalllogType type) {
    std::shared_ptr<Session> session;
    std::optional<Pull> replaced;
    Pull pull;
    std::string phone;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        if (badArgument) {
            PostPimLocked(KOBALT_PARAM_INVALID);
            return sim::kErrBadArgument;
        }
        const std::optional<Address> address = HfPhoneLocked();
        if (!address) {
            PostPimLocked(KOBALT_NO_CONN);
            return sim::kErrNotConnected;
        }
        // A call-log download replaces a running one; anything else waits for the first.
        if (m_pull && (kind == PullKind::Contacts || m_pull->kind == PullKind::Contacts)) {
            PostPimLocked(KOBALT_CALL_ALREADYEXIST);
            return sim::kErrBusy;
        }
        const std::optional<std::string> folder = ObexFolderLocked();
        if (!folder || !m_session->obex) {
            PostPimLocked(KOBALT_PIM_FAIL);
            return sim::kOk;
        }
        replaced = std::move(m_pull);
        pull.id = ++m_pulls;
        pull.kind = kind;
        pull.type = type;
        pull.folder = *folder;
        pull.file =
            *folder + "/pull-" + std::to_string(getpid()) + "-" + std::to_string(pull.id) + ".vcf";
        m_pull = pull;
        session = m_session;
        phone = sim::FormatAddress(*address);
    }
    if (replaced) {
        EndPull(session, *replaced);
    }
    WatchPull(pull.id);
    Request<sdbus::ObjectPath>(
        session, kObex, kObexManagerPath, "org.bluez.obex.Client1", "CreateSession", kCallTimeout,
        std::make_tuple(phone, Properties{{"Target", sdbus::Variant(std::string("PBAP"))}}),
        [this, session, id = pull.id](const sdbus::Error* error, const sdbus::ObjectPath& path) {
            OnPbapSession(session, id, error, path);
        });
    return sim::kOk;
}

void BluezBackend::OnPbapSession(const std::shared_ptr<Session>& session, uint64_t id,
                                 const sdbus::Error* error, const sdbus::ObjectPath& path) {
    std::string object;
    {
        std::lock_guard lock(m_mutex);
        if (!PullIsLocked(session, id)) {
            if (error == nullptr && m_session == session) { // stopped meanwhile
                Pull stopped;
                stopped.session = path;
                EndPull(session, stopped);
            }
            return;
        }
        if (error != nullptr) {
            FailPullLocked("CreateSession fails: " + Brief(*error));
            return;
        }
        m_pull->session = path;
        object = m_pull->kind == PullKind::Contacts ? "pb" : std::string(PbapCalllog(m_pull->type));
    }
    Send(
        session, kObex, path, "org.bluez.obex.PhonebookAccess1", "Select", kCallTimeout,
        [this, session, id](const sdbus::Error* failure) { OnPbapSelected(session, id, failure); },
        std::string("int"), object);
}

void BluezBackend::OnPbapSelected(const std::shared_ptr<Session>& session, uint64_t id,
                                  const sdbus::Error* error) {
    std::string path;
    std::string file;
    {
        std::lock_guard lock(m_mutex);
        if (!PullIsLocked(session, id)) {
            return;
        }
        if (error != nullptr) {
            FailPullLocked("Select fails: " + Brief(*error));
            return;
        }
        path = m_pull->session;
        file = m_pull->file;
        m_pull->starting = true;
    }
    // Only what the records hold: a phone's photos would make the transfer long for nothing.
    const Properties filters{
        {"Format", sdbus::Variant(std::string("vcard30"))},
        {"Fields", sdbus::Variant(std::vector<std::string>{"VERSION", "FN", "N", "TEL"})}};
    Request<sdbus::ObjectPath, Properties>(
        session, kObex, path, "org.bluez.obex.PhonebookAccess1", "PullAll", kCallTimeout,
        std::make_tuple(file, filters),
        [this, session, id](const sdbus::Error* failure, const sdbus::ObjectPath& transfer,
                            const Properties& properties) {
            OnPullStarted(session, id, failure, transfer, properties);
        });
}

void BluezBackend::OnPullStarted(const std::shared_ptr<Session>& session, uint64_t id,
                                 const sdbus::Error* error, const sdbus::ObjectPath& transfer,
                                 const Properties& properties) {
    {
        std::lock_guard lock(m_mutex);
        if (!PullIsLocked(session, id)) {
            return;
        }
        if (error != nullptr) {
            FailPullLocked("PullAll fails: " + Brief(*error));
            return;
        }
        m_pull->transfer = transfer;
        m_pull->starting = false;
        if (m_pull->linkLost) {
            FailPullLocked("the hands-free link went down");
            return;
        }
        // obexd names the file it writes; a daemon may choose another than the one asked for.
        if (std::optional<std::string> file = Get<std::string>(properties, "Filename");
            file && !file->empty()) {
            m_pull->file = std::move(*file);
        }
        if (const std::optional<std::string> status = Get<std::string>(properties, "Status")) {
            TransferStatusLocked(transfer, *status);
        }
    }
    WatchPull(id);
}

void BluezBackend::WatchPull(uint64_t id) {
    m_pullWatch.Set(kTransferIdle, [this, id] {
        std::lock_guard lock(m_mutex);
        if (m_pull && m_pull->id == id && !m_pull->reading) {
            FailPullLocked("obexd reports no progress of the transfer");
        }
    });
}

void BluezBackend::TransferStatusLocked(const std::string& transfer, const std::string& status) {
    if (m_pull && m_pull->transfer == transfer && !m_pull->reading) {
        if (status == "complete") {
            ReadPulledLocked();
        } else if (status == "error") {
            FailPullLocked("obexd reports the transfer failed");
        }
        return;
    }
    const auto push = m_pushes.find(transfer);
    if (push == m_pushes.end() || (status != "complete" && status != "error")) {
        return;
    }
    std::string file = push->second;
    m_pushes.erase(push);
    if (status == "error") {
        unlink(file.c_str());
        return;
    }
    m_files.Post(
        [this, session = m_session, file = std::move(file)] { ReadPushed(session, file); });
}

// The transfer is complete: the worker reads the file, then the records replace the held ones.
void BluezBackend::ReadPulledLocked() {
    m_pull->reading = true;
    m_pullWatch.Cancel();
    m_files.Post([this, session = m_session, pull = *m_pull] {
        std::string problem;
        const std::optional<CardsRead> read = ReadCardFile(pull.file, problem);
        if (read && read->skipped != 0) {
            Log(std::to_string(read->skipped) +
                " vCard(s) of the phone skipped; the first: " + read->problem);
        }
        std::shared_ptr<const std::vector<sim::ContactRecord>> contacts;
        std::shared_ptr<const std::vector<sim::CalllogRecord>> log;
        if (read && pull.kind == PullKind::Contacts) {
            contacts = std::make_shared<const std::vector<sim::ContactRecord>>(
                ContactRecords(read->contacts));
        } else if (read) {
            log = std::make_shared<const std::vector<sim::CalllogRecord>>(
                CalllogRecords(pull.type, read->contacts));
        }
        {
            std::lock_guard lock(m_mutex);
            if (!PullIsLocked(session, pull.id)) {
                return; // stopped, replaced or the stack went down meanwhile: EndPull cleaned up
            }
            if (!read) {
                FailPullLocked("cannot read what obexd wrote: " + problem);
                return;
            }
            if (contacts) {
                m_heldContacts = std::move(contacts);
                PostPimLocked(KOBALT_PIM_CONTACTS_DONE);
            } else {
                m_heldLog = std::move(log);
                PostPimLocked(KOBALT_PIM_CALLLOG_DONE);
            }
            m_pull.reset();
        }
        EndPull(session, pull);
    });
}

void BluezBackend::FailPullLocked(const std::string& why) {
    Log("the phonebook download fails: " + why);
    PostPimLocked(KOBALT_PIM_FAIL);
    const Pull pull = *m_pull;
    m_pull.reset();
    m_pullWatch.Cancel();
    EndPull(m_session, pull);
}

// Cancels the download's transfer, closes its obexd session and removes its file. Errors are
// expected (the transfer may have ended already) and not reported.
void BluezBackend::EndPull(const std::shared_ptr<Session>& session, const Pull& pull) {
    const auto quiet = [](const sdbus::Error*) {};
    if (!pull.transfer.empty() && !pull.reading) {
        Send(session, kObex, pull.transfer, kTransferIface, "Cancel", kCallTimeout, quiet);
    }
    if (!pull.session.empty()) {
        Send(session, kObex, kObexManagerPath, "org.bluez.obex.Client1", "RemoveSession",
             kCallTimeout, quiet, sdbus::ObjectPath(pull.session));
    }
    if (FileOfOurs(pull)) {
        unlink(pull.file.c_str());
    }
}

ResultCode BluezBackend::StopUpdate() {
    std::shared_ptr<Session> session;
    std::optional<Pull> pull;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        session = m_session;
        pull = std::move(m_pull);
        m_pull.reset();
    }
    m_pullWatch.Cancel();
    if (pull) {
        EndPull(session, *pull);
    }
    return sim::kOk;
}

namespace {

// The two-call protocol over records held back to back: with null `records` the count held,
// else byte copies of at most *count records and the number copied.
template <class Record>
ResultCode Serve(const std::vector<Record>* held, void* records, uint32_t* count) {
    const std::size_t size = held == nullptr ? 0 : held->size();
    if (records == nullptr) {
        *count = static_cast<uint32_t>(size);
        return sim::kOk;
    }
    const std::size_t filled = std::min<std::size_t>(*count, size);
    if (filled > 0) {
        std::memcpy(records, held->data(), filled * sizeof(Record));
    }
    *count = static_cast<uint32_t>(filled);
    return sim::kOk;
}

} // namespace

template <class Record>
ResultCode
BluezBackend::ServeDownloaded(std::shared_ptr<const std::vector<Record>> BluezBackend::*downloaded,
                              void* records, uint32_t* count) {
    std::shared_ptr<const std::vector<Record>> held;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return sim::kErrNotInitialised;
        }
        if (count == nullptr) {
            return sim::kErrBadArgument;
        }
        held = this->*downloaded;
    }
    return Serve(held.get(), records, count);
}

ResultCode BluezBackend::GetContacts(void* records, uint32_t* count) {
    return ServeDownloaded(&BluezBackend::m_heldContacts, records, count);
}

ResultCode BluezBackend::GetCalllogs(void* records, uint32_t* count) {
    return ServeDownloaded(&BluezBackend::m_heldLog, records, count);
}

ResultCode BluezBackend::GetOppContacts(void* records, uint32_t* count) {
    std::lock_guard lock(m_mutex); // pushed contacts are few
    if (!m_session) {
        return sim::kErrNotInitialised;
    }
    if (count == nullptr) {
        return sim::kErrBadArgument;
    }
    return Serve(&m_pushed, records, count);
}

// Pushed contacts: obexd's OPP server asks the agent where to put what the phone pushes

ResultCode BluezBackend::ExportObexAgent(Session& session) {
    try {
        session.obexAgent = sdbus::createObject(*session.obex, kObexAgentPath);
        constexpr const char* agent = "org.bluez.obex.Agent1";
        session.obexAgent->registerMethod("Release").onInterface(agent).implementedAs([] {});
        session.obexAgent->registerMethod("AuthorizePush")
            .onInterface(agent)
            .implementedAs(
                [this](const sdbus::ObjectPath& transfer) { return OnAuthorizePush(transfer); });
        session.obexAgent->registerMethod("Cancel").onInterface(agent).implementedAs([] {});
        session.obexAgent->finishRegistration();
        sdbus::IConnection& bus = *session.obex;
        bus.addMatch("type='signal',sender='org.bluez.obex'",
                     Guarded([this](sdbus::Message& m) { OnObexSignal(m); }, "obexd signal"),
                     sdbus::floating_slot);
        bus.addMatch(
            "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',"
            "arg0='org.bluez.obex'",
            Guarded([this](sdbus::Message& m) { OnObexOwnerChanged(m); }, "NameOwnerChanged"),
            sdbus::floating_slot);
    } catch (const sdbus::Error& error) {
        Log("cannot export the object push agent on the session bus: " + Brief(error));
        return sim::kErrDaemonFailed;
    }
    return sim::kOk;
}

void BluezBackend::RegisterObexAgent(const std::shared_ptr<Session>& session) {
    Send(
        session, kObex, kObexManagerPath, "org.bluez.obex.AgentManager1", "RegisterAgent",
        kCallTimeout,
        [](const sdbus::Error* error) {
            if (error != nullptr) {
                Log("pushed contacts are refused until obexd runs: RegisterAgent fails: " +
                    Brief(*error));
            }
        },
        sdbus::ObjectPath(kObexAgentPath));
}

std::string BluezBackend::OnAuthorizePush(const sdbus::ObjectPath& transfer) {
    std::lock_guard lock(m_mutex);
    if (!m_session) {
        throw sdbus::Error("org.bluez.obex.Error.Rejected", "the stack is not running");
    }
    if (m_pushed.size() >= kMaxPushed || m_pushes.size() >= kMaxPendingPushes) {
        throw sdbus::Error("org.bluez.obex.Error.Rejected", "too many pushed contacts");
    }
    const std::optional<std::string> folder = ObexFolderLocked();
    if (!folder) {
        throw sdbus::Error("org.bluez.obex.Error.Rejected", "no private folder");
    }
    std::string file = *folder + "/push-" + std::to_string(getpid()) + "-" +
                       std::to_string(++m_pushFiles) + ".vcf";
    m_pushes[transfer] = file;
    return file;
}

void BluezBackend::ReadPushed(const std::shared_ptr<Session>& session, const std::string& file) {
    std::string problem;
    const std::optional<CardsRead> read = ReadCardFile(file, problem);
    unlink(file.c_str());
    if (!read) {
        Log("a pushed contact cannot be read: " + problem);
        return;
    }
    if (read->skipped != 0) {
        Log(std::to_string(read->skipped) +
            " pushed vCard(s) skipped; the first: " + read->problem);
    }
    const std::vector<sim::OppContactRecord> records = PushedRecords(read->contacts);
    std::lock_guard lock(m_mutex);
    if (m_session != session || records.empty()) {
        return; // the stack went down meanwhile
    }
    const std::size_t room = kMaxPushed - std::min(kMaxPushed, m_pushed.size());
    m_pushed.insert(m_pushed.end(), records.begin(),
                    records.begin() + static_cast<long>(std::min(room, records.size())));
    PostPimLocked(KOBALT_PIM_OPP_CONTACTS);
}

void BluezBackend::OnObexSignal(sdbus::Message& message) {
    const std::string iface = message.getInterfaceName();
    const std::string member = message.getMemberName();
    if (iface == kPropertiesIface && member == "PropertiesChanged") {
        std::string changedIface;
        Properties changed;
        message >> changedIface >> changed;
        if (changedIface != kTransferIface) {
            return;
        }
        const std::string path = message.getPath();
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return;
        }
        if (m_pull && m_pull->transfer == path && changed.count("Transferred") != 0) {
            WatchPull(m_pull->id); // progress
        }
        if (const std::optional<std::string> status = Get<std::string>(changed, "Status")) {
            TransferStatusLocked(path, *status);
        }
    } else if (iface == kObjectManagerIface && member == "InterfacesRemoved") {
        // A push whose transfer went without completing leaves its partial file behind.
        sdbus::ObjectPath path;
        message >> path;
        std::lock_guard lock(m_mutex);
        if (const auto push = m_pushes.find(path); push != m_pushes.end()) {
            unlink(push->second.c_str());
            m_pushes.erase(push);
        }
    }
}

void BluezBackend::OnObexOwnerChanged(sdbus::Message& message) {
    std::string name;
    std::string oldOwner;
    std::string newOwner;
    message >> name >> oldOwner >> newOwner;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(m_mutex);
        if (!m_session || name != kObex) {
            return;
        }
        if (newOwner.empty()) {
            DropObexWorkLocked("obexd (org.bluez.obex) has gone");
            return;
        }
        session = m_session;
    }
    RegisterObexAgent(session); // obexd (re)started: it knows no agent
}

void BluezBackend::DropObexWorkLocked(const std::string& why) {
    Log(why + ": the running download and pushes are lost");
    if (m_pull && !m_pull->reading) {
        FailPullLocked(why);
    }
    for (const auto& [transfer, file] : m_pushes) {
        unlink(file.c_str());
    }
    m_pushes.clear();
}

} // namespace
} // namespace kobalt::bluez

namespace kobalt::sim {

Backend& TheBackend() {
    static Backend* const backend = new bluez::BluezBackend();
    return *backend;
}

} // namespace kobalt::sim
