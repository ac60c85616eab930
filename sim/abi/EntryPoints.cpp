#include "sim/abi/EntryPoints.h"

#include <array>

namespace kobalt::sim {
namespace {

#define KOBALT_SIM_NAME_CALLED(name, type) "KOBALT_" #name,
#define KOBALT_SIM_NAME_OTHER(name) "KOBALT_" #name,
constexpr std::array<std::string_view, kApiCount> kNames{
    KOBALT_SIM_ENTRY_POINTS(KOBALT_SIM_NAME_CALLED, KOBALT_SIM_NAME_OTHER)};
#undef KOBALT_SIM_NAME_CALLED
#undef KOBALT_SIM_NAME_OTHER

#define KOBALT_SIM_COUNT_CALLED(name, type) +1
#define KOBALT_SIM_COUNT_OTHER(name)
constexpr std::size_t kCalledCount =
    0 KOBALT_SIM_ENTRY_POINTS(KOBALT_SIM_COUNT_CALLED, KOBALT_SIM_COUNT_OTHER);
#undef KOBALT_SIM_COUNT_CALLED
#undef KOBALT_SIM_COUNT_OTHER

constexpr bool NamesAreUnique() {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        for (std::size_t j = i + 1; j < kNames.size(); ++j) {
            if (kNames[i] == kNames[j]) {
                return false;
            }
        }
    }
    return true;
}

// The console's table has 131 slots, 56 of which it calls; the rest are looked up only.
static_assert(kApiCount == 131, "the entry-point table has 131 slots");
static_assert(kCalledCount == 56, "the console calls 56 entry points");
static_assert(NamesAreUnique(), "entry-point names must be unique");

} // namespace

std::string_view ApiName(Api api) {
    return kNames[static_cast<std::size_t>(api)];
}

std::optional<Api> FindApi(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) {
            return static_cast<Api>(i);
        }
    }
    return std::nullopt;
}

} // namespace kobalt::sim
