// The Bluetooth stack's own state and the radio world it sees: lifecycle, registered callbacks,
// the remote devices, connections, device discovery and voice recognition.
//
// One enum per concern, each named for who acts next:
//   StackState        Uninitialised --Init--> Ready --UnInit--> Uninitialised
//   DiscoveryState    Idle --DeviceDiscovery--> Reporting --(last device reported)--> Idle
//   LinkState         per device and service code: see Link.h
//   VoiceRecognition  Off <--Start/StopVoiceRecog (HF up)--> On; Off when no HF link is left
// Each entry point validates, records the request and runs one step; what the phone does later
// (answering a connect, the next device found) is a step on the StepTimer, and what the console
// must hear is an event on the EventSink. Both are posted under the lock and run without it.
//
// Init in Ready and UnInit in Uninitialised succeed and change nothing: the console calls Init
// from START, the power monitor and the stress test without knowing the others' state. There is
// no count: one UnInit stops the stack however many Init calls came before. UnInit ends every
// connection and the search without events and drops queued events.
//
// Registrations, the integration mode and the world survive UnInit/Init: the power monitor and
// the stress test restart the stack without registering again.
//
// Every member may be called from any thread, callbacks included. No callback is ever called
// under the lock, and no member waits for a callback.
#pragma once

#include "sdk/KobaltAbi.h"
#include "sim/Status.h"
#include "sim/abi/ResultCode.h"
#include "sim/phone/HfSession.h"
#include "sim/radio/Address.h"
#include "sim/radio/Event.h"
#include "sim/radio/Link.h"
#include "sim/world/World.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kobalt::sim {

enum class StackState {
    Uninitialised, // waits for KOBALT_Init
    Ready,         // the stack runs; the console may use it
};

enum class DiscoveryState {
    Idle,      // the console may start a search
    Reporting, // the stack reports the next device in range, then the end of the search
};

enum class VoiceRecognition { Off, On };

enum class PairOutcome { Fail, Success };

// The console's standing callbacks; null when not registered.
struct Callbacks {
    KOBALT_ConnectCallback connect = nullptr;
    KOBALT_PairCallback pair = nullptr;
    KOBALT_HfCallback hf = nullptr;
    KOBALT_PimCallback pim = nullptr; // the last registration replaces earlier ones
};

// Where the world came from, for the state report and for KOBALT_Init.
struct WorldSource {
    enum class Kind { Default, File, Malformed };
    Kind kind = Kind::Default;
    std::string path;    // the world file, unless Default
    std::string problem; // "PATH:LINE: REASON" when Malformed
};

// Delays of the simulated phones and radio, before time scaling.
inline constexpr std::chrono::milliseconds kDiscoveryStepDelay{400}; // per device found
inline constexpr std::chrono::milliseconds kConnectDelay{600};       // the phone accepts
inline constexpr std::chrono::milliseconds kDisconnectDelay{200};    // the phone releases

// The SPP client port of the first SPP connection; later ones take the next free port.
inline constexpr int kFirstSppPort = 3;

class Stack {
public:
    Stack(EventSink& events, StepTimer& timer);

    // Replaces the world; meant for start-up, before the stack runs.
    void SetWorld(World world, WorldSource source);

    // The phone model, told of every change of the stack's state, HF links, hands-free
    // callback and call settings; null for none.
    void SetHfObserver(HfSessionObserver* observer);

    // Lifecycle and registrations.

    // Starts the stack; succeeds also when it already runs. kErrBadWorld, changing nothing,
    // when the world file was malformed.
    ResultCode Init();
    // Stops the stack; succeeds also when it is not running.
    ResultCode UnInit();
    // Records the integration mode as given, in any state. 0 means none was set.
    ResultCode SetIntegrateTL(int mode);
    // Each records (or, with null, removes) a callback; kErrNotInitialised unless Ready.
    ResultCode RegisterConnectCallback(KOBALT_ConnectCallback callback);
    ResultCode RegisterPairCallback(KOBALT_PairCallback callback);
    ResultCode RegisterHfCallback(KOBALT_HfCallback callback);
    ResultCode RegisterPimCallback(KOBALT_PimCallback callback);

    // Entry points of the console. All need a running stack (kErrNotInitialised).

    // Starts a search: the devices in range are reported one by one, in world order, then the
    // end. kErrBadArgument for a null callback, kErrBusy while a search runs.
    ResultCode DeviceDiscovery(KOBALT_DiscoveryCallback callback);
    // Writes the device's name and a NUL into `name` (64 units): at most 63 units of text.
    // kErrBadArgument for a null pointer, kErrUnknownDevice; `name` is untouched on failure.
    ResultCode GetRemoteName(const KOBALT_BdAddr* addr, KOBALT_WCHAR* name);
    // Asks for a connection; its event follows after the phone accepts. kErrBadArgument (null
    // address, unknown code), kErrUnknownDevice, kErrOutOfRange, kErrNoService, or Link.h's.
    // On success `life`, when given, receives the link's LinkInfo::life.
    ResultCode Connect(const KOBALT_BdAddr* addr, int16_t service, uint64_t* life = nullptr);
    // Asks to end a connection; its event follows after the phone releases it.
    // kErrBadArgument, kErrUnknownDevice, or Link.h's.
    ResultCode Disconnect(const KOBALT_BdAddr* addr, int16_t service);
    // Whether the link is up (connected, or until the phone confirms a release).
    bool IsConnected(const KOBALT_BdAddr* addr, int16_t service) const;
    // With null `records`: *count = number of paired devices. Otherwise fills at most *count
    // records, in world order, and sets *count to the number filled. kErrBadArgument for a null
    // count.
    ResultCode GetAllShortCuts(KOBALT_DeviceRecord* records, uint32_t* count);
    // The client port of the SPP connection that came up last among those up; 0 when none.
    // A negative ResultCode when the stack is not running.
    int GetClientPort() const;
    // Record the state of the phone's voice recognition; kErrNotConnected without an HF link.
    ResultCode StartVoiceRecog();
    ResultCode StopVoiceRecog();

    // The remote side, for the control interface. Each says why nothing changed, if nothing
    // did. World edits work in any state; acts that produce events
    // (pair, connect, disconnect) need a running stack.

    Status AddDevice(const Device& device);
    // Ends the device's connections with disconnect events (link loss), then forgets it.
    Status RemoveDevice(const Address& address);
    Status RemoveAllDevices();
    // Out of range ends the device's connections with disconnect events (link loss).
    Status SetRange(const Address& address, Range range);
    // The device pairs (success marks it paired) and a pair event follows. Needs it in range.
    Status RemotePair(const Address& address, PairOutcome outcome);
    // The phone connects or drops a service: a connect event (1 or 0) follows. With no
    // address, or a code the stack does not track, only the event is sent.
    Status RemoteConnect(const std::optional<Address>& address, int16_t service);
    Status RemoteDisconnect(const std::optional<Address>& address, int16_t service);

    // How the called party answers outgoing calls from now on (`answer auto|manual`); works in
    // any state, as the world file's `phone answer` line.
    void SetFarEndAnswer(FarEndAnswer answer);
    FarEndAnswer FarEndAnswerMode() const;

    // `device ...` lines of the world, in its order.
    std::vector<std::string> DeviceLines() const;
    // The state report (docs/phone.md), one fact a line.
    std::vector<std::string> StateLines() const;

    StackState State() const;
    // The stack's current run, counted from 1; 0 while it is not running. Work tagged with a
    // run (a PIM download) ends with it.
    uint64_t Session() const;
    // Whether an HF link is up.
    bool HfConnected() const;
    // Posts `code` to the PIM callback registered now, if there is one and the stack still
    // runs `session`; false (nothing posted) when the stack has stopped since.
    bool PostPimEvent(uint64_t session, int32_t code);
    int IntegrationMode() const;
    Callbacks GetCallbacks() const;
    WorldSource GetWorldSource() const;

    // Snapshots for the profiles beside the stack (media player, dial-up), which keep their own
    // state and lock and never call the stack under it.
    struct LinkInfo {
        Address address;
        int16_t service;
        LinkState state;
        uint64_t upOrder; // larger for links that came up later; 0 while connecting
        uint64_t life;    // names this link from leaving idle until it is idle again; never reused
    };
    std::vector<LinkInfo> Links() const;
    std::optional<Device> FindDevice(const Address& address) const;
    std::vector<Device> Devices() const;

private:
    struct LinkKey {
        Address address;
        int16_t service;
        auto operator<=>(const LinkKey&) const = default;
    };
    struct LinkRecord {
        LinkState state = LinkState::Idle;
        uint64_t attempt = 0; // tags the phone's scheduled answer to the request in progress
        uint64_t upOrder = 0; // when it came up, to find the latest SPP link
        int port = 0;         // SPP client port while up
        uint64_t life = 0;    // see LinkInfo::life
    };

    template <class Assign> ResultCode Register(Assign assign);

    // The members below expect m_mutex to be held.

    // Runs one step of the link's state machine and carries out its effect.
    LinkStep ApplyLocked(const LinkKey& key, LinkInput input);
    // Link loss: ends every link of the device with disconnect events.
    void DropLinksLocked(const Address& address);
    void PostConnectLocked(int connected, const Address* address, int16_t service);
    void PostPairLocked(PairOutcome outcome, const Address& address);
    // The checks common to Connect and Disconnect.
    ResultCode CheckLinkCallLocked(const KOBALT_BdAddr* addr, int16_t service) const;
    Status CheckRemoteDeviceLocked(const Address& address) const;
    int FreeSppPortLocked() const;
    // `connecting|connected|disconnecting ADDR SERVICE [port N]` per link, for StateLines.
    std::vector<std::string> LinkLinesLocked() const;
    bool HfUpLocked() const;
    void SyncHfLocked(); // tells the observer the session as it is now

    // Scheduled steps.
    void PhoneAnswers(const LinkKey& key, uint64_t attempt, LinkInput input);
    void DiscoveryStep(uint64_t search);

    EventSink& m_events;
    StepTimer& m_timer;

    mutable std::mutex m_mutex;                     // guards every field below
    StackState m_state = StackState::Uninitialised; // the lifecycle above
    int m_integrationMode = 0;                      // last KOBALT_SetIntegrateTL argument
    Callbacks m_callbacks;                          // kept across UnInit/Init
    World m_world;                                  // kept across UnInit/Init
    WorldSource m_worldSource;
    std::map<LinkKey, LinkRecord> m_links; // links not Idle
    uint64_t m_nextAttempt = 1;
    uint64_t m_nextUpOrder = 1;
    uint64_t m_nextLife = 1;
    DiscoveryState m_discovery = DiscoveryState::Idle;
    KOBALT_DiscoveryCallback m_discoveryCallback = nullptr; // of the search that runs
    uint64_t m_search = 0;                                  // tags the running search's steps
    std::vector<Address> m_reported;                        // found by the running search
    VoiceRecognition m_voice = VoiceRecognition::Off;
    AddressPool m_addresses; // the addresses events point at
    uint64_t m_session = 0;  // runs started so far; the current one while Ready
    HfSessionObserver* m_hfObserver = nullptr;
};

} // namespace kobalt::sim
