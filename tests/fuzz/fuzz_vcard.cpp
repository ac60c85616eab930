// The vCard parser from bytes, directly and as the file of a world's `vcard` line read through
// an in-memory file source (nothing is read from disk).
//
// Checks: a file read gives at most the phonebook's number of contacts, and each one's texts are
// valid UTF-8 without control characters (C0, DEL, C1) or surrounding blanks; the count limit
// holds exactly (the same file with a limit one lower is refused); a malformed file names one of
// its lines and keeps nothing; the world reads the file the same way.

#include "FuzzCheck.h"
#include "sim/pim/VCard.h"
#include "sim/world/BoundedFile.h"
#include "sim/world/Utf16.h"
#include "sim/world/WorldFile.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

bool CleanText(const std::string& text) {
    const std::optional<std::u16string> wide = kobalt::sim::Utf8ToUtf16(text);
    if (!wide) {
        return false;
    }
    for (const char16_t unit : *wide) {
        if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F)) {
            return false;
        }
    }
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return text.empty() || (!blank(text.front()) && !blank(text.back()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kobalt::sim;
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    const VCardParse parse = ParseVCards(bytes);
    if (parse.line == 0) {
        FUZZ_CHECK(parse.problem.empty());
        FUZZ_CHECK(parse.contacts.size() <= kMaxPhonebook);
        for (const ContactFields& contact : parse.contacts) {
            FUZZ_CHECK(CleanText(contact.name));
            FUZZ_CHECK(CleanText(contact.home));
            FUZZ_CHECK(CleanText(contact.work));
            FUZZ_CHECK(CleanText(contact.cell));
        }
        if (!parse.contacts.empty()) {
            const VCardParse tighter = ParseVCards(bytes, parse.contacts.size() - 1);
            FUZZ_CHECK(tighter.line != 0 && tighter.contacts.empty());
            FUZZ_CHECK(tighter.problem.starts_with("more than "));
        }
    } else {
        const auto lines = static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
        FUZZ_CHECK(parse.line >= 1 && parse.line <= lines);
        FUZZ_CHECK(!parse.problem.empty());
        FUZZ_CHECK(parse.contacts.empty());
    }

    MemoryFiles files;
    files.files["/fuzz/phone.world"] = "vcard cards.vcf\n";
    files.files["/fuzz/cards.vcf"] = bytes;
    const WorldFileLoad load = LoadWorldFile("/fuzz/phone.world", files);
    FUZZ_CHECK(load.problem.empty() == (parse.line == 0));
    FUZZ_CHECK(load.parse.pim.contacts.size() == parse.contacts.size());
    if (!load.problem.empty()) {
        FUZZ_CHECK(load.problem.starts_with("/fuzz/phone.world:1: vcard: /fuzz/cards.vcf:"));
    }
    return 0;
}
