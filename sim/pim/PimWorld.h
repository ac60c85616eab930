// The phone data of the world: the phonebook and the three call logs, and their world-file
// records (docs/phone.md):
//
//   contact "NAME" "HOME" "WORK" "CELL"      empty texts for missing fields
//   vcard FILE                               the contacts of a vCard file, relative to the world
//   calllog incoming|outgoing|missed "NAME" NUMBER
//
// The data belongs to the phone the console reaches over hands-free.
#pragma once

#include "sim/Status.h"
#include "sim/pim/Calllogs.h"
#include "sim/pim/Contacts.h"
#include "sim/world/BoundedFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

struct PimWorld {
    std::vector<ContactRecord> contacts; // in file order
    Calllogs calllogs;
};

enum class PimRecordRead {
    NotPim, // the keyword is not one of this file's
    Read,   // the record was added to the world
};

// Reads one world-file record whose keyword is `keyword` and whose fields follow it. A vCard
// file is looked up relative to `directory` (empty: the working directory) and read from
// `files` (at most kMaxWorldFileBytes). The phonebook holds at most kMaxPhonebook contacts,
// vCards included. Cut texts add a line each to `notes`. An error for a malformed record.
Result<PimRecordRead> ReadPimRecord(std::string_view keyword,
                                    const std::vector<std::string>& fields,
                                    const std::string& directory, const FileSource& files,
                                    PimWorld& world, std::vector<std::string>& notes);

// The phonebook and call logs of the built-in world, as world-file records.
std::string_view DefaultPimWorldText();

} // namespace kobalt::sim
