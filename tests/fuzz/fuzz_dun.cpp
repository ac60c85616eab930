// Dial-up lists: the countries and a country's providers, with the counts the SDK reports for
// them, and the selection that chooses the country whose providers are asked for.
//
// Input: operations of [op][operands...]. Entries are 132 bytes shaped from the input; names may
// fill all 64 units without a terminator.

#include "FuzzInput.h"

#include "profiles/Dun.h"

#include <cstring>

using namespace kobalt::fuzz;

namespace {

// A dialog whose list handlers the target may call.
class FuzzDun : public CDun {
public:
    using CDun::OnBnClickedGetCountry;
    using CDun::OnBnClickedGetProvider;
};

FuzzDun* g_dun = nullptr;

struct FakeLists {
    std::vector<KOBALT_DunListEntry> entries;
    uint32_t queryCount = 0;
    uint32_t fillCount = 0;
    uint32_t askedCountry = 0;
} g_fake;

int Fill(KOBALT_DunListEntry* entries, uint32_t* count) {
    if (entries == nullptr) {
        *count = g_fake.queryCount;
        return 0;
    }
    std::size_t n = std::min<std::size_t>(*count, g_fake.entries.size());
    std::copy_n(g_fake.entries.data(), n, entries);
    *count = g_fake.fillCount;
    return 0;
}

int GetCountry(KOBALT_DunListEntry* entries, uint32_t* count) {
    return Fill(entries, count);
}

int GetProvider(uint32_t countryId, KOBALT_DunListEntry* entries, uint32_t* count) {
    g_fake.askedCountry = countryId;
    return Fill(entries, count);
}

void Prepare(FuzzInput& in) {
    g_fake.entries.clear();
    for (uint8_t n = in.Byte() % 8; n > 0; --n) {
        KOBALT_DunListEntry entry{};
        std::vector<uint8_t> bytes = in.Record(sizeof entry);
        std::memcpy(&entry, bytes.data(), sizeof entry);
        g_fake.entries.push_back(entry);
    }
    const auto held = static_cast<uint32_t>(g_fake.entries.size());
    g_fake.queryCount = in.Count(held);
    g_fake.fillCount = in.Count(std::min(held, g_fake.queryCount));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    UnbindSdk();
    g_SdkApi.KOBALT_DUNGetCountry = &GetCountry;
    g_SdkApi.KOBALT_DUNGetProvider = &GetProvider;
    g_dun = new FuzzDun;
    if (!CreateModeless(*g_dun))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    int operations = 0;
    while (!in.Empty() && ++operations <= 64) {
        switch (in.Byte() % 3) {
        case 0:
            Prepare(in);
            g_dun->OnBnClickedGetCountry();
            break;
        case 1: {
            // The provider listing asks for the selected entry's id, or 0xFFFFFFFF for none.
            const int count = g_dun->m_list.GetCount();
            const int index = count > 0 ? in.Byte() % (count + 1) - 1 : -1;
            g_dun->m_list.SetCurSel(index);
            const uint32_t expected = index >= 0 && g_dun->m_list.GetCurSel() == index
                                          ? static_cast<uint32_t>(g_dun->m_list.GetItemData(index))
                                          : 0xFFFFFFFFu;
            Prepare(in);
            g_dun->OnBnClickedGetProvider();
            FUZZ_CHECK(g_fake.askedCountry == expected);
            break;
        }
        default:
            g_dun->m_list.ResetContent();
            break;
        }
        // No line is longer than the name field.
        for (int i = 0, n = g_dun->m_list.GetCount(); i < n; ++i)
            FUZZ_CHECK(g_dun->m_list.GetTextLen(i) <= 64);
    }
    g_dun->m_list.ResetContent();
    return 0;
}
