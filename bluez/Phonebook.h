// What obexd's phonebook files mean to the SDK: the PBAP object of each download, the vCard files
// obexd writes (a phonebook or a call log pulled over PBAP, a contact pushed over OPP) read into
// the records the console fetches, and the private folder those files go to. No D-Bus here.
#pragma once

#include "sim/pim/Calllogs.h"
#include "sim/pim/Contacts.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::bluez {

// The PBAP phonebook object of a call log: "ich", "och" or "mch".
std::string_view PbapCalllog(sim::CalllogType type);

// The contacts of a vCard text. A phone's export may hold a card the parser refuses (a broken
// encoding, a card cut short); the others are kept and `skipped` counts the refused ones, with
// the first problem in `problem`. At most `maxCards` contacts are read; the rest are skipped.
struct CardsRead {
    std::vector<sim::ContactFields> contacts;
    std::size_t skipped = 0;
    std::string problem;
};
CardsRead ReadCards(std::string_view text, std::size_t maxCards = sim::kMaxPhonebook);

// The file obexd wrote at `path`, read as a bounded regular file (sim::kMaxWorldFileBytes); none
// with `problem` when it cannot be read.
std::optional<CardsRead> ReadCardFile(const std::string& path, std::string& problem);

// The records the console fetches. Texts too long for their field are cut.
std::vector<sim::ContactRecord> ContactRecords(const std::vector<sim::ContactFields>& contacts);
// A call log as the phone lists it, newest first: each card's name and its first number (cell,
// home, then work, as the parser sorts them).
std::vector<sim::CalllogRecord> CalllogRecords(sim::CalllogType type,
                                               const std::vector<sim::ContactFields>& entries);
// Pushed contacts: the name and the numbers (cell, home, work) in the record's number slots.
std::vector<sim::OppContactRecord> PushedRecords(const std::vector<sim::ContactFields>& contacts);

// The folder obexd writes downloads and pushed contacts to, made when missing: "kobalt-obex" in
// $XDG_RUNTIME_DIR, else "kobalt/obex" in $XDG_CACHE_HOME or ~/.cache. It must be a folder of
// this user with no access for others (0700); none with `problem` otherwise.
std::optional<std::string> PrivateObexFolder(std::string& problem);

} // namespace kobalt::bluez
