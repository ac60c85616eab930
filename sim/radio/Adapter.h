// The local Bluetooth adapter's settings: default PIN code, name, software version, address.
//
// The settings dialog may open before START, so every member works whether or not the stack
// runs. What a setter stores, later getters return for the life of the library (UnInit/Init
// keep it). Every member may be called from any thread.
//
// Decisions:
// - The PIN is 1 to 16 bytes (what legacy pairing takes), stored as given and returned as given:
//   the console reads it as UTF-8 and writes it in its ANSI code page, which agree for digits.
// - GetDefaultPinCode writes the PIN and a NUL only when both fit in *length bytes; else it
//   writes nothing (a cut PIN would be a wrong PIN) and fails with kErrTooSmall. Either way
//   *length becomes the PIN's length without the NUL.
// - SetDefaultPinCode reads at most `length` bytes; an empty PIN, one longer than 16 bytes, or
//   one without a NUL within `length` bytes is refused (kErrBadText) and the PIN is kept.
// - The name is at most 248 bytes of UTF-8 (a Bluetooth name); SetLocalName reads at most 249
//   units looking for the NUL. An empty name is allowed (the adapter then reports none); one
//   that is too long, unterminated or holds an unpaired surrogate is refused (kErrBadText).
// - GetLocalName writes at most capacity - 1 units and a NUL (a surrogate pair is never split);
//   a capacity below 1 fails with kErrBadArgument, writing nothing.
// - The address is shown 11:22:33:44:55:66, i.e. bytes b[0]=0x66 ... b[5]=0x11.
#pragma once

#include "sdk/KobaltAbi.h"
#include "sim/abi/ResultCode.h"
#include "sim/radio/Address.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kobalt::sim {

inline constexpr std::size_t kMaxPinBytes = 16;
inline constexpr std::size_t kMaxLocalNameBytes = 248;
inline constexpr std::size_t kVersionUnits = 40; // the console's buffer, terminator included

inline constexpr std::string_view kDefaultPin = "0000";
inline constexpr std::string_view kDefaultLocalName = "KOBALT Demo";
inline constexpr std::string_view kSoftwareVersion = "KOBALT SDK 3.2.1 (sim)";
inline constexpr std::string_view kDefaultLocalAddress = "11:22:33:44:55:66";

class Adapter {
public:
    Adapter();

    // Each fails with kErrBadArgument for a null pointer, touching nothing. See above.
    ResultCode GetDefaultPinCode(char* pin, uint32_t* length) const;
    ResultCode SetDefaultPinCode(const char* pin, uint32_t length);
    ResultCode GetLocalName(KOBALT_WCHAR* name, int capacity) const;
    ResultCode SetLocalName(const KOBALT_WCHAR* name);
    // Writes the version and a NUL, at most kVersionUnits units in all.
    ResultCode GetSoftwareVersion(KOBALT_WCHAR* version) const;
    ResultCode GetLocalAddress(KOBALT_BdAddr* addr) const;

    // `adapter pin "..."`, `adapter name "..."`, `adapter version "..."`, `adapter address ADDR`.
    std::vector<std::string> StateLines() const;

private:
    mutable std::mutex m_mutex; // guards the fields below
    std::string m_pin;          // bytes as given, 1..kMaxPinBytes, no NUL
    std::u16string m_name;      // at most kMaxLocalNameBytes as UTF-8
    Address m_address;
};

} // namespace kobalt::sim
