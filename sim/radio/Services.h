// What a remote device offers (world services), and the service codes of connection calls and
// events (ServiceType), with the mapping between them.
//
//   code                     name in control and state   world service
//   1 HF                     hf                          hf
//   2 A2DP                   a2dp                        a2dp
//   3 Internet (DUN)         internet                    dun
//   4 Ftp                    ftp                         - (no FTP profile in this stack)
//   5 SPP                    spp                         spp
//   6 A2DP streaming         streaming                   a2dp
//   7 NFC                    nfc                         - (a proximity report, not a profile)
//   0x110C AVRCP target      avrcp-target                avrcp
//   0x110E AVRCP controller  avrcp                       avrcp
// pbap has no code: the phonebook travels over the PIM entry points.
#pragma once

#include "sim/Status.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kobalt::sim {

enum class Service : uint8_t { Hf, A2dp, Avrcp, Spp, Dun, Pbap };

inline constexpr Service kAllServices[] = {Service::Hf,  Service::A2dp, Service::Avrcp,
                                           Service::Spp, Service::Dun,  Service::Pbap};

std::string_view ServiceName(Service service);

// A set of world services.
class ServiceSet {
public:
    bool Has(Service service) const { return (m_bits & Bit(service)) != 0; }
    void Add(Service service) { m_bits = static_cast<uint8_t>(m_bits | Bit(service)); }
    bool Empty() const { return m_bits == 0; }
    bool operator==(const ServiceSet&) const = default;

private:
    static uint8_t Bit(Service service) { return static_cast<uint8_t>(1u << unsigned(service)); }
    uint8_t m_bits = 0;
};

// "hf,a2dp,avrcp" or "none"; each name at most once.
Result<ServiceSet> ParseServices(std::string_view text);

// Names in the fixed order hf, a2dp, avrcp, spp, dun, pbap; "none" for the empty set.
std::string FormatServices(ServiceSet services);

// The codes whose connections the stack keeps track of (the table above).
bool IsLinkCode(int16_t code);

// The world service a code needs; none for ftp, nfc and codes the stack does not know.
std::optional<Service> ServiceForCode(int16_t code);

// The code's name from the table, or the code in decimal.
std::string ServiceCodeName(int16_t code);

// A name from the table, or a number: decimal -32768..65535 or hex 0x0..0xFFFF, where values
// above 32767 stand for the 16-bit pattern (0xFFFF is -1).
std::optional<int16_t> ParseServiceCode(std::string_view text);

} // namespace kobalt::sim
