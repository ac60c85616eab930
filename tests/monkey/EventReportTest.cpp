// The console's handled-event lines against the simulated SDK's trace lines for the same events:
// the monkey's ledger compares them as text, so they must agree byte for byte, hostile texts
// included.

#include "sdk/EventReport.h"
#include "sim/abi/TraceFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kobalt::events::HfData;
using kobalt::events::HfDataKind;
using namespace kobalt::sim;

KOBALT_DeviceRecord Record(std::u16string name) {
    KOBALT_DeviceRecord record{};
    record.addr = KOBALT_BdAddr{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};
    std::copy_n(name.data(), std::min<std::size_t>(name.size(), 64), record.name);
    return record;
}

TEST(EventReport, ConnectPairAndPimLinesAreTheTracesLines) {
    const KOBALT_BdAddr addr{{0x11, 0x22, 0x33, 0x44, 0x55, 0xA6}};
    EXPECT_EQ(kobalt::events::ConnectLine(1, &addr, 5),
              FormatCall("ConnectEventCallback", arg::Int{1}, arg::Addr{&addr}, arg::Int{5}));
    EXPECT_EQ(kobalt::events::ConnectLine(0, nullptr, -2),
              FormatCall("ConnectEventCallback", arg::Int{0}, arg::Addr{nullptr}, arg::Int{-2}));
    EXPECT_EQ(kobalt::events::PairLine(0, &addr),
              FormatCall("PairEventCallback", arg::Int{0}, arg::Addr{&addr}));
    EXPECT_EQ(kobalt::events::PimLine(-7), FormatCall("PimCallback", arg::Int{-7}));
}

TEST(EventReport, DeviceNamesAreQuotedAsTheTraceQuotesThem) {
    std::u16string full(64, u'x'); // no terminator within the field
    const std::u16string names[] = {
        u"",
        u"Pixel 7",
        u"a\"b\\c",
        u"tab\there\x7F",
        u"\u00e9\u4e2d",
        u"\xD83D\xDE00",
        u"lone\xD800high",
        u"lone\xDC00low",
        u"end\xD83D",
        full,
    };
    for (const std::u16string& name : names) {
        const KOBALT_DeviceRecord record = Record(name);
        for (int finished : {0, 1}) {
            EXPECT_EQ(kobalt::events::DiscoveryLine(finished, record),
                      FormatCall("DiscoveryCallback", arg::Int{finished}, arg::Record{record}));
        }
    }
}

TEST(EventReport, HandsFreeDataIsWrittenAsTheTraceWritesIt) {
    EXPECT_EQ(kobalt::events::HandsFreeLine(7, HfData{}),
              FormatCall("HfEventCallback", arg::Int{7}, arg::Int{0}));
    const uint8_t level = 255;
    EXPECT_EQ(kobalt::events::HandsFreeLine(18, HfData{HfDataKind::Level, level, {}}),
              FormatCall("HfEventCallback", arg::Int{18}, arg::Byte{&level}));
    const std::string texts[] = {
        "+8610086",
        "quote\" back\\slash",
        "ctl\x01\x1f\x7f",
        "\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80",
        "\xc0\xaf overlong",
        "\xed\xa0\x80 surrogate",
        "\xf4\x90\x80\x80 too high",
        "cut \xe4\xb8",
    };
    for (const std::string& text : texts) {
        EXPECT_EQ(kobalt::events::HandsFreeLine(21, HfData{HfDataKind::Text, 0, text}),
                  FormatCall("HfEventCallback", arg::Int{21}, arg::Str{text.c_str()}))
            << text;
    }
    EXPECT_EQ(kobalt::events::HandsFreeLine(26, HfData{HfDataKind::Unread, 0, {}}),
              "HfEventCallback(26, ?)");
}

} // namespace
