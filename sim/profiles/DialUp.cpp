#include "sim/profiles/DialUp.h"

#include "sim/world/Utf16.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace kobalt::sim {
namespace {

constexpr int16_t kInternet = KOBALT_SERVICE_INTERNET;

KOBALT_DunListEntry MakeEntry(uint32_t id, std::string_view name) {
    KOBALT_DunListEntry entry{};
    entry.id = id;
    CopyTerminated(Utf8ToUtf16(name).value_or(u""), entry.name, std::size(entry.name));
    return entry;
}

ResultCode Fill(const std::vector<KOBALT_DunListEntry>& all, KOBALT_DunListEntry* entries,
                uint32_t* count) {
    if (entries == nullptr) {
        *count = static_cast<uint32_t>(all.size());
        return kOk;
    }
    const std::size_t filled = std::min<std::size_t>(*count, all.size());
    std::memcpy(entries, all.data(), filled * sizeof(KOBALT_DunListEntry));
    *count = static_cast<uint32_t>(filled);
    return kOk;
}

// The caller's text up to its terminator; none when there is no terminator within the buffer.
std::optional<std::u16string> ReadParam(const KOBALT_WCHAR* text) {
    std::u16string value;
    for (std::size_t i = 0; i < kDunParamUnits; ++i) {
        if (text[i] == 0) {
            return value;
        }
        value.push_back(text[i]);
    }
    return std::nullopt;
}

} // namespace

DialUp::DialUp(Stack& stack) : m_stack(stack) {}

ResultCode DialUp::GetCountry(KOBALT_DunListEntry* entries, uint32_t* count) const {
    if (count == nullptr) {
        return kErrBadArgument;
    }
    std::vector<KOBALT_DunListEntry> all;
    for (const DunCountry& country : DunCountries()) {
        all.push_back(MakeEntry(country.id, country.name));
    }
    return Fill(all, entries, count);
}

ResultCode DialUp::GetProvider(uint32_t countryId, KOBALT_DunListEntry* entries,
                               uint32_t* count) const {
    if (count == nullptr) {
        return kErrBadArgument;
    }
    if (FindDunCountry(countryId) == nullptr) {
        *count = 0;
        return kErrUnknownEntry;
    }
    std::vector<KOBALT_DunListEntry> all;
    for (const DunProvider& provider : DunProviders()) {
        if (provider.country == countryId) {
            all.push_back(MakeEntry(provider.id, provider.name));
        }
    }
    return Fill(all, entries, count);
}

ResultCode DialUp::GetParams(uint32_t providerId,
                             KOBALT_WCHAR* const (&params)[kDunParamCount]) const {
    if (std::any_of(std::begin(params), std::end(params), [](auto* p) { return p == nullptr; })) {
        return kErrBadArgument;
    }
    const DunProvider* provider = FindDunProvider(providerId);
    for (int i = 0; i < kDunParamCount; ++i) {
        const std::string_view value = provider == nullptr ? "" : provider->params[i];
        CopyTerminated(Utf8ToUtf16(value).value_or(u""), params[i], kDunParamUnits);
    }
    return provider == nullptr ? kErrUnknownEntry : kOk;
}

ResultCode DialUp::Connect(const KOBALT_BdAddr* addr,
                           const KOBALT_WCHAR* const (&params)[kDunParamCount]) {
    if (m_stack.State() != StackState::Ready) {
        return kErrNotInitialised;
    }
    if (addr == nullptr ||
        std::any_of(std::begin(params), std::end(params), [](auto* p) { return p == nullptr; })) {
        return kErrBadArgument;
    }
    std::u16string given[kDunParamCount];
    for (int i = 0; i < kDunParamCount; ++i) {
        std::optional<std::u16string> value = ReadParam(params[i]);
        if (!value) {
            return kErrUnknownEntry;
        }
        given[i] = std::move(*value);
    }
    const DunProvider* chosen = nullptr;
    for (const DunProvider& provider : DunProviders()) {
        const bool same = std::equal(
            std::begin(given), std::end(given), provider.params.begin(),
            [](const std::u16string& a, std::string_view b) { return Utf8ToUtf16(b) == a; });
        if (same) {
            chosen = &provider;
            break;
        }
    }
    if (chosen == nullptr) {
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
    } else if (DialledLocked(*open) != chosen->id) {
        return kErrBusy;
    }
    uint64_t life = 0;
    const ResultCode result = m_stack.Connect(addr, kInternet, &life);
    if (result == kOk) {
        m_dialled[address] = {chosen->id, life};
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
