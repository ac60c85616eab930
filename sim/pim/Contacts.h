// Phonebook contacts and pushed contacts in the console's record layouts.
//
// The phonebook is kept as the 310-byte records the console fetches, so a download hands the
// console one stored vector without conversion (phonebooks of 200,000 contacts are served).
#pragma once

#include "sdk/KobaltAbi.h"
#include "sim/Status.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

// Largest phonebook the phone holds: world file, vCards and control commands together.
inline constexpr std::size_t kMaxPhonebook = 250000;

// Longest texts the records hold, in UTF-16 units, without the terminator.
inline constexpr std::size_t kContactNameUnits = 31;
inline constexpr std::size_t kContactNumberUnits = 40;
inline constexpr std::size_t kPushedSlotUnits = 254;
// Pushed numbers fill these slots, in this order; slot 0 holds the name.
inline constexpr std::size_t kPushedNumberSlots[] = {1, 2, 3, 4, 6, 7};
inline constexpr std::size_t kMaxPushedNumbers = std::size(kPushedNumberSlots);

// One contact as given (world file, vCard, control command): UTF-8, any length; empty texts
// are missing fields.
struct ContactFields {
    std::string name;
    std::string home;
    std::string work;
    std::string cell;
};

// 310 bytes: every field NUL-terminated, zero-padded.
struct ContactRecord {
    KOBALT_WCHAR name[kContactNameUnits + 1];
    KOBALT_WCHAR home[kContactNumberUnits + 1];
    KOBALT_WCHAR work[kContactNumberUnits + 1];
    KOBALT_WCHAR cell[kContactNumberUnits + 1];
};

// 5610 bytes: slot 0 the name, numbers in kPushedNumberSlots, the other slots empty.
struct OppContactRecord {
    KOBALT_WCHAR slots[KOBALT_OPP_SLOTS][kPushedSlotUnits + 1];
};

// The record for `fields`. Texts too long for their field are cut to what fits (a surrogate
// pair is never split) and each cut adds a line to `notes`. None when a text is not valid
// UTF-8.
Result<ContactRecord> MakeContactRecord(const ContactFields& fields,
                                        std::vector<std::string>& notes);

// The pushed contact with `name` and up to kMaxPushedNumbers numbers; as MakeContactRecord.
Result<OppContactRecord> MakeOppContactRecord(std::string_view name,
                                              const std::vector<std::string>& numbers,
                                              std::vector<std::string>& notes);

// The `count` synthetic contacts numbered from `first` on, for load tests: every one has a
// name and a cell number, every third a home number, every fifth a work number.
std::vector<ContactRecord> GenerateContacts(std::size_t first, std::size_t count);

// The text of a NUL-terminated field, as UTF-8.
std::string FieldText(const KOBALT_WCHAR* field, std::size_t capacity);

// What identifies a telephone number when call logs look up names: its digits and + * #, so
// "+44 20 7946-0018" and "+442079460018" match.
std::u16string NumberKey(std::u16string_view number);

} // namespace kobalt::sim
