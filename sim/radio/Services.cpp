#include "sim/radio/Services.h"

#include "sdk/KobaltAbi.h"

#include <array>
#include <charconv>
#include <utility>

namespace kobalt::sim {
namespace {

struct CodeRow {
    int16_t code;
    std::string_view name;
    std::optional<Service> service;
};

constexpr std::array<CodeRow, 9> kCodes{{
    {KOBALT_SERVICE_HF, "hf", Service::Hf},
    {KOBALT_SERVICE_A2DP, "a2dp", Service::A2dp},
    {KOBALT_SERVICE_INTERNET, "internet", Service::Dun},
    {KOBALT_SERVICE_FTP, "ftp", std::nullopt},
    {KOBALT_SERVICE_SPP, "spp", Service::Spp},
    {KOBALT_SERVICE_A2DP_STREAMING, "streaming", Service::A2dp},
    {KOBALT_SERVICE_NFC, "nfc", std::nullopt},
    {KOBALT_SERVICE_AVRCP_TARGET, "avrcp-target", Service::Avrcp},
    {KOBALT_SERVICE_AVRCP, "avrcp", Service::Avrcp},
}};

const CodeRow* FindCode(int16_t code) {
    for (const CodeRow& row : kCodes) {
        if (row.code == code) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace

std::string_view ServiceName(Service service) {
    switch (service) {
    case Service::Hf:
        return "hf";
    case Service::A2dp:
        return "a2dp";
    case Service::Avrcp:
        return "avrcp";
    case Service::Spp:
        return "spp";
    case Service::Dun:
        return "dun";
    case Service::Pbap:
        return "pbap";
    }
    return "?";
}

Result<ServiceSet> ParseServices(std::string_view text) {
    ServiceSet set;
    if (text == "none") {
        return set;
    }
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view name = text.substr(0, comma);
        std::optional<Service> found;
        for (Service service : kAllServices) {
            if (ServiceName(service) == name) {
                found = service;
            }
        }
        if (!found) {
            return Status::Error(name.empty()
                                     ? "empty service name in '" + std::string(text) + "'"
                                     : "unknown service '" + std::string(name) +
                                           "' (known: hf, a2dp, avrcp, spp, dun, pbap, or none)");
        }
        if (set.Has(*found)) {
            return Status::Error("service '" + std::string(name) + "' listed twice");
        }
        set.Add(*found);
        if (comma == std::string_view::npos) {
            return set;
        }
        text.remove_prefix(comma + 1);
    }
}

std::string FormatServices(ServiceSet services) {
    std::string out;
    for (Service service : kAllServices) {
        if (services.Has(service)) {
            if (!out.empty()) {
                out += ',';
            }
            out += ServiceName(service);
        }
    }
    return out.empty() ? "none" : out;
}

bool IsLinkCode(int16_t code) {
    return FindCode(code) != nullptr;
}

std::optional<Service> ServiceForCode(int16_t code) {
    const CodeRow* row = FindCode(code);
    return row == nullptr ? std::nullopt : row->service;
}

std::string ServiceCodeName(int16_t code) {
    const CodeRow* row = FindCode(code);
    return row == nullptr ? std::to_string(code) : std::string(row->name);
}

std::optional<int16_t> ParseServiceCode(std::string_view text) {
    for (const CodeRow& row : kCodes) {
        if (row.name == text) {
            return row.code;
        }
    }
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    const long low = base == 16 ? 0 : -32768;
    if (value < low || value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF));
}

} // namespace kobalt::sim
