#include "sim/profiles/DialUp.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace kobalt::sim {
namespace {

constexpr int16_t kInternet = KOBALT_SERVICE_INTERNET;

} // namespace

DialUp::DialUp(Stack& stack, std::string databasePath, std::function<void(std::string_view)> log)
    : m_stack(stack), m_lists(std::move(databasePath), std::move(log)) {}

ResultCode DialUp::Connect(const KOBALT_BdAddr* addr,
                           const KOBALT_WCHAR* const (&params)[kDunParamCount]) {
    if (m_stack.State() != StackState::Ready) {
        return kErrNotInitialised;
    }
    if (addr == nullptr ||
        std::any_of(std::begin(params), std::end(params), [](auto* p) { return p == nullptr; })) {
        return kErrBadArgument;
    }
    const std::optional<uint32_t> chosen = m_lists.ProviderOf(params);
    if (!chosen) {
        return kErrUnknownEntry;
    }
    const Address address = Address::From(*addr);
    const std::optional<Device> device = m_stack.FindDevice(address);
    if (!device) {
        return kErrUnknownDevice;
    }
    if (device->range != Range::InRange) {
        return kErrOutOfRange;
    }
    if (!device->services.Has(Service::Dun) || !device->services.Has(Service::Hf)) {
        return kErrNoService;
    }
    std::lock_guard lock(m_mutex);
    const std::vector<Stack::LinkInfo> links = m_stack.Links();
    const auto open = std::find_if(links.begin(), links.end(), [&](const Stack::LinkInfo& link) {
        return link.address == address && link.service == kInternet;
    });
    if (open == links.end()) {
        m_dialled.erase(address); // that link has ended
    } else if (DialledLocked(*open) != *chosen) {
        return kErrBusy;
    }
    uint64_t life = 0;
    const ResultCode result = m_stack.Connect(addr, kInternet, &life);
    if (result == kOk) {
        m_dialled[address] = {*chosen, life};
    }
    return result;
}

std::optional<uint32_t> DialUp::DialledLocked(const Stack::LinkInfo& link) const {
    const auto it = m_dialled.find(link.address);
    if (it == m_dialled.end() || it->second.life != link.life) {
        return std::nullopt;
    }
    return it->second.provider;
}

std::vector<std::string> DialUp::StateLines() const {
    std::vector<Stack::LinkInfo> links = m_stack.Links();
    std::erase_if(links, [](const Stack::LinkInfo& link) { return link.service != kInternet; });
    std::sort(links.begin(), links.end(), [](const auto& a, const auto& b) {
        return FormatAddress(a.address) < FormatAddress(b.address);
    });
    std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    for (const Stack::LinkInfo& link : links) {
        const std::optional<uint32_t> provider = DialledLocked(link);
        const std::string id = provider ? std::to_string(*provider) : "none";
        const char* what =
            link.state == LinkState::PhoneAccepting ? "dun dialing " : "dun connected ";
        lines.push_back(what + FormatAddress(link.address) + " " + id);
    }
    if (lines.empty()) {
        lines.push_back("dun idle");
    }
    return lines;
}

} // namespace kobalt::sim
