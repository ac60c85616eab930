#include "sim/pim/Calllogs.h"

#include "sim/world/Utf16.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>

namespace kobalt::sim {

static_assert(sizeof(CalllogRecord) == KOBALT_CALLLOG_RECORD_SIZE);
static_assert(offsetof(CalllogRecord, name) == KOBALT_CALLLOG_NAME);
static_assert(offsetof(CalllogRecord, number) == KOBALT_CALLLOG_NUMBER);

namespace {

constexpr std::string_view kTypeNames[] = {"incoming", "outgoing", "missed"};

} // namespace

std::optional<CalllogType> ParseCalllogType(std::string_view word) {
    for (std::size_t i = 0; i < kCalllogTypes; ++i) {
        if (word == kTypeNames[i]) {
            return static_cast<CalllogType>(i);
        }
    }
    return std::nullopt;
}

std::string_view CalllogTypeName(CalllogType type) {
    return kTypeNames[static_cast<std::size_t>(type)];
}

CalllogType CalllogTypeOf(CallKind kind) {
    switch (kind) {
    case CallKind::Incoming:
        return CalllogType::Incoming;
    case CallKind::Outgoing:
        return CalllogType::Outgoing;
    case CallKind::Missed:
        return CalllogType::Missed;
    }
    return CalllogType::Missed;
}

std::vector<CalllogRecord> BuildCalllog(CalllogType type, const std::vector<CalllogEntry>& entries,
                                        const std::vector<CallRecord>& history,
                                        const std::vector<ContactRecord>& phonebook) {
    std::vector<CalllogEntry> merged = entries;
    for (const CallRecord& call : history) {
        if (CalllogTypeOf(call.kind) == type) {
            merged.push_back({{}, call.number, call.time});
        }
    }
    std::stable_sort(merged.begin(), merged.end(),
                     [](const CalllogEntry& a, const CalllogEntry& b) { return a.time < b.time; });
    std::reverse(merged.begin(), merged.end());

    // One pass over the phonebook for all the log's numbers: phonebooks may be large.
    std::unordered_map<std::u16string, const KOBALT_WCHAR*> names;
    std::vector<std::u16string> numbers;
    for (const CalllogEntry& entry : merged) {
        numbers.push_back(Utf8ToUtf16(entry.number).value_or(u""));
        if (const std::u16string key = NumberKey(numbers.back()); !key.empty()) {
            names.emplace(key, nullptr);
        }
    }
    for (const ContactRecord& contact : phonebook) {
        if (names.empty()) {
            break;
        }
        if (contact.name[0] == 0) {
            continue;
        }
        for (const KOBALT_WCHAR* field : {contact.home, contact.work, contact.cell}) {
            const auto it = names.find(NumberKey(field));
            if (it != names.end() && it->second == nullptr) {
                it->second = contact.name;
            }
        }
    }

    std::vector<CalllogRecord> records(merged.size(), CalllogRecord{});
    for (std::size_t i = 0; i < merged.size(); ++i) {
        CalllogRecord& record = records[i];
        record.type = static_cast<uint32_t>(type);
        const auto it = names.find(NumberKey(numbers[i]));
        if (it != names.end() && it->second != nullptr) {
            std::copy_n(it->second, std::size(record.name), record.name);
        } else {
            CopyTerminated(Utf8ToUtf16(merged[i].name).value_or(u""), record.name,
                           std::size(record.name));
        }
        CopyTerminated(numbers[i], record.number, std::size(record.number));
    }
    return records;
}

} // namespace kobalt::sim
