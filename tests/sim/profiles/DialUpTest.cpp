// The dial-up lists over the fixture database, the two-call list protocol, the parameters and what
// a dial needs.
#include "sim/profiles/DialUp.h"

#include "ProfileFakes.h"
#include "sim/world/Utf16.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace kobalt::sim {
namespace {

using fakes::ManualTimer;
using fakes::NullSink;

constexpr const char* kFixture = KOBALT_SOURCE_DIR "/tests/sim/profiles/serviceproviders.xml";
// Ids in the fixture: Germany is the 11th country, Mexico the 13th.
constexpr uint32_t kGermany = 11;
constexpr uint32_t kTelekom = 11001;
constexpr uint32_t kVodafoneDe = 11002;
constexpr uint32_t kTelcel = 13001;

const ProviderDatabase& Fixture() {
    static const ProviderDatabase db = LoadProviderDatabase(kFixture);
    return db;
}

// The lists and parameters need no running stack.
const DialUp& Lists() {
    static NullSink sink;
    static ManualTimer timer;
    static Stack stack{sink, timer};
    static const DialUp dialUp{stack, kFixture, nullptr};
    return dialUp;
}

constexpr uint32_t kCanaryId = 0xC0FFEE;

KOBALT_DunListEntry Canary() {
    KOBALT_DunListEntry entry{};
    entry.id = kCanaryId;
    std::fill(std::begin(entry.name), std::end(entry.name), u'#');
    return entry;
}

bool IsCanary(const KOBALT_DunListEntry& entry) {
    return entry.id == kCanaryId && std::all_of(std::begin(entry.name), std::end(entry.name),
                                                [](char16_t c) { return c == u'#'; });
}

// Capacities relative to the number of entries: the fill never passes the capacity.
class CountryCapacity : public testing::TestWithParam<int> {};

TEST_P(CountryCapacity, FillsAtMostTheCapacity) {
    const DialUp& dialUp = Lists();
    uint32_t count = 0;
    ASSERT_EQ(dialUp.GetCountry(nullptr, &count), kOk);
    ASSERT_EQ(count, Fixture().countries.size());
    const uint32_t capacity = static_cast<uint32_t>(std::max<int>(0, int(count) + GetParam()));
    std::vector<KOBALT_DunListEntry> entries(capacity + 1, Canary());
    uint32_t filled = capacity;
    ASSERT_EQ(dialUp.GetCountry(entries.data(), &filled), kOk);
    EXPECT_EQ(filled, std::min(capacity, count));
    for (uint32_t i = 0; i < filled; ++i) {
        EXPECT_EQ(entries[i].id, Fixture().countries[i].id);
        EXPECT_EQ(std::u16string(entries[i].name), Fixture().countries[i].name);
    }
    for (std::size_t i = filled; i < entries.size(); ++i) {
        EXPECT_TRUE(IsCanary(entries[i])) << i;
    }
}

// -1000 makes a capacity of 0.
INSTANTIATE_TEST_SUITE_P(RelativeToCount, CountryCapacity, testing::Values(-1000, -1, 0, 5));

TEST(DialUpLists, ProvidersOfOneCountry) {
    const DialUp& dialUp = Lists();
    uint32_t count = 0;
    ASSERT_EQ(dialUp.GetProvider(kGermany, nullptr, &count), kOk);
    ASSERT_EQ(count, 3u);
    std::array<KOBALT_DunListEntry, 3> entries{Canary(), Canary(), Canary()};
    count = 2;
    ASSERT_EQ(dialUp.GetProvider(kGermany, entries.data(), &count), kOk);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(entries[0].id, kTelekom);
    EXPECT_EQ(std::u16string(entries[0].name), u"Telekom");
    EXPECT_TRUE(IsCanary(entries[2]));
}

TEST(DialUpLists, UnknownCountriesGiveNothing) {
    const DialUp& dialUp = Lists();
    // 0, the list box's "no selection" (-1), and a provider id read as a country id.
    for (const uint32_t id : {0u, 0xFFFFFFFFu, kTelekom}) {
        KOBALT_DunListEntry entry = Canary();
        uint32_t count = 1;
        EXPECT_EQ(dialUp.GetProvider(id, &entry, &count), kErrUnknownEntry) << id;
        EXPECT_EQ(count, 0u);
        EXPECT_TRUE(IsCanary(entry));
        count = 7;
        EXPECT_EQ(dialUp.GetProvider(id, nullptr, &count), kErrUnknownEntry);
        EXPECT_EQ(count, 0u);
    }
    EXPECT_EQ(dialUp.GetProvider(kGermany, nullptr, nullptr), kErrBadArgument);
    EXPECT_EQ(dialUp.GetCountry(nullptr, nullptr), kErrBadArgument);
}

using Params = std::array<std::array<KOBALT_WCHAR, kDunParamUnits>, kDunParamCount>;

ResultCode GetParams(const DialUp& dialUp, uint32_t id, Params& params) {
    return dialUp.GetParams(id, {params[0].data(), params[1].data(), params[2].data(),
                                 params[3].data(), params[4].data()});
}

TEST(DialUpParams, KnownAndUnknownProviders) {
    const DialUp& dialUp = Lists();
    Params params;
    for (auto& p : params) {
        p.fill(u'x');
    }
    ASSERT_EQ(GetParams(dialUp, kTelcel, params), kOk); // its internet access point, not the first
    EXPECT_EQ(std::u16string(params[kDunNumber].data()), u"*99#");
    EXPECT_EQ(std::u16string(params[kDunAccessPoint].data()), u"internet.itelcel.com");
    EXPECT_EQ(std::u16string(params[kDunUser].data()), u"webgprs");
    EXPECT_EQ(std::u16string(params[kDunPassword].data()), u"webgprs2002");
    EXPECT_EQ(std::u16string(params[kDunDns].data()), u"");

    for (const uint32_t id : {0u, 0xFFFFFFFFu, kGermany}) {
        for (auto& p : params) {
            p.fill(u'x');
        }
        EXPECT_EQ(GetParams(dialUp, id, params), kErrUnknownEntry);
        for (const auto& p : params) {
            EXPECT_EQ(p[0], 0);
        }
    }
    KOBALT_WCHAR one[kDunParamUnits] = {u'x'};
    EXPECT_EQ(dialUp.GetParams(kTelcel, {one, one, nullptr, one, one}), kErrBadArgument);
    EXPECT_EQ(one[0], u'x');
}

struct DialFixture : testing::Test {
    DialFixture() {
        stack.SetWorld(ParseWorld(R"(device 66:55:44:33:22:11 "Pixel 7" hf,dun
device 00:1A:7D:DA:71:13 "Galaxy S21" hf
device 00:19:5D:24:8E:01 "Modem" dun
device 8C:85:90:11:22:33 "Moto G" hf,dun out-of-range
)")
                           .world,
                       {});
        EXPECT_EQ(stack.Init(), kOk);
    }
    ResultCode Dial(const char* address, uint32_t provider) {
        Params params{};
        GetParams(dialUp, provider, params);
        return Dial(address, params);
    }
    ResultCode Dial(const char* address, const Params& params) {
        const KOBALT_BdAddr addr = ParseAddress(address)->ToAbi();
        return dialUp.Connect(&addr, {params[0].data(), params[1].data(), params[2].data(),
                                      params[3].data(), params[4].data()});
    }

    NullSink events;
    ManualTimer timer;
    Stack stack{events, timer};
    DialUp dialUp{stack, kFixture, nullptr};
};

TEST_F(DialFixture, NeedsAKnownProviderAndAPhoneWithDunAndHf) {
    struct Case {
        const char* address;
        uint32_t provider;
        ResultCode result;
    };
    const Case cases[] = {
        {"00:1A:7D:DA:71:13", kTelekom, kErrNoService},      // no dun
        {"00:19:5D:24:8E:01", kTelekom, kErrNoService},      // no hf
        {"8C:85:90:11:22:33", kTelekom, kErrOutOfRange},     //
        {"01:02:03:04:05:06", kTelekom, kErrUnknownDevice},  //
        {"66:55:44:33:22:11", 0xFFFFFFFF, kErrUnknownEntry}, // empty parameters
        {"66:55:44:33:22:11", kTelekom, kOk},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Dial(c.address, c.provider), c.result) << c.address << " " << c.provider;
    }
    EXPECT_THAT(dialUp.StateLines(), testing::ElementsAre("dun dialing 66:55:44:33:22:11 11001"));
    timer.RunAll();
    EXPECT_THAT(dialUp.StateLines(), testing::ElementsAre("dun connected 66:55:44:33:22:11 11001"));
}

TEST_F(DialFixture, ParametersMustMatchOneProviderExactly) {
    Params params{};
    GetParams(dialUp, kTelekom, params);
    params[kDunPassword][0] = u'T'; // "Tm" instead of "tm"
    EXPECT_EQ(Dial("66:55:44:33:22:11", params), kErrUnknownEntry);
    GetParams(dialUp, kTelekom, params);
    params[kDunDns].fill(u'1'); // no terminator in the buffer
    EXPECT_EQ(Dial("66:55:44:33:22:11", params), kErrUnknownEntry);
    EXPECT_THAT(dialUp.StateLines(), testing::ElementsAre("dun idle"));
}

TEST_F(DialFixture, ASecondDialWhileConnected) {
    ASSERT_EQ(Dial("66:55:44:33:22:11", kTelekom), kOk);
    timer.RunAll();
    EXPECT_EQ(Dial("66:55:44:33:22:11", kTelekom), kOk); // the same: nothing new
    EXPECT_TRUE(timer.steps.empty());
    EXPECT_EQ(Dial("66:55:44:33:22:11", kVodafoneDe), kErrBusy);
    const KOBALT_BdAddr addr = ParseAddress("66:55:44:33:22:11")->ToAbi();
    ASSERT_EQ(stack.Disconnect(&addr, KOBALT_SERVICE_INTERNET), kOk);
    timer.RunAll();
    EXPECT_THAT(dialUp.StateLines(), testing::ElementsAre("dun idle"));
    EXPECT_EQ(Dial("66:55:44:33:22:11", kVodafoneDe), kOk);
}

TEST_F(DialFixture, TheDialledProviderEndsWithItsLink) {
    const KOBALT_BdAddr addr = ParseAddress("66:55:44:33:22:11")->ToAbi();
    ASSERT_EQ(Dial("66:55:44:33:22:11", kTelekom), kOk);
    timer.RunAll();
    ASSERT_EQ(stack.Disconnect(&addr, KOBALT_SERVICE_INTERNET), kOk);
    timer.RunAll();
    // The phone opens an internet link of its own: no dial opened it.
    ASSERT_EQ(
        stack.RemoteConnect(ParseAddress("66:55:44:33:22:11"), KOBALT_SERVICE_INTERNET).Message(),
        "");
    EXPECT_THAT(dialUp.StateLines(), testing::ElementsAre("dun connected 66:55:44:33:22:11 none"));
    EXPECT_EQ(Dial("66:55:44:33:22:11", kTelekom), kErrBusy) << "not taken for the earlier dial";

    // Lost by the radio, then dialled afresh: the new dial counts.
    ASSERT_EQ(stack.SetRange(*ParseAddress("66:55:44:33:22:11"), Range::OutOfRange).Message(), "");
    ASSERT_EQ(stack.SetRange(*ParseAddress("66:55:44:33:22:11"), Range::InRange).Message(), "");
    EXPECT_THAT(dialUp.StateLines(), testing::ElementsAre("dun idle"));
    ASSERT_EQ(Dial("66:55:44:33:22:11", kVodafoneDe), kOk);
    EXPECT_THAT(dialUp.StateLines(), testing::ElementsAre("dun dialing 66:55:44:33:22:11 11002"));
}

TEST_F(DialFixture, NeedsARunningStack) {
    stack.UnInit();
    EXPECT_EQ(Dial("66:55:44:33:22:11", kTelekom), kErrNotInitialised);
}

} // namespace
} // namespace kobalt::sim
