#include "sim/world/WorldFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace kobalt::sim {
namespace {

using testing::HasSubstr;

std::vector<std::string> Lines(const World& world) {
    std::vector<std::string> lines;
    for (const Device& device : world.Devices()) {
        lines.push_back(FormatDevice(device));
    }
    return lines;
}

TEST(WorldFile, ReadsDevicesInOrderWithDefaultsCommentsAndBlankLines) {
    const WorldParse parse =
        ParseWorld("# phones\r\n"
                   "\n"
                   "  device 66:55:44:33:22:11 \"Pixel 7\" hf,a2dp   # mine\r\n"
                   "device aa:bb:cc:dd:ee:ff \"\" none out-of-range paired\n"
                   "device 01:02:03:04:05:06 Bare spp,hf,pbap");
    ASSERT_EQ(parse.line, 0) << parse.problem;
    EXPECT_THAT(
        Lines(parse.world),
        testing::ElementsAre("device 66:55:44:33:22:11 \"Pixel 7\" hf,a2dp unpaired in-range",
                             "device AA:BB:CC:DD:EE:FF \"\" none paired out-of-range",
                             "device 01:02:03:04:05:06 \"Bare\" hf,spp,pbap unpaired in-range"));
    const Address first = parse.world.Devices()[0].address;
    EXPECT_EQ(first.b[0], 0x11) << "byte 5 is written first";
    EXPECT_EQ(first.b[5], 0x66);
}

TEST(WorldFile, FormattedDevicesReadBackTheSame) {
    Device device;
    device.address = *ParseAddress("12:34:56:78:9A:BC");
    device.name = "Quote \" back\\slash \t tab \r\n 宋体";
    device.services.Add(Service::Dun);
    device.services.Add(Service::Avrcp);
    device.pairing = Pairing::Paired;
    device.range = Range::OutOfRange;
    const WorldParse parse = ParseWorld(FormatDevice(device));
    ASSERT_EQ(parse.line, 0) << parse.problem;
    ASSERT_EQ(parse.world.Devices().size(), 1u);
    const Device& read = parse.world.Devices()[0];
    EXPECT_EQ(read.address, device.address);
    EXPECT_EQ(read.name, device.name);
    EXPECT_EQ(read.services, device.services);
    EXPECT_EQ(read.pairing, Pairing::Paired);
    EXPECT_EQ(read.range, Range::OutOfRange);
}

TEST(WorldFile, MalformedLinesAreReportedWithTheirNumber) {
    struct Row {
        std::string text;
        int line;
        std::string problem;
    };
    const std::string good = "device 66:55:44:33:22:11 \"Pixel 7\" hf\n";
    const Row rows[] = {
        {"telephone 66:55:44:33:22:11 \"P\" hf", 1, "unknown record 'telephone'"},
        {good + "device 66:55:44:33:22:11 \"P\" hf", 2, "66:55:44:33:22:11 is listed twice"},
        {good + "\n# fine\ndevice 66:55:44:33:22 \"P\" hf", 4, "not an address"},
        {"device 66-55-44-33-22-11 \"P\" hf", 1, "not an address"},
        {"device 66:55:44:33:22:1G \"P\" hf", 1, "not an address"},
        {"device 66:55:44:33:22:11 \"P\"", 1, "expected ADDR"},
        {"device 66:55:44:33:22:11 \"P\" hf,", 1, "empty service name"},
        {"device 66:55:44:33:22:11 \"P\" hf,hf", 1, "listed twice"},
        {"device 66:55:44:33:22:11 \"P\" HF", 1, "unknown service 'HF'"},
        {"device 66:55:44:33:22:11 \"P\" hf paired unpaired", 1, "said twice"},
        {"device 66:55:44:33:22:11 \"P\" hf in-range out-of-range", 1, "said twice"},
        {"device 66:55:44:33:22:11 \"P\" hf nearby", 1, "unexpected 'nearby'"},
        {"device 66:55:44:33:22:11 \"P hf", 1, "closing quote"},
        {"device 66:55:44:33:22:11 \"P\"hf", 1, "blank must follow"},
        {"device 66:55:44:33:22:11 P\"x\" hf", 1, "quote inside a word"},
        {"device 66:55:44:33:22:11 \"P\\x41\" hf", 1, "unknown escape \\x"},
        {"device 66:55:44:33:22:11 \"P\tQ\" hf", 1, "control character 0x09"},
        {"device 66:55:44:33:22:11 \"\xC3\x28\" hf", 1, "not valid UTF-8"},
        {"device 66:55:44:33:22:11 \"" + std::string(249, 'n') + "\" hf", 1, "longer than 248"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const WorldParse parse = ParseWorld(row.text);
        EXPECT_EQ(parse.line, row.line);
        EXPECT_THAT(parse.problem, HasSubstr(row.problem));
        EXPECT_TRUE(parse.world.Devices().empty()) << "nothing of a malformed file is kept";
    }
}

TEST(WorldFile, BuiltInWorldHasPairedAndUnnamedPhones) {
    const WorldParse parse = ParseWorld(DefaultWorldText());
    ASSERT_EQ(parse.line, 0) << parse.problem;
    const auto& devices = parse.world.Devices();
    const auto count = [&](auto predicate) {
        return std::count_if(devices.begin(), devices.end(), predicate);
    };
    EXPECT_GE(count([](const Device& d) { return d.pairing == Pairing::Paired; }), 1);
    EXPECT_GE(count([](const Device& d) { return d.name.empty() && d.range == Range::InRange; }),
              1);
    EXPECT_GE(count([](const Device& d) { return d.services.Has(Service::Spp); }), 1);
}

TEST(WorldFile, ExampleWorldReads) {
    std::ifstream file(KOBALT_SIM_EXAMPLE_WORLD, std::ios::binary);
    ASSERT_TRUE(file) << KOBALT_SIM_EXAMPLE_WORLD;
    const WorldParse parse = ParseWorld(std::string{std::istreambuf_iterator<char>(file), {}});
    EXPECT_EQ(parse.line, 0) << parse.problem;
    EXPECT_FALSE(parse.world.Devices().empty());
}

TEST(WorldFile, PhoneRecordsSetHowCallsBehave) {
    const WorldParse parse = ParseWorld("phone answer manual\nphone ring-time 12\n");
    ASSERT_EQ(parse.line, 0) << parse.problem;
    EXPECT_EQ(parse.world.calls.answer, FarEndAnswer::Manual);
    EXPECT_EQ(parse.world.calls.ringTime, std::chrono::seconds{12});
    EXPECT_EQ(ParseWorld("").world.calls.answer, FarEndAnswer::Auto);
    EXPECT_EQ(ParseWorld("").world.calls.ringTime, std::chrono::seconds{30});
    for (const char* bad : {"phone answer later", "phone ring-time 0", "phone ring-time 3601",
                            "phone ring-time 5s", "phone", "phone volume 3"}) {
        const WorldParse malformed = ParseWorld(bad);
        EXPECT_EQ(malformed.line, 1) << bad;
        EXPECT_THAT(malformed.problem, testing::StartsWith("phone: ")) << bad;
    }
}

} // namespace
} // namespace kobalt::sim
