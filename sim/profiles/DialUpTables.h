// The dial-up networking tables of the stack: countries and their mobile operators, with the
// five connection parameters of each operator.
//
// Ids: a country's id is its mobile country code (MCC, 3 digits); a provider's id is MCC * 1000
// + its mobile network code (5 or 6 digits). The two ranges never meet, so a provider id used as
// a country id names no country. The tables are in MCC order, which is not the order of names,
// on purpose: the console sorts them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace kobalt::sim {

// The five parameters, in the order of KOBALT_DUNGetParams and KOBALT_DUNConnect.
enum DunParam { kDunNumber, kDunAccessPoint, kDunUser, kDunPassword, kDunDns, kDunParamCount };

struct DunCountry {
    uint32_t id;
    std::string_view name; // UTF-8, at most 63 UTF-16 units
};

struct DunProvider {
    uint32_t id;
    uint32_t country;
    std::string_view name;                               // UTF-8, at most 63 UTF-16 units
    std::array<std::string_view, kDunParamCount> params; // UTF-8, at most 259 units each; the
                                                         // five together differ between providers
};

std::span<const DunCountry> DunCountries();
std::span<const DunProvider> DunProviders();

const DunCountry* FindDunCountry(uint32_t id);
const DunProvider* FindDunProvider(uint32_t id);

} // namespace kobalt::sim
