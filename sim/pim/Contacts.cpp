#include "sim/pim/Contacts.h"

#include "sim/world/Utf16.h"

#include <cstddef>
#include <cstdio>

namespace kobalt::sim {

static_assert(sizeof(ContactRecord) == KOBALT_CONTACT_RECORD_SIZE);
static_assert(offsetof(ContactRecord, name) == KOBALT_CONTACT_NAME);
static_assert(offsetof(ContactRecord, home) == KOBALT_CONTACT_HOME);
static_assert(offsetof(ContactRecord, work) == KOBALT_CONTACT_WORK);
static_assert(offsetof(ContactRecord, cell) == KOBALT_CONTACT_CELL);
static_assert(sizeof(OppContactRecord) == KOBALT_OPP_RECORD_SIZE);
static_assert(sizeof(OppContactRecord::slots[0]) == KOBALT_OPP_SLOT_SIZE);

namespace {

// Writes `text` into a zeroed field of `capacity` units; notes a cut.
bool Fill(std::string_view what, std::string_view text, KOBALT_WCHAR* field, std::size_t capacity,
          std::vector<std::string>& notes, std::string& problem) {
    const std::optional<std::u16string> wide = Utf8ToUtf16(text);
    if (!wide) {
        problem = std::string(what) + " is not valid UTF-8";
        return false;
    }
    if (CopyTerminated(*wide, field, capacity) < wide->size()) {
        notes.push_back(std::string(what) + " cut to " + std::to_string(capacity - 1) +
                        " characters: " + FieldText(field, capacity));
    }
    return true;
}

} // namespace

std::optional<ContactRecord> MakeContactRecord(const ContactFields& fields,
                                               std::vector<std::string>& notes,
                                               std::string& problem) {
    ContactRecord record{};
    if (!Fill("name", fields.name, record.name, std::size(record.name), notes, problem) ||
        !Fill("home number", fields.home, record.home, std::size(record.home), notes, problem) ||
        !Fill("work number", fields.work, record.work, std::size(record.work), notes, problem) ||
        !Fill("cell number", fields.cell, record.cell, std::size(record.cell), notes, problem)) {
        return std::nullopt;
    }
    return record;
}

std::optional<OppContactRecord> MakeOppContactRecord(std::string_view name,
                                                     const std::vector<std::string>& numbers,
                                                     std::vector<std::string>& notes,
                                                     std::string& problem) {
    if (numbers.size() > kMaxPushedNumbers) {
        problem = "at most " + std::to_string(kMaxPushedNumbers) + " numbers";
        return std::nullopt;
    }
    OppContactRecord record{};
    if (!Fill("name", name, record.slots[0], kPushedSlotUnits + 1, notes, problem)) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (!Fill("number", numbers[i], record.slots[kPushedNumberSlots[i]], kPushedSlotUnits + 1,
                  notes, problem)) {
            return std::nullopt;
        }
    }
    return record;
}

std::vector<ContactRecord> GenerateContacts(std::size_t first, std::size_t count) {
    std::vector<ContactRecord> records;
    records.reserve(count);
    char text[48];
    for (std::size_t n = first; n < first + count; ++n) {
        ContactRecord record{};
        const auto put = [&](KOBALT_WCHAR* field) {
            for (std::size_t i = 0; text[i] != '\0'; ++i) {
                field[i] = static_cast<KOBALT_WCHAR>(text[i]);
            }
        };
        std::snprintf(text, sizeof text, "Load Test %07zu", n);
        put(record.name);
        std::snprintf(text, sizeof text, "+1555%07zu", n % 10000000);
        put(record.cell);
        if (n % 3 == 0) {
            std::snprintf(text, sizeof text, "+1666%07zu", n % 10000000);
            put(record.home);
        }
        if (n % 5 == 0) {
            std::snprintf(text, sizeof text, "+1777%07zu", n % 10000000);
            put(record.work);
        }
        records.push_back(record);
    }
    return records;
}

std::string FieldText(const KOBALT_WCHAR* field, std::size_t capacity) {
    std::u16string_view text(field, capacity);
    text = text.substr(0, text.find(u'\0'));
    std::string out;
    while (!text.empty()) {
        const common::Utf16Char decoded = common::DecodeUtf16(text);
        AppendUtf8(out, common::IsSurrogate(decoded.cp) ? 0xFFFD : decoded.cp);
        text.remove_prefix(decoded.length);
    }
    return out;
}

std::u16string NumberKey(std::u16string_view number) {
    std::u16string key;
    for (const char16_t c : number) {
        if ((c >= u'0' && c <= u'9') || c == u'+' || c == u'*' || c == u'#') {
            key += c;
        }
    }
    return key;
}

} // namespace kobalt::sim
