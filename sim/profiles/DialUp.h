// Dial-up networking: the country and provider lists, a provider's connection parameters, and
// the internet connection (service 3) that a dial opens.
//
// The lists come from the provider database (ProviderDatabase.h), read on first use, and need
// no running stack; a dial does. A dial is a
// connect of service 3 through the stack's links (Link.h), so the connect event, KOBALT_Disconnect
// with service 3, link loss and UnInit work as for any other service; this class only adds
// which provider the connection was dialled with.
//
// Lock order: m_mutex, then the stack's (a dial checks and connects as one step); the stack
// never calls in here.
#pragma once

#include "sdk/KobaltAbi.h"
#include "sim/abi/ResultCode.h"
#include "sim/profiles/ProviderDatabase.h"
#include "sim/radio/Address.h"
#include "sim/radio/Stack.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kobalt::sim {

class DialUp {
public:
    // The database at `databasePath`; its problems go to `log`.
    DialUp(Stack& stack, std::string databasePath, std::function<void(std::string_view)> log);

    // The lists and parameters, as ProviderLists gives them.
    ResultCode GetCountry(KOBALT_DunListEntry* entries, uint32_t* count) const {
        return m_lists.GetCountry(entries, count);
    }
    ResultCode GetProvider(uint32_t countryId, KOBALT_DunListEntry* entries,
                           uint32_t* count) const {
        return m_lists.GetProvider(countryId, entries, count);
    }
    ResultCode GetParams(uint32_t providerId, KOBALT_WCHAR* const (&params)[kDunParamCount]) const {
        return m_lists.GetParams(providerId, params);
    }

    // Dials: the parameters must equal a provider's five (the first one with them counts) (each
    // read up to its terminator, at most kDunParamUnits units), and the device must be in range and
    // offer both dun and hf. Then the stack connects service 3 and its connect event follows.
    // kErrNotInitialised, kErrBadArgument (a null pointer), kErrUnknownEntry (no provider has these
    // parameters), kErrUnknownDevice, kErrOutOfRange, kErrNoService, kErrBusy (the internet link of
    // the device is being released, or is up or on its way with another provider's parameters).
    // Dialling the provider whose connection is up or on its way: 0 and no second event.
    ResultCode Connect(const KOBALT_BdAddr* addr,
                       const KOBALT_WCHAR* const (&params)[kDunParamCount]);

    // `dun dialing ADDR ID`, `dun connected ADDR ID` (ID `none` for an internet link not opened
    // by a dial) for each internet link not idle, by address as shown; `dun idle` when there is
    // none.
    std::vector<std::string> StateLines() const;

private:
    // A dial that opened (or joined) an internet link: it counts only while that same link
    // lives, so a link the phone opens later by itself is not taken for the dialled one.
    struct Dialled {
        uint32_t provider;
        uint64_t life; // Stack::LinkInfo::life of the link
    };

    // The provider of `link` when it was opened by a dial; none otherwise. Expects m_mutex.
    std::optional<uint32_t> DialledLocked(const Stack::LinkInfo& link) const;

    Stack& m_stack;
    ProviderLists m_lists;
    mutable std::mutex m_mutex;           // guards the field below
    std::map<Address, Dialled> m_dialled; // the last dial that each device took
};

} // namespace kobalt::sim
