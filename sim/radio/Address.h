// Device addresses as values, as text, and as stable pointers handed to callbacks.
#pragma once

#include "sdk/KobaltAbi.h"

#include <array>
#include <compare>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kobalt::sim {

// A device address; b[0] is byte 0 as the library passes it.
struct Address {
    std::array<uint8_t, 6> b{};

    static Address From(const KOBALT_BdAddr& addr);
    KOBALT_BdAddr ToAbi() const;

    auto operator<=>(const Address&) const = default;
};

// "66:55:44:33:22:11", byte 5 first, as the console shows addresses; hex digits of either case.
std::optional<Address> ParseAddress(std::string_view text);

// Byte 5 first, upper-case hex.
std::string FormatAddress(const Address& address);

// Addresses handed to callbacks must outlive the event: each distinct address gets one slot
// that lives as long as the pool. Memory grows only with the number of distinct addresses.
// Not thread-safe; the stack uses it under its lock.
class AddressPool {
public:
    const KOBALT_BdAddr* Intern(const Address& address);

private:
    std::map<Address, std::unique_ptr<KOBALT_BdAddr>> m_slots;
};

} // namespace kobalt::sim
