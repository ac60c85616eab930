#include "frontend/monkey/EventLedger.h"

#include <cstdio>

namespace kobalt::monkey {

namespace {

// The console's main-window messages for SDK callbacks (app/AppMessages.h; a test keeps the
// two in step).
constexpr UINT kConnectMsg = WM_APP + 0x100;
constexpr UINT kPairMsg = WM_APP + 0x101;
constexpr UINT kDeviceFoundMsg = WM_APP + 0x102;
constexpr UINT kDiscoveryDoneMsg = WM_APP + 0x103;

std::size_t Index(EventKind kind) {
    return static_cast<std::size_t>(kind);
}

} // namespace

const char* EventKindName(EventKind kind) {
    switch (kind) {
    case EventKind::Connect:
        return "connect";
    case EventKind::Pair:
        return "pair";
    case EventKind::DeviceFound:
        return "device-found";
    case EventKind::DiscoveryDone:
        return "discovery-done";
    case EventKind::HandsFree:
        return "hands-free";
    case EventKind::Count:
        break;
    }
    return "?";
}

std::optional<EventKind> CallbackKind(std::string_view line) {
    constexpr std::string_view kArrow = "-> ";
    if (!line.starts_with(kArrow)) {
        return std::nullopt;
    }
    line.remove_prefix(kArrow.size());
    if (line.starts_with("ConnectEventCallback(")) {
        return EventKind::Connect;
    }
    if (line.starts_with("PairEventCallback(")) {
        return EventKind::Pair;
    }
    if (line.starts_with("HfEventCallback(")) {
        return EventKind::HandsFree;
    }
    if (line.starts_with("DiscoveryCallback(0,")) {
        return EventKind::DeviceFound;
    }
    if (line.starts_with("DiscoveryCallback(")) {
        return EventKind::DiscoveryDone;
    }
    return std::nullopt;
}

std::optional<EventKind> MessageKind(UINT msg, UINT handsFreeMsg) {
    switch (msg) {
    case kConnectMsg:
        return EventKind::Connect;
    case kPairMsg:
        return EventKind::Pair;
    case kDeviceFoundMsg:
        return EventKind::DeviceFound;
    case kDiscoveryDoneMsg:
        return EventKind::DiscoveryDone;
    default:
        break;
    }
    if (handsFreeMsg != 0 && msg == handsFreeMsg) {
        return EventKind::HandsFree;
    }
    return std::nullopt;
}

void TraceCounter::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            m_partial.append(bytes);
            return;
        }
        m_partial.append(bytes.substr(0, end));
        bytes.remove_prefix(end + 1);
        if (std::optional<EventKind> kind = CallbackKind(m_partial)) {
            ++m_counts[Index(*kind)];
        }
        m_partial.clear();
    }
}

bool TraceFile::Update() {
    std::FILE* file = std::fopen(m_path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fseek(file, static_cast<long>(m_offset), SEEK_SET) == 0;
    char buffer[8192];
    while (ok) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
        if (n == 0) {
            ok = std::ferror(file) == 0;
            break;
        }
        m_offset += n;
        m_counter.Feed(std::string_view(buffer, n));
    }
    std::fclose(file);
    return ok;
}

void DeliveryCounter::Delivered(HWND window, UINT msg) {
    if (window == nullptr || window != m_main.load(std::memory_order_acquire)) {
        return;
    }
    if (std::optional<EventKind> kind =
            MessageKind(msg, m_handsFreeMsg.load(std::memory_order_acquire))) {
        m_counts[Index(*kind)].fetch_add(1, std::memory_order_acq_rel);
    }
}

EventCounts DeliveryCounter::Counts() const {
    EventCounts counts{};
    for (std::size_t i = 0; i < kEventKinds; ++i) {
        counts[i] = m_counts[i].load(std::memory_order_acquire);
    }
    return counts;
}

bool AllDelivered(const EventCounts& made, const EventCounts& delivered) {
    for (std::size_t i = 0; i < kEventKinds; ++i) {
        if (delivered[i] < made[i]) {
            return false;
        }
    }
    return true;
}

std::string CompareCounts(const EventCounts& before, const EventCounts& delivered,
                          const EventCounts& after) {
    std::string problems;
    for (std::size_t i = 0; i < kEventKinds; ++i) {
        const char* name = EventKindName(static_cast<EventKind>(i));
        if (delivered[i] < before[i]) {
            problems += std::string(problems.empty() ? "" : "; ") + name + ": " +
                        std::to_string(before[i] - delivered[i]) + " of " +
                        std::to_string(before[i]) + " callbacks never reached the main window";
        } else if (delivered[i] > after[i]) {
            problems += std::string(problems.empty() ? "" : "; ") + name + ": " +
                        std::to_string(delivered[i]) + " messages handled for " +
                        std::to_string(after[i]) + " callbacks";
        }
    }
    return problems;
}

} // namespace kobalt::monkey
