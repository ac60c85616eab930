#include "sim/radio/Stack.h"

#include "sim/world/Utf16.h"
#include "sim/world/Words.h"
#include "sim/world/WorldFile.h"

#include <algorithm>
#include <cstring>

namespace kobalt::sim {
namespace {

constexpr std::string_view kNotInitialised = "stack not initialised";

KOBALT_DeviceRecord MakeRecord(const Device& device) {
    KOBALT_DeviceRecord record{};
    record.addr = device.address.ToAbi();
    CopyTerminated(Utf8ToUtf16(device.name).value_or(u""), record.name, std::size(record.name));
    return record;
}

Status NoDevice(const Address& address) {
    return Status::Error("no device " + FormatAddress(address));
}

// `world default`, `world file "PATH"` or `world malformed "PATH"`.
std::string WorldSourceLine(const WorldSource& source) {
    switch (source.kind) {
    case WorldSource::Kind::File:
        return "world file " + QuoteText(source.path);
    case WorldSource::Kind::Malformed:
        return "world malformed " + QuoteText(source.path);
    case WorldSource::Kind::Default:
        break;
    }
    return "world default";
}

// How the state report names a link that is not idle.
std::string_view LinkStateWord(LinkState state) {
    switch (state) {
    case LinkState::PhoneAccepting:
        return "connecting";
    case LinkState::Connected:
        return "connected";
    case LinkState::PhoneReleasing:
        return "disconnecting";
    case LinkState::Idle:
        break;
    }
    return "idle";
}

} // namespace

Stack::Stack(EventSink& events, StepTimer& timer) : m_events(events), m_timer(timer) {}

void Stack::SetWorld(World world, WorldSource source) {
    std::lock_guard lock(m_mutex);
    m_world = std::move(world);
    m_worldSource = std::move(source);
    SyncHfLocked();
}

void Stack::SetHfObserver(HfSessionObserver* observer) {
    std::lock_guard lock(m_mutex);
    m_hfObserver = observer;
    SyncHfLocked();
}

void Stack::SyncHfLocked() {
    if (m_hfObserver != nullptr) {
        m_hfObserver->SessionChanged(
            HfSession{m_state == StackState::Ready, HfUpLocked(), m_callbacks.hf, m_world.calls});
    }
}

// Lifecycle and registrations

ResultCode Stack::Init() {
    std::lock_guard lock(m_mutex);
    if (m_worldSource.kind == WorldSource::Kind::Malformed) {
        return kErrBadWorld;
    }
    if (m_state != StackState::Ready) {
        ++m_session;
    }
    m_state = StackState::Ready;
    SyncHfLocked();
    return kOk;
}

ResultCode Stack::UnInit() {
    std::lock_guard lock(m_mutex);
    m_state = StackState::Uninitialised;
    // Scheduled answers and search steps find nothing to act on and end there.
    m_links.clear();
    m_discovery = DiscoveryState::Idle;
    m_discoveryCallback = nullptr;
    m_reported.clear();
    m_voice = VoiceRecognition::Off;
    SyncHfLocked(); // the phone's calls end with the links
    m_events.Discard();
    return kOk;
}

ResultCode Stack::SetIntegrateTL(int mode) {
    std::lock_guard lock(m_mutex);
    m_integrationMode = mode;
    return kOk;
}

template <class Assign> ResultCode Stack::Register(Assign assign) {
    std::lock_guard lock(m_mutex);
    if (m_state != StackState::Ready) {
        return kErrNotInitialised;
    }
    assign(m_callbacks);
    return kOk;
}

ResultCode Stack::RegisterConnectCallback(KOBALT_ConnectCallback callback) {
    return Register([&](Callbacks& c) { c.connect = callback; });
}

ResultCode Stack::RegisterPairCallback(KOBALT_PairCallback callback) {
    return Register([&](Callbacks& c) { c.pair = callback; });
}

ResultCode Stack::RegisterHfCallback(KOBALT_HfCallback callback) {
    return Register([&](Callbacks& c) {
        c.hf = callback;
        SyncHfLocked();
    });
}

ResultCode Stack::RegisterPimCallback(KOBALT_PimCallback callback) {
    return Register([&](Callbacks& c) { c.pim = callback; });
}

// Discovery

ResultCode Stack::DeviceDiscovery(KOBALT_DiscoveryCallback callback) {
    std::lock_guard lock(m_mutex);
    if (m_state != StackState::Ready) {
        return kErrNotInitialised;
    }
    if (callback == nullptr) {
        return kErrBadArgument;
    }
    if (m_discovery == DiscoveryState::Reporting) {
        return kErrBusy;
    }
    m_discovery = DiscoveryState::Reporting;
    m_discoveryCallback = callback;
    m_reported.clear();
    const uint64_t search = ++m_search;
    m_timer.After(kDiscoveryStepDelay, [this, search] { DiscoveryStep(search); });
    return kOk;
}

// Devices are looked up when each step runs, so a device that comes into range during the
// search is found and one that leaves before its turn is not.
void Stack::DiscoveryStep(uint64_t search) {
    std::lock_guard lock(m_mutex);
    if (m_discovery != DiscoveryState::Reporting || m_search != search) {
        return;
    }
    for (const Device& device : m_world.Devices()) {
        if (device.range == Range::InRange &&
            std::find(m_reported.begin(), m_reported.end(), device.address) == m_reported.end()) {
            m_reported.push_back(device.address);
            m_events.Post(DiscoveryEvent{m_discoveryCallback, 0, MakeRecord(device)});
            m_timer.After(kDiscoveryStepDelay, [this, search] { DiscoveryStep(search); });
            return;
        }
    }
    m_events.Post(DiscoveryEvent{m_discoveryCallback, 1, KOBALT_DeviceRecord{}});
    m_discovery = DiscoveryState::Idle;
    m_discoveryCallback = nullptr;
    m_reported.clear();
}

// Remote devices

ResultCode Stack::GetRemoteName(const KOBALT_BdAddr* addr, KOBALT_WCHAR* name) {
    std::u16string text;
    {
        std::lock_guard lock(m_mutex);
        if (m_state != StackState::Ready) {
            return kErrNotInitialised;
        }
        if (addr == nullptr || name == nullptr) {
            return kErrBadArgument;
        }
        const Device* device = m_world.Find(Address::From(*addr));
        if (device == nullptr) {
            return kErrUnknownDevice;
        }
        text = Utf8ToUtf16(device->name).value_or(u"");
    }
    CopyTerminated(text, name, 64);
    return kOk;
}

ResultCode Stack::GetAllShortCuts(KOBALT_DeviceRecord* records, uint32_t* count) {
    std::vector<KOBALT_DeviceRecord> paired;
    {
        std::lock_guard lock(m_mutex);
        if (m_state != StackState::Ready) {
            return kErrNotInitialised;
        }
        if (count == nullptr) {
            return kErrBadArgument;
        }
        for (const Device& device : m_world.Devices()) {
            if (device.pairing == Pairing::Paired) {
                paired.push_back(MakeRecord(device));
            }
        }
    }
    if (records == nullptr) {
        *count = static_cast<uint32_t>(paired.size());
        return kOk;
    }
    const std::size_t filled = std::min<std::size_t>(*count, paired.size());
    // Byte copies: the console's buffer is only known to hold records back to back.
    std::memcpy(records, paired.data(), filled * sizeof(KOBALT_DeviceRecord));
    *count = static_cast<uint32_t>(filled);
    return kOk;
}

// Connections

ResultCode Stack::CheckLinkCallLocked(const KOBALT_BdAddr* addr, int16_t service) const {
    if (m_state != StackState::Ready) {
        return kErrNotInitialised;
    }
    if (addr == nullptr || !IsLinkCode(service)) {
        return kErrBadArgument;
    }
    if (m_world.Find(Address::From(*addr)) == nullptr) {
        return kErrUnknownDevice;
    }
    return kOk;
}

ResultCode Stack::Connect(const KOBALT_BdAddr* addr, int16_t service, uint64_t* life) {
    std::lock_guard lock(m_mutex);
    if (const ResultCode check = CheckLinkCallLocked(addr, service); check != kOk) {
        return check;
    }
    const Device& device = *m_world.Find(Address::From(*addr));
    if (device.range != Range::InRange) {
        return kErrOutOfRange;
    }
    const std::optional<Service> needed = ServiceForCode(service);
    if (!needed || !device.services.Has(*needed)) {
        return kErrNoService;
    }
    const LinkKey key{device.address, service};
    const ResultCode result = ApplyLocked(key, LinkInput::Connect).result;
    if (result == kOk && life != nullptr) {
        *life = m_links.at(key).life;
    }
    return result;
}

ResultCode Stack::Disconnect(const KOBALT_BdAddr* addr, int16_t service) {
    std::lock_guard lock(m_mutex);
    if (const ResultCode check = CheckLinkCallLocked(addr, service); check != kOk) {
        return check;
    }
    return ApplyLocked({Address::From(*addr), service}, LinkInput::Disconnect).result;
}

bool Stack::IsConnected(const KOBALT_BdAddr* addr, int16_t service) const {
    std::lock_guard lock(m_mutex);
    if (m_state != StackState::Ready || addr == nullptr) {
        return false;
    }
    const auto it = m_links.find({Address::From(*addr), service});
    return it != m_links.end() && IsUp(it->second.state);
}

int Stack::GetClientPort() const {
    std::lock_guard lock(m_mutex);
    if (m_state != StackState::Ready) {
        return kErrNotInitialised;
    }
    const LinkRecord* latest = nullptr;
    for (const auto& [key, link] : m_links) {
        if (key.service == KOBALT_SERVICE_SPP && IsUp(link.state) &&
            (latest == nullptr || link.upOrder > latest->upOrder)) {
            latest = &link;
        }
    }
    return latest == nullptr ? 0 : latest->port;
}

LinkStep Stack::ApplyLocked(const LinkKey& key, LinkInput input) {
    LinkRecord& link = m_links[key];
    const LinkStep step = NextLinkStep(link.state, input);
    if (step.result == kOk) {
        if (link.state == LinkState::Idle && step.next != LinkState::Idle) {
            link.life = m_nextLife++;
        }
        link.state = step.next;
        switch (step.effect) {
        case LinkEffect::None:
            break;
        case LinkEffect::ScheduleAccept:
        case LinkEffect::ScheduleRelease: {
            const bool accept = step.effect == LinkEffect::ScheduleAccept;
            link.attempt = m_nextAttempt++;
            const uint64_t attempt = link.attempt;
            const LinkInput answer = accept ? LinkInput::PhoneAccepts : LinkInput::PhoneReleases;
            m_timer.After(accept ? kConnectDelay : kDisconnectDelay,
                          [this, key, attempt, answer] { PhoneAnswers(key, attempt, answer); });
            break;
        }
        case LinkEffect::ReportConnected:
            // Port first: the console asks for it from inside the connect callback.
            link.port = key.service == KOBALT_SERVICE_SPP ? FreeSppPortLocked() : 0;
            link.upOrder = m_nextUpOrder++;
            PostConnectLocked(1, &key.address, key.service);
            break;
        case LinkEffect::ReportDisconnected:
            PostConnectLocked(0, &key.address, key.service);
            break;
        }
    }
    if (link.state == LinkState::Idle) {
        m_links.erase(key);
        if (!HfUpLocked()) {
            m_voice = VoiceRecognition::Off;
        }
    }
    SyncHfLocked(); // an HF link may have come up or gone
    return step;
}

void Stack::PhoneAnswers(const LinkKey& key, uint64_t attempt, LinkInput input) {
    std::lock_guard lock(m_mutex);
    const auto it = m_links.find(key);
    if (it == m_links.end() || it->second.attempt != attempt) {
        return; // the request was overtaken, or the stack stopped
    }
    ApplyLocked(key, input);
}

void Stack::DropLinksLocked(const Address& address) {
    std::vector<LinkKey> keys;
    for (const auto& [key, link] : m_links) {
        if (key.address == address) {
            keys.push_back(key);
        }
    }
    for (const LinkKey& key : keys) {
        ApplyLocked(key, LinkInput::RemoteDisconnect);
    }
}

int Stack::FreeSppPortLocked() const {
    const auto taken = [&](int port) {
        return std::any_of(m_links.begin(), m_links.end(), [&](const auto& entry) {
            return entry.first.service == KOBALT_SERVICE_SPP && IsUp(entry.second.state) &&
                   entry.second.port == port;
        });
    };
    int port = kFirstSppPort;
    while (taken(port)) {
        ++port;
    }
    return port;
}

bool Stack::HfUpLocked() const {
    return std::any_of(m_links.begin(), m_links.end(), [](const auto& entry) {
        return entry.first.service == KOBALT_SERVICE_HF && IsUp(entry.second.state);
    });
}

void Stack::PostConnectLocked(int connected, const Address* address, int16_t service) {
    if (m_callbacks.connect != nullptr) {
        m_events.Post(ConnectEvent{m_callbacks.connect, connected,
                                   address == nullptr ? nullptr : m_addresses.Intern(*address),
                                   service});
    }
}

void Stack::PostPairLocked(PairOutcome outcome, const Address& address) {
    if (m_callbacks.pair != nullptr) {
        m_events.Post(PairEvent{m_callbacks.pair, outcome == PairOutcome::Success ? 1 : 0,
                                m_addresses.Intern(address)});
    }
}

// Voice recognition

ResultCode Stack::StartVoiceRecog() {
    std::lock_guard lock(m_mutex);
    if (m_state != StackState::Ready) {
        return kErrNotInitialised;
    }
    if (!HfUpLocked()) {
        return kErrNotConnected;
    }
    m_voice = VoiceRecognition::On;
    return kOk;
}

ResultCode Stack::StopVoiceRecog() {
    std::lock_guard lock(m_mutex);
    if (m_state != StackState::Ready) {
        return kErrNotInitialised;
    }
    if (!HfUpLocked()) {
        return kErrNotConnected;
    }
    m_voice = VoiceRecognition::Off;
    return kOk;
}

// The remote side

Status Stack::AddDevice(const Device& device) {
    std::lock_guard lock(m_mutex);
    switch (m_world.Add(device)) {
    case AddOutcome::Added:
        return {};
    case AddOutcome::AddressTaken:
        return Status::Error("device " + FormatAddress(device.address) +
                             " exists; remove it first");
    case AddOutcome::Full:
        break;
    }
    return Status::Error("the world holds at most " + std::to_string(kMaxWorldDevices) +
                         " devices");
}

Status Stack::RemoveDevice(const Address& address) {
    std::lock_guard lock(m_mutex);
    if (m_world.Find(address) == nullptr) {
        return NoDevice(address);
    }
    DropLinksLocked(address);
    m_world.Remove(address);
    return {};
}

void Stack::SetFarEndAnswer(FarEndAnswer answer) {
    std::lock_guard lock(m_mutex);
    m_world.calls.answer = answer;
    SyncHfLocked();
}

FarEndAnswer Stack::FarEndAnswerMode() const {
    std::lock_guard lock(m_mutex);
    return m_world.calls.answer;
}

Status Stack::RemoveAllDevices() {
    std::lock_guard lock(m_mutex);
    for (const Device& device : m_world.Devices()) {
        DropLinksLocked(device.address);
    }
    m_world.Clear();
    return {};
}

Status Stack::SetRange(const Address& address, Range range) {
    std::lock_guard lock(m_mutex);
    Device* device = m_world.Find(address);
    if (device == nullptr) {
        return NoDevice(address);
    }
    device->range = range;
    if (range == Range::OutOfRange) {
        DropLinksLocked(address);
    }
    return {};
}

Status Stack::CheckRemoteDeviceLocked(const Address& address) const {
    const Device* device = m_world.Find(address);
    if (device == nullptr) {
        return NoDevice(address);
    }
    if (device->range != Range::InRange) {
        return Status::Error(FormatAddress(address) + " is out of range");
    }
    return {};
}

Status Stack::RemotePair(const Address& address, PairOutcome outcome) {
    std::lock_guard lock(m_mutex);
    if (m_state != StackState::Ready) {
        return Status::Error(std::string(kNotInitialised));
    }
    if (Status problem = CheckRemoteDeviceLocked(address); !problem.Ok()) {
        return problem;
    }
    if (outcome == PairOutcome::Success) {
        m_world.Find(address)->pairing = Pairing::Paired;
    }
    PostPairLocked(outcome, address);
    return {};
}

Status Stack::RemoteConnect(const std::optional<Address>& address, int16_t service) {
    std::lock_guard lock(m_mutex);
    if (m_state != StackState::Ready) {
        return Status::Error(std::string(kNotInitialised));
    }
    if (!address) {
        PostConnectLocked(1, nullptr, service);
        return {};
    }
    if (Status problem = CheckRemoteDeviceLocked(*address); !problem.Ok()) {
        return problem;
    }
    if (!IsLinkCode(service)) {
        PostConnectLocked(1, &*address, service);
        return {};
    }
    const std::optional<Service> needed = ServiceForCode(service);
    if (needed && !m_world.Find(*address)->services.Has(*needed)) {
        return Status::Error(FormatAddress(*address) + " does not offer " +
                             std::string(ServiceName(*needed)));
    }
    const std::string link = FormatAddress(*address) + " " + ServiceCodeName(service);
    switch (ApplyLocked({*address, service}, LinkInput::RemoteConnect).result) {
    case kOk:
        return {};
    case kErrAlreadyConnected:
        return Status::Error(link + " is already connected");
    case kErrBusy:
        return Status::Error(link + " is being disconnected");
    default:
        return Status::Error(link + " cannot be connected");
    }
}

Status Stack::RemoteDisconnect(const std::optional<Address>& address, int16_t service) {
    std::lock_guard lock(m_mutex);
    if (m_state != StackState::Ready) {
        return Status::Error(std::string(kNotInitialised));
    }
    if (!address) {
        PostConnectLocked(0, nullptr, service);
        return {};
    }
    if (m_world.Find(*address) == nullptr) {
        return NoDevice(*address);
    }
    if (!IsLinkCode(service)) {
        PostConnectLocked(0, &*address, service);
        return {};
    }
    if (ApplyLocked({*address, service}, LinkInput::RemoteDisconnect).result != kOk) {
        return Status::Error(FormatAddress(*address) + " " + ServiceCodeName(service) +
                             " is not connected");
    }
    return {};
}

// Reports

std::vector<std::string> Stack::DeviceLines() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    for (const Device& device : m_world.Devices()) {
        lines.push_back(FormatDevice(device));
    }
    return lines;
}

std::vector<std::string> Stack::StateLines() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    lines.push_back(std::string("initialised ") + (m_state == StackState::Ready ? "yes" : "no"));
    lines.push_back("integration-mode " + std::to_string(m_integrationMode));
    lines.push_back(WorldSourceLine(m_worldSource));
    lines.push_back(std::string("discovery ") +
                    (m_discovery == DiscoveryState::Reporting ? "running" : "idle"));
    lines.push_back(std::string("voice-recognition ") +
                    (m_voice == VoiceRecognition::On ? "on" : "off"));
    const auto callback = [&](std::string_view kind, bool registered) {
        lines.push_back("callback " + std::string(kind) + (registered ? " registered" : " none"));
    };
    callback("connect", m_callbacks.connect != nullptr);
    callback("pair", m_callbacks.pair != nullptr);
    callback("hf", m_callbacks.hf != nullptr);
    callback("pim", m_callbacks.pim != nullptr);
    for (const Device& device : m_world.Devices()) {
        lines.push_back(FormatDevice(device));
    }
    for (std::string& line : LinkLinesLocked()) {
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> Stack::LinkLinesLocked() const {
    std::vector<std::pair<LinkKey, std::string>> links;
    for (const auto& [key, link] : m_links) {
        if (link.state == LinkState::Idle) {
            continue;
        }
        std::string line = std::string(LinkStateWord(link.state)) + " " +
                           FormatAddress(key.address) + " " + ServiceCodeName(key.service);
        if (key.service == KOBALT_SERVICE_SPP && IsUp(link.state)) {
            line += " port " + std::to_string(link.port);
        }
        links.emplace_back(key, std::move(line));
    }
    // By address as shown, then by service code.
    std::sort(links.begin(), links.end(), [](const auto& a, const auto& b) {
        const std::string left = FormatAddress(a.first.address);
        const std::string right = FormatAddress(b.first.address);
        return left != right ? left < right : a.first.service < b.first.service;
    });
    std::vector<std::string> lines;
    for (auto& [key, line] : links) {
        lines.push_back(std::move(line));
    }
    return lines;
}

StackState Stack::State() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

int Stack::IntegrationMode() const {
    std::lock_guard lock(m_mutex);
    return m_integrationMode;
}

Callbacks Stack::GetCallbacks() const {
    std::lock_guard lock(m_mutex);
    return m_callbacks;
}

uint64_t Stack::Session() const {
    std::lock_guard lock(m_mutex);
    return m_state == StackState::Ready ? m_session : 0;
}

bool Stack::HfConnected() const {
    std::lock_guard lock(m_mutex);
    return HfUpLocked();
}

bool Stack::PostPimEvent(uint64_t session, int32_t code) {
    std::lock_guard lock(m_mutex);
    if (m_state != StackState::Ready || session != m_session) {
        return false;
    }
    if (m_callbacks.pim != nullptr) {
        m_events.Post(PimEvent{m_callbacks.pim, code});
    }
    return true;
}

WorldSource Stack::GetWorldSource() const {
    std::lock_guard lock(m_mutex);
    return m_worldSource;
}

std::vector<Stack::LinkInfo> Stack::Links() const {
    std::lock_guard lock(m_mutex);
    std::vector<LinkInfo> links;
    for (const auto& [key, link] : m_links) {
        links.push_back({key.address, key.service, link.state,
                         link.state == LinkState::PhoneAccepting ? 0 : link.upOrder, link.life});
    }
    return links;
}

std::optional<Device> Stack::FindDevice(const Address& address) const {
    std::lock_guard lock(m_mutex);
    const Device* device = m_world.Find(address);
    return device == nullptr ? std::nullopt : std::optional<Device>(*device);
}

std::vector<Device> Stack::Devices() const {
    std::lock_guard lock(m_mutex);
    return m_world.Devices();
}

} // namespace kobalt::sim
