// The dial-up countries, providers and connection parameters of both SDK libraries, read from
// the mobile-broadband-provider-info database (serviceproviders.xml) with expat.
//
// Ids: a country's id is its place in the file, counted from 1 (at most kMaxDunCountries); a
// provider's id is its country's id * 1000 + its place among that country's listed providers,
// counted from 1 (at most kMaxDunProvidersPerCountry). So the two never meet: a provider id read
// as a country id names no country, and 0 and 0xFFFFFFFF name nothing. Ids hold as long as the
// file does.
//
// Parameters, in the order of KOBALT_DUNGetParams and KOBALT_DUNConnect: the number to dial
// ("*99#" for a GSM access point, "#777" for CDMA), the access point (the first one marked for
// internet usage, else the first one marked for no usage at all; empty for CDMA), user,
// password and the first DNS server (empty when the database names none). A provider with no
// such access point and no CDMA section is not listed: there is nothing to dial.
//
// Texts: leading and trailing white space is dropped and inner runs of it become one space. A
// control character (C0, DEL, C1) in a name becomes U+FFFD; a parameter holding one, or longer
// than a parameter buffer, drops its provider, since a changed parameter would dial something
// else. A country without a name is shown by its upper-case code.
#pragma once

#include "sdk/KobaltAbi.h"
#include "sim/abi/ResultCode.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

// The five parameters, in the order of KOBALT_DUNGetParams and KOBALT_DUNConnect.
enum DunParam { kDunNumber, kDunAccessPoint, kDunUser, kDunPassword, kDunDns, kDunParamCount };

// Units in each parameter buffer of KOBALT_DUNGetParams and KOBALT_DUNConnect, terminator
// included.
inline constexpr std::size_t kDunParamUnits = 260;

inline constexpr const char* kProviderDbVariable = "KOBALT_PROVIDER_DB";
inline constexpr const char* kDefaultProviderDb =
    "/usr/share/mobile-broadband-provider-info/serviceproviders.xml";
inline constexpr std::size_t kMaxProviderDbBytes = std::size_t{16} << 20;
inline constexpr uint32_t kMaxDunCountries = 999;
inline constexpr uint32_t kMaxDunProvidersPerCountry = 999;

struct DunCountry {
    uint32_t id;
    std::u16string name;
};

struct DunProvider {
    uint32_t id;
    uint32_t country;
    std::u16string name;
    std::array<std::u16string, kDunParamCount> params; // each at most kDunParamUnits - 1 units
};

struct ProviderDatabase {
    std::vector<DunCountry> countries;  // file order
    std::vector<DunProvider> providers; // file order, each country's together
    std::vector<std::string> problems;  // for the debug output; empty when all was taken

    const DunCountry* FindCountry(uint32_t id) const;
    const DunProvider* FindProvider(uint32_t id) const;
};

// The database in `xml`. Malformed XML (truncated, an entity declaration, nesting deeper than
// any real file) gives empty lists and a problem.
ProviderDatabase ParseProviderDatabase(std::string_view xml);

// The database at `path`, read as a regular file of at most kMaxProviderDbBytes; empty lists
// and a problem when it cannot be read. Problems name the path.
ProviderDatabase LoadProviderDatabase(const std::string& path);

// KOBALT_PROVIDER_DB when set and not empty, else the Debian path.
std::string ProviderDatabasePath();

// The dial-up entry points over the database at one path, read on first use and kept: the
// two-call protocol needs the same ids in both calls. Problems go to `log`, once. Thread-safe.
class ProviderLists {
public:
    ProviderLists(std::string path, std::function<void(std::string_view)> log);

    // With null `entries`, *count = number of entries; otherwise fills at most *count entries
    // (file order) and sets *count to the number filled. kErrBadArgument for a null count.
    // GetProvider with an id that names no country: *count = 0, kErrUnknownEntry, `entries`
    // untouched.
    ResultCode GetCountry(KOBALT_DunListEntry* entries, uint32_t* count) const;
    ResultCode GetProvider(uint32_t countryId, KOBALT_DunListEntry* entries, uint32_t* count) const;

    // Fills five buffers of kDunParamUnits units. kErrBadArgument (nothing written) when one is
    // null; an id that names no provider empties all five and gives kErrUnknownEntry.
    ResultCode GetParams(uint32_t providerId, KOBALT_WCHAR* const (&params)[kDunParamCount]) const;

    // The first provider whose five parameters these are, each read up to its terminator within
    // kDunParamUnits units; none when a buffer is null, unterminated or no provider matches.
    std::optional<uint32_t> ProviderOf(const KOBALT_WCHAR* const (&params)[kDunParamCount]) const;

private:
    const ProviderDatabase& Database() const;

    std::string m_path;
    std::function<void(std::string_view)> m_log;
    mutable std::once_flag m_loaded;
    mutable std::unique_ptr<const ProviderDatabase> m_database; // set once, under m_loaded
};

} // namespace kobalt::sim
