// The local adapter's settings: capacities are never passed, setters change later getters.
#include "sim/radio/Adapter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace kobalt::sim {
namespace {

constexpr char kCanary = '#';

struct PinReadCase {
    uint32_t capacity;
    ResultCode result;
    const char* written; // what the buffer holds up to the capacity; the rest stays canary
};

TEST(AdapterPin, ReadNeverPassesTheCapacity) {
    const PinReadCase cases[] = {
        {0, kErrTooSmall, ""}, {1, kErrTooSmall, "#"}, {4, kErrTooSmall, "####"},
        {5, kOk, "0000\0"},    {260, kOk, "0000\0"},
    };
    const Adapter adapter;
    for (const PinReadCase& c : cases) {
        std::array<char, 300> buffer;
        buffer.fill(kCanary);
        uint32_t length = c.capacity;
        EXPECT_EQ(adapter.GetDefaultPinCode(buffer.data(), &length), c.result) << c.capacity;
        EXPECT_EQ(length, 4u);
        const std::size_t shown = std::min<std::size_t>(c.capacity, 5);
        EXPECT_EQ(std::string(buffer.data(), shown), std::string(c.written, shown)) << c.capacity;
        EXPECT_TRUE(std::all_of(buffer.begin() + std::min<std::size_t>(c.capacity, 5), buffer.end(),
                                [](char b) { return b == kCanary; }))
            << c.capacity;
    }
    uint32_t length = 260;
    EXPECT_EQ(adapter.GetDefaultPinCode(nullptr, &length), kErrBadArgument);
    char pin[8];
    EXPECT_EQ(adapter.GetDefaultPinCode(pin, nullptr), kErrBadArgument);
}

struct PinWriteCase {
    std::string bytes; // the caller's buffer
    uint32_t length;
    ResultCode result;
    std::string pin; // the PIN afterwards
};

TEST(AdapterPin, WriteTakesOneToSixteenTerminatedBytes) {
    const PinWriteCase cases[] = {
        {std::string("1234\0", 5), 260, kOk, "1234"},
        {std::string("\0", 1), 260, kErrBadText, "0000"},              // empty
        {std::string(16, '7') + '\0', 260, kOk, std::string(16, '7')}, // longest
        {std::string(17, '7') + '\0', 260, kErrBadText, "0000"},       // too long
        {std::string("12345678", 8), 4, kErrBadText, "0000"},          // no NUL in 4 bytes
        {std::string("987\0", 4), 4, kOk, "987"},                      // NUL is the last
        {std::string("caf\xC3\xA9\0", 6), 260, kOk, "caf\xC3\xA9"},    // bytes as given
    };
    for (const PinWriteCase& c : cases) {
        Adapter adapter;
        std::vector<char> buffer(c.bytes.begin(), c.bytes.end());
        buffer.resize(std::max<std::size_t>(buffer.size(), c.length), '\0');
        EXPECT_EQ(adapter.SetDefaultPinCode(buffer.data(), c.length), c.result) << c.bytes;
        std::array<char, 260> out{};
        uint32_t length = out.size();
        ASSERT_EQ(adapter.GetDefaultPinCode(out.data(), &length), kOk);
        EXPECT_EQ(std::string(out.data()), c.pin);
        EXPECT_EQ(length, c.pin.size());
    }
}

TEST(AdapterName, ReadNeverPassesTheCapacity) {
    Adapter adapter;
    ASSERT_EQ(adapter.SetLocalName(u"Car 😀 kit"), kOk); // a surrogate pair at units 4 and 5
    struct Case {
        int capacity;
        ResultCode result;
        std::u16string text;
    };
    const Case cases[] = {
        {0, kErrBadArgument, u"#"}, {-1, kErrBadArgument, u"#"}, {1, kOk, u""},
        {5, kOk, u"Car "},          {6, kOk, u"Car "}, // the pair is never split
        {7, kOk, u"Car 😀"},         {64, kOk, u"Car 😀 kit"},
    };
    for (const Case& c : cases) {
        std::array<KOBALT_WCHAR, 80> buffer;
        buffer.fill(u'#');
        EXPECT_EQ(adapter.GetLocalName(buffer.data(), c.capacity), c.result) << c.capacity;
        if (c.result == kOk) {
            EXPECT_EQ(std::u16string(buffer.data()), c.text);
        }
        const std::size_t used = c.capacity > 0 ? std::size_t(c.capacity) : 0;
        EXPECT_TRUE(std::all_of(buffer.begin() + used, buffer.end(), [](KOBALT_WCHAR u) {
            return u == u'#';
        })) << c.capacity;
    }
}

TEST(AdapterName, WriteIsBoundedAndWellFormed) {
    struct Case {
        std::u16string name;
        ResultCode result;
    };
    const Case cases[] = {
        {u"", kOk},                               // the adapter then reports no name
        {std::u16string(248, u'n'), kOk},         // 248 bytes
        {std::u16string(249, u'n'), kErrBadText}, // one byte too many, and no NUL read
        {std::u16string(124, u'é'), kOk},         // 248 bytes in 124 units
        {std::u16string(125, u'é'), kErrBadText}, // 250 bytes
        {std::u16string(u"bad \xD800 half"), kErrBadText},
    };
    for (const Case& c : cases) {
        Adapter adapter;
        std::u16string buffer = c.name;
        buffer.append(300, u'z'); // what follows the NUL is never read
        buffer[c.name.size()] = 0;
        EXPECT_EQ(adapter.SetLocalName(buffer.c_str()), c.result) << c.name.size();
        std::array<KOBALT_WCHAR, 300> out{};
        ASSERT_EQ(adapter.GetLocalName(out.data(), int(out.size())), kOk);
        EXPECT_EQ(std::u16string(out.data()), c.result == kOk ? c.name : u"KOBALT Demo");
    }
}

TEST(AdapterIdentity, VersionFitsAndAddressIsByteFiveFirst) {
    const Adapter adapter;
    std::array<KOBALT_WCHAR, kVersionUnits + 8> version;
    version.fill(u'#');
    ASSERT_EQ(adapter.GetSoftwareVersion(version.data()), kOk);
    EXPECT_EQ(std::u16string(version.data()), u"KOBALT SDK 3.2.1 (sim)");
    EXPECT_TRUE(std::all_of(version.begin() + kVersionUnits, version.end(),
                            [](KOBALT_WCHAR u) { return u == u'#'; }));
    KOBALT_BdAddr addr{};
    ASSERT_EQ(adapter.GetLocalAddress(&addr), kOk);
    const std::array<uint8_t, 6> bytes{0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
    EXPECT_EQ(std::memcmp(&addr, bytes.data(), 6), 0);
    EXPECT_THAT(adapter.StateLines(),
                testing::ElementsAre("adapter pin \"0000\"", "adapter name \"KOBALT Demo\"",
                                     "adapter version \"KOBALT SDK 3.2.1 (sim)\"",
                                     "adapter address 11:22:33:44:55:66"));
}

} // namespace
} // namespace kobalt::sim
