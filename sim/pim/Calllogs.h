// The phone's three call logs and the 232-byte records the console fetches.
//
// A log is the entries of the world (world file, control commands) and the calls finished in
// the simulated phone (CallHistory), served newest first. Entries carry the time of the call;
// world-file entries come before every call of the running library, in the file's order
// (newest first, as a phone lists them).
#pragma once

#include "sdk/KobaltAbi.h"
#include "sim/phone/CallHistory.h"
#include "sim/pim/Contacts.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

// The argument of KOBALT_PIMStartUpdateCalllogEx.
enum class CalllogType { Incoming = 0, Outgoing = 1, Missed = 2 };
inline constexpr std::size_t kCalllogTypes = 3;

inline constexpr std::size_t kCalllogNumberUnits = 81;

struct CalllogEntry {
    std::string name;   // UTF-8, as the phone's log holds it; may be empty
    std::string number; // UTF-8; may be empty (a withheld number)
    std::chrono::system_clock::time_point time{};
};

using Calllogs = std::array<std::vector<CalllogEntry>, kCalllogTypes>; // any order: time decides

// 232 bytes: the log's type, then the name and the number, NUL-terminated and zero-padded.
struct CalllogRecord {
    uint32_t type; // the CalllogType; the console does not read it
    KOBALT_WCHAR name[kContactNameUnits + 1];
    KOBALT_WCHAR number[kCalllogNumberUnits + 1];
};

// `incoming`, `outgoing`, `missed`.
std::optional<CalllogType> ParseCalllogType(std::string_view word);
std::string_view CalllogTypeName(CalllogType type);
// The log a finished call belongs to.
CalllogType CalllogTypeOf(CallKind kind);

// The log `type` as served: `entries` and the calls of `history` of that type, newest first
// (ties keep their order, the later one first). A record's name is the phonebook's name for its
// number when the phonebook has one (the first contact holding the number), else the entry's
// own name. Texts too long for their field are cut.
std::vector<CalllogRecord> BuildCalllog(CalllogType type, const std::vector<CalllogEntry>& entries,
                                        const std::vector<CallRecord>& history,
                                        const std::vector<ContactRecord>& phonebook);

} // namespace kobalt::sim
