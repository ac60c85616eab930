#include "sim/radio/Address.h"

#include <cstdio>

namespace kobalt::sim {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

Address Address::From(const KOBALT_BdAddr& addr) {
    Address address;
    for (std::size_t i = 0; i < address.b.size(); ++i) {
        address.b[i] = addr.b[i];
    }
    return address;
}

KOBALT_BdAddr Address::ToAbi() const {
    KOBALT_BdAddr addr{};
    for (std::size_t i = 0; i < b.size(); ++i) {
        addr.b[i] = b[i];
    }
    return addr;
}

std::optional<Address> ParseAddress(std::string_view text) {
    // Six pairs of hex digits separated by colons: 17 characters.
    if (text.size() != 17) {
        return std::nullopt;
    }
    Address address;
    for (std::size_t pair = 0; pair < 6; ++pair) {
        const std::size_t at = pair * 3;
        const int high = HexValue(text[at]);
        const int low = HexValue(text[at + 1]);
        if (high < 0 || low < 0 || (pair < 5 && text[at + 2] != ':')) {
            return std::nullopt;
        }
        address.b[5 - pair] = static_cast<uint8_t>(high * 16 + low);
    }
    return address;
}

std::string FormatAddress(const Address& address) {
    const auto& b = address.b;
    std::array<char, 18> text{};
    std::snprintf(text.data(), text.size(), "%02X:%02X:%02X:%02X:%02X:%02X", b[5], b[4], b[3], b[2],
                  b[1], b[0]);
    return text.data();
}

const KOBALT_BdAddr* AddressPool::Intern(const Address& address) {
    auto& slot = m_slots[address];
    if (!slot) {
        slot = std::make_unique<KOBALT_BdAddr>(address.ToAbi());
    }
    return slot.get();
}

} // namespace kobalt::sim
