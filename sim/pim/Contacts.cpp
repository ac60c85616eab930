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
Status Fill(std::string_view what, std::string_view text, KOBALT_WCHAR* field, std::size_t capacity,
            std::vector<std::string>& notes) {
    const std::optional<std::u16string> wide = Utf8ToUtf16(text);
    if (!wide) {
        return Status::Error(std::string(what) + " is not valid UTF-8");
    }
    if (CopyTerminated(*wide, field, capacity) < wide->size()) {
        notes.push_back(std::string(what) + " cut to " + std::to_string(capacity - 1) +
                        " characters: " + FieldText(field, capacity));
    }
    return {};
}

} // namespace

Result<ContactRecord> MakeContactRecord(const ContactFields& fields,
                                        std::vector<std::string>& notes) {
    ContactRecord record{};
    // In order, up to the first text that is not UTF-8.
    Status filled = Fill("name", fields.name, record.name, std::size(record.name), notes);
    if (filled.Ok()) {
        filled = Fill("home number", fields.home, record.home, std::size(record.home), notes);
    }
    if (filled.Ok()) {
        filled = Fill("work number", fields.work, record.work, std::size(record.work), notes);
    }
    if (filled.Ok()) {
        filled = Fill("cell number", fields.cell, record.cell, std::size(record.cell), notes);
    }
    if (!filled.Ok()) {
        return filled;
    }
    return record;
}

Result<OppContactRecord> MakeOppContactRecord(std::string_view name,
                                              const std::vector<std::string>& numbers,
                                              std::vector<std::string>& notes) {
    if (numbers.size() > kMaxPushedNumbers) {
        return Status::Error("at most " + std::to_string(kMaxPushedNumbers) + " numbers");
    }
    OppContactRecord record{};
    if (Status filled = Fill("name", name, record.slots[0], kPushedSlotUnits + 1, notes);
        !filled.Ok()) {
        return filled;
    }
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (Status filled = Fill("number", numbers[i], record.slots[kPushedNumberSlots[i]],
                                 kPushedSlotUnits + 1, notes);
            !filled.Ok()) {
            return filled;
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
