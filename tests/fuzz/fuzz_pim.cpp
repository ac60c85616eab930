// Phonebook and call-log records with the counts the SDK reports for them: the stored contacts
// (310-byte records) when the phonebook opens and when a download ends, the contacts a phone
// pushes (5610-byte records), and the call logs (232-byte records).
//
// Input: operations of [op][records...][counts]. Records are shaped from the input; any text
// field may fill its slot without a terminator.

#include "FuzzInput.h"

#include <cstring>

#include "pim/Calllog.h"
#include "pim/PhoneBook.h"
#include "pim/PimMessages.h"

using namespace kobalt::fuzz;

namespace {

PhoneBook* g_phoneBook = nullptr;
CCalllog* g_calllog = nullptr;

// The records the fake SDK holds for the current operation, back to back.
struct FakeRecords {
    std::size_t recordSize = 0;
    std::vector<uint8_t> bytes;
    int queryResult = 0;
    uint32_t queryCount = 0;
    uint32_t fillCount = 0;
    uint32_t capacity = 0; // what the fill call was given, for the check
} g_fake;

int GetRecords(void* records, uint32_t* count) {
    if (records == nullptr) {
        *count = g_fake.queryCount;
        return g_fake.queryResult;
    }
    g_fake.capacity = *count;
    const std::size_t held = g_fake.bytes.size() / g_fake.recordSize;
    const std::size_t n = std::min<std::size_t>(*count, held);
    std::memcpy(records, g_fake.bytes.data(), n * g_fake.recordSize);
    *count = g_fake.fillCount;
    return 0;
}

int Succeed() {
    return 0;
}
int RegisterCallback(KOBALT_PimCallback) {
    return 0;
}

void Prepare(FuzzInput& in, std::size_t recordSize) {
    g_fake.recordSize = recordSize;
    g_fake.bytes.clear();
    const uint8_t n = in.Byte() % 6;
    for (uint8_t i = 0; i < n; ++i) {
        std::vector<uint8_t> record(recordSize, 0);
        // Fields filled one by one: a few 2-byte-aligned offsets, each with a unit pattern.
        for (uint8_t fields = in.Byte() % 6; fields > 0; --fields) {
            const std::size_t offset = (in.Byte() * std::size_t{2} * 11) % recordSize;
            std::vector<uint8_t> text = in.Record(std::min<std::size_t>(recordSize - offset, 520));
            std::copy(text.begin(), text.end(), record.begin() + static_cast<long>(offset));
        }
        g_fake.bytes.insert(g_fake.bytes.end(), record.begin(), record.end());
    }
    g_fake.queryResult = (in.Byte() % 16 == 0) ? -1 : 0;
    g_fake.queryCount = in.Count(n);
    g_fake.fillCount = in.Count(std::min<uint32_t>(n, g_fake.queryCount));
    g_fake.capacity = 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    UnbindSdk();
    g_SdkApi.KOBALT_PIMGetContacts = &GetRecords;
    g_SdkApi.KOBALT_PIMGetOppContacts = &GetRecords;
    g_SdkApi.KOBALT_PIMGetCalllogs = &GetRecords;
    g_SdkApi.KOBALT_PIMRegisterCallback = &RegisterCallback;
    g_SdkApi.KOBALT_PIMStopUpdate = &Succeed;
    // The phonebook lists the stored contacts while it opens: none.
    g_fake.recordSize = KOBALT_CONTACT_RECORD_SIZE;
    g_phoneBook = new PhoneBook(nullptr);
    g_calllog = new CCalllog(nullptr);
    if (!CreateModeless(*g_phoneBook) || !CreateModeless(*g_calllog))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    int operations = 0;
    while (!in.Empty() && ++operations <= 16) {
        switch (in.Byte() % 3) {
        case 0:
            Prepare(in, KOBALT_CONTACT_RECORD_SIZE);
            g_phoneBook->SendMessage(WM_PHONEBOOK_EVENT, KOBALT_PIM_CONTACTS_DONE, 0);
            break;
        case 1:
            Prepare(in, KOBALT_OPP_RECORD_SIZE);
            g_phoneBook->SendMessage(WM_PHONEBOOK_EVENT, KOBALT_PIM_OPP_CONTACTS, 0);
            break;
        default:
            Prepare(in, KOBALT_CALLLOG_RECORD_SIZE);
            g_calllog->m_list.DeleteAllItems(); // as a new download does
            g_calllog->SendMessage(WM_CALLLOG_EVENT, KOBALT_PIM_CALLLOG_DONE, 0);
            break;
        }
        // The fill is asked for no more records than the count query reported.
        FUZZ_CHECK(g_fake.capacity <= g_fake.queryCount);
        // Each record adds at most six rows (pushed contacts), three for stored contacts.
        FUZZ_CHECK(g_phoneBook->m_listContacts.GetItemCount() <= 6 * 5);
        FUZZ_CHECK(g_calllog->m_list.GetItemCount() <= 5);
    }
    g_phoneBook->m_listContacts.DeleteAllItems();
    g_calllog->m_list.DeleteAllItems();
    return 0;
}
