// The dial-up provider database (mobile-broadband-provider-info's XML), from bytes, as both SDK
// libraries read it.
//
// Checks: the lists stay within their bounds; country ids count from 1 and a provider's id is
// its country's times 1000 plus its place, so no provider id is a country id; no name is empty
// or holds a control character; every parameter fits its buffer and holds no control character;
// malformed XML keeps nothing and says why.

#include "FuzzCheck.h"
#include "sim/profiles/ProviderDatabase.h"

#include <cstdint>
#include <set>
#include <string>

namespace {

bool Clean(std::u16string_view text) {
    for (const char16_t c : text) {
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kobalt::sim;
    const ProviderDatabase db =
        ParseProviderDatabase(std::string_view(reinterpret_cast<const char*>(data), size));
    if (db.countries.empty()) {
        FUZZ_CHECK(db.providers.empty());
        return 0;
    }
    FUZZ_CHECK(db.countries.size() <= kMaxDunCountries);
    std::set<uint32_t> ids;
    for (std::size_t i = 0; i < db.countries.size(); ++i) {
        FUZZ_CHECK(db.countries[i].id == i + 1);
        FUZZ_CHECK(!db.countries[i].name.empty() && Clean(db.countries[i].name));
        ids.insert(db.countries[i].id);
    }
    for (const DunProvider& provider : db.providers) {
        FUZZ_CHECK(db.FindCountry(provider.country) != nullptr);
        FUZZ_CHECK(provider.id / 1000 == provider.country);
        FUZZ_CHECK(provider.id % 1000 >= 1 && provider.id % 1000 <= kMaxDunProvidersPerCountry);
        FUZZ_CHECK(ids.insert(provider.id).second);
        FUZZ_CHECK(!provider.name.empty() && Clean(provider.name));
        for (const std::u16string& param : provider.params) {
            FUZZ_CHECK(param.size() < kDunParamUnits && Clean(param));
        }
    }
    return 0;
}
