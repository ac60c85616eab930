// The library's own list of entry points against the names the console looks up.
#include "sim/abi/EntryPoints.h"
#include "ExpectedNames.h"

#include <gtest/gtest.h>

namespace kobalt::sim {
namespace {

TEST(EntryPoints, ListFollowsTheConsoleSlotOrder) {
    ASSERT_EQ(kApiCount, test::kExpectedNames.size());
    for (std::size_t i = 0; i < kApiCount; ++i) {
        EXPECT_EQ(ApiName(static_cast<Api>(i)), test::kExpectedNames[i]) << "slot " << i + 1;
    }
}

TEST(EntryPoints, FindTakesOnlyExactFullNames) {
    EXPECT_EQ(FindApi("KOBALT_HFAP_TransferBack"), Api::HFAP_TransferBack);
    EXPECT_EQ(FindApi("KOBALT_RegistryWnd"), Api::RegistryWnd);
    EXPECT_EQ(FindApi("HFAP_TransferBack"), std::nullopt);
    EXPECT_EQ(FindApi("kobalt_init"), std::nullopt);
    EXPECT_EQ(FindApi("KOBALT_Init "), std::nullopt);
    EXPECT_EQ(FindApi("KOBALT_GetSoftwareVersion"), std::nullopt);
    EXPECT_EQ(FindApi(""), std::nullopt);
}

} // namespace
} // namespace kobalt::sim
