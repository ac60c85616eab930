// Phonebook and call-log downloads as the console drives them through the loaded library.
// Run with KOBALT_TIME_SCALE=0.01 and KOBALT_SIM_TRACE.
#include "PhoneSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>

namespace kobalt::sim::test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

// PIM events as "CODE", or "B:CODE" for the second callback. Never destroyed: the event thread
// may still call in while the program exits.
struct PimRecorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;
};
PimRecorder& g_pim = *new PimRecorder;

void Record(std::string event) {
    {
        std::lock_guard lock(g_pim.mutex);
        g_pim.events.push_back(std::move(event));
    }
    g_pim.changed.notify_all();
}

void OnPim(int32_t event) {
    Record(std::to_string(event));
}

void OnPimB(int32_t event) {
    Record("B:" + std::to_string(event));
}

std::vector<std::string> PimEvents() {
    std::lock_guard lock(g_pim.mutex);
    return g_pim.events;
}

bool WaitForPimEvents(std::size_t count) {
    std::unique_lock lock(g_pim.mutex);
    return g_pim.changed.wait_for(lock, kWaitLimit, [&] { return g_pim.events.size() >= count; });
}

const auto Register = [](KOBALT_PimCallback callback) {
    return Entry<KOBALT_Fn_PIMRegisterCallback>("KOBALT_PIMRegisterCallback")(callback);
};
const auto StartContacts = [](int what) {
    return Entry<KOBALT_Fn_PIMStartUpdate>("KOBALT_PIMStartUpdateContacts")(what);
};
const auto StartCalllog = [](int type) {
    return Entry<KOBALT_Fn_PIMStartUpdate>("KOBALT_PIMStartUpdateCalllogEx")(type);
};
const auto GetContacts = [](void* records, uint32_t* count) {
    return Entry<KOBALT_Fn_PIMGetRecords>("KOBALT_PIMGetContacts")(records, count);
};
const auto GetOpp = [](void* records, uint32_t* count) {
    return Entry<KOBALT_Fn_PIMGetRecords>("KOBALT_PIMGetOppContacts")(records, count);
};
const auto GetCalllogs = [](void* records, uint32_t* count) {
    return Entry<KOBALT_Fn_PIMGetRecords>("KOBALT_PIMGetCalllogs")(records, count);
};

constexpr const char* kPixel = "66:55:44:33:22:11 \"Pixel 7\" hf,a2dp,pbap paired";

// A NUL-terminated UTF-16 field at `offset` of a record, as UTF-8 (ASCII in these tests).
std::string Field(const std::vector<unsigned char>& buffer, std::size_t offset, std::size_t units) {
    std::string text;
    for (std::size_t i = 0; i < units; ++i) {
        char16_t unit = 0;
        std::memcpy(&unit, buffer.data() + offset + 2 * i, 2);
        if (unit == 0) {
            break;
        }
        text += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return text;
}

// Fetches all records with the two-call protocol.
std::vector<unsigned char> Fetch(int (*get)(void*, uint32_t*), std::size_t recordSize,
                                 uint32_t& count) {
    count = 0;
    EXPECT_EQ(get(nullptr, &count), 0);
    std::vector<unsigned char> buffer(count * recordSize);
    EXPECT_EQ(get(buffer.data(), &count), 0);
    return buffer;
}

std::vector<std::string> ContactRows(const std::vector<unsigned char>& buffer, uint32_t count) {
    std::vector<std::string> rows;
    for (uint32_t i = 0; i < count; ++i) {
        const std::size_t at = i * KOBALT_CONTACT_RECORD_SIZE;
        rows.push_back(Field(buffer, at + KOBALT_CONTACT_NAME, 32) + "|" +
                       Field(buffer, at + KOBALT_CONTACT_HOME, 41) + "|" +
                       Field(buffer, at + KOBALT_CONTACT_WORK, 41) + "|" +
                       Field(buffer, at + KOBALT_CONTACT_CELL, 41));
    }
    return rows;
}

std::vector<std::string> LogRows(const std::vector<unsigned char>& buffer, uint32_t count) {
    std::vector<std::string> rows;
    for (uint32_t i = 0; i < count; ++i) {
        const std::size_t at = i * KOBALT_CALLLOG_RECORD_SIZE;
        rows.push_back(Field(buffer, at + KOBALT_CALLLOG_NAME, 32) + "|" +
                       Field(buffer, at + KOBALT_CALLLOG_NUMBER, 82));
    }
    return rows;
}

bool HasLine(const std::string& line) {
    const std::vector<std::string> state = PhoneState();
    return std::find(state.begin(), state.end(), line) != state.end();
}

class PimLibrary : public testing::Test {
protected:
    void SetUp() override {
        StartWithWorld({kPixel});
        PhoneOk("remove-contact all");
        PhoneOk("remove-contact pushed");
        PhoneOk("clear-calllogs");
        PhoneOk("add-contact \"Anna\" \"+1 555 0100\" \"+1 555 0101\" \"+1 555 0102\"");
        PhoneOk("add-contact \"\" \"\" \"\" \"+1 555 0199\"");
        PhoneOk("add-contact \"Ben\" \"\" \"\" \"+44 7700 900001\"");
        ASSERT_EQ(Register(OnPim), 0);
        std::lock_guard lock(g_pim.mutex);
        g_pim.events.clear();
    }
    void TearDown() override { Call("KOBALT_UnInit"); }

    static void ConnectHf() {
        PhoneOk("connect 66:55:44:33:22:11 hf");
        ASSERT_TRUE(Events::WaitForCount(1));
    }

    // A pushed contact's event 6 follows everything posted before it.
    static void Sentinel() {
        const std::size_t before = PimEvents().size();
        PhoneOk("push-contact \"Sentinel\"");
        ASSERT_TRUE(WaitForPimEvents(before + 1));
    }
};

TEST_F(PimLibrary, WithoutHandsFreeADownloadReportsNoConnection) {
    EXPECT_EQ(StartContacts(0), -10);
    EXPECT_EQ(StartCalllog(0), -10);
    ASSERT_TRUE(WaitForPimEvents(2));
    EXPECT_THAT(PimEvents(), ElementsAre("11", "11"));
    EXPECT_TRUE(HasLine("pim idle"));
}

TEST_F(PimLibrary, ContactsDownloadReportsDoneAndServesThePhonebook) {
    ConnectHf();
    uint32_t count = 99;
    ASSERT_EQ(GetContacts(nullptr, &count), 0);
    EXPECT_EQ(count, 0u) << "nothing downloaded yet";
    ASSERT_EQ(StartContacts(0), 0);
    PhoneOk("add-contact \"Late\" \"\" \"\" \"1\""); // after the start: not sent
    ASSERT_TRUE(WaitForPimEvents(1));
    EXPECT_THAT(PimEvents(), ElementsAre("1"));
    EXPECT_TRUE(HasLine("pim idle"));
    const std::vector<unsigned char> buffer = Fetch(GetContacts, KOBALT_CONTACT_RECORD_SIZE, count);
    EXPECT_THAT(ContactRows(buffer, count), ElementsAre("Anna|+1 555 0100|+1 555 0101|+1 555 0102",
                                                        "|||+1 555 0199", "Ben|||+44 7700 900001"));
    EXPECT_TRUE(HasLine("phonebook 4"));
}

TEST_F(PimLibrary, SecondStartWhileContactsDownloadRunsReportsBusyAndTheFirstFinishes) {
    ConnectHf();
    ASSERT_EQ(StartContacts(0), 0);
    EXPECT_EQ(StartContacts(0), -9);
    EXPECT_EQ(StartCalllog(1), -9);
    EXPECT_EQ(StartContacts(1), -5) << "only the phone's memory";
    ASSERT_TRUE(WaitForPimEvents(4));
    EXPECT_THAT(PimEvents(), ElementsAre("12", "12", "10", "1"));
}

TEST_F(PimLibrary, StopUpdateEndsTheDownloadWithoutAnEvent) {
    ConnectHf();
    ASSERT_EQ(StartContacts(0), 0);
    EXPECT_EQ(Call("KOBALT_PIMStopUpdate"), 0);
    EXPECT_TRUE(HasLine("pim idle"));
    EXPECT_EQ(Call("KOBALT_PIMStopUpdate"), 0) << "also when idle";
    // The same delay again: a leftover answer of the stopped download would come first.
    ASSERT_EQ(StartContacts(0), 0);
    ASSERT_TRUE(WaitForPimEvents(1));
    Sentinel();
    EXPECT_THAT(PimEvents(), ElementsAre("1", "6"));
}

TEST_F(PimLibrary, LosingHandsFreeDuringADownloadReportsFail) {
    ConnectHf();
    // A phonebook that takes the phone about a second to send (0.02 ms a contact at this time
    // scale), so that the link surely drops while the download runs, however slow the machine.
    PhoneOk("generate-contacts 50000");
    ASSERT_EQ(StartContacts(0), 0);
    PhoneOk("disconnect 66:55:44:33:22:11 hf");
    ASSERT_TRUE(WaitForPimEvents(1));
    EXPECT_THAT(PimEvents(), ElementsAre("2"));
}

TEST_F(PimLibrary, UnInitEndsADownloadWithoutAnEvent) {
    ConnectHf();
    ASSERT_EQ(StartContacts(0), 0);
    ASSERT_EQ(Call("KOBALT_UnInit"), 0);
    uint32_t count = 0;
    EXPECT_EQ(GetContacts(nullptr, &count), -3);
    ASSERT_EQ(Call("KOBALT_Init"), 0);
    EXPECT_TRUE(HasLine("pim idle"));
    ConnectHf();
    ASSERT_EQ(StartContacts(0), 0);
    ASSERT_TRUE(WaitForPimEvents(1));
    Sentinel();
    EXPECT_THAT(PimEvents(), ElementsAre("1", "6"));
}

TEST_F(PimLibrary, ANewRegistrationReplacesTheCallback) {
    ASSERT_EQ(Register(OnPimB), 0);
    PhoneOk("push-contact \"X\" 1");
    ASSERT_TRUE(WaitForPimEvents(1));
    EXPECT_THAT(PimEvents(), ElementsAre("B:6"));
}

class PimFail : public PimLibrary, public testing::WithParamInterface<int> {};

TEST_P(PimFail, TheNextDownloadReportsTheCodeInsteadOfItsResult) {
    ConnectHf();
    PhoneOk("pim-fail " + std::to_string(GetParam()));
    EXPECT_TRUE(HasLine("pim-fail " + std::to_string(GetParam())));
    EXPECT_EQ(StartContacts(0), -2);
    EXPECT_TRUE(HasLine("pim idle"));
    ASSERT_EQ(StartCalllog(2), 0) << "only the next request fails";
    ASSERT_TRUE(WaitForPimEvents(2));
    EXPECT_THAT(PimEvents(), ElementsAre(std::to_string(GetParam()), "5"));
}

INSTANTIATE_TEST_SUITE_P(Codes, PimFail, testing::Values(2, 10, 11, 12));

TEST_F(PimLibrary, ControlCommandErrors) {
    for (const char* command :
         {"pim-fail 5", "pim-fail x", "generate-contacts 0", "generate-contacts 200001",
          "push-contact", "push-contact \"A\" 1 2 3 4 5 6 7", "add-contact \"A\" \"\" \"\"",
          "remove-contact Anna", "add-calllog answered \"A\" 1", "add-calllog missed \"A\"",
          "clear-calllogs now"}) {
        EXPECT_THAT(Phone(command), testing::StartsWith("error: ")) << command;
    }
    EXPECT_EQ(Phone("add-contact \"" + std::string(35, 'n') + "\" \"\" \"\" \"\""),
              "ok\nadded contact \"" + std::string(35, 'n') +
                  "\"\nnote: name cut to 31 characters: " + std::string(31, 'n') + "\n");
}

TEST_F(PimLibrary, EveryPimChangeAnswersOneLineSayingWhatItDid) {
    ConnectHf();
    const std::pair<const char*, const char*> rows[] = {
        {"add-contact \"Cleo\" \"\" \"\" 7", "added contact \"Cleo\""},
        {"generate-contacts 3", "added 3 generated contacts"},
        {"push-contact \"Zoe\" 1", "pushed \"Zoe\" with 1 number"},
        {"push-contact \"Zed \\\"Z\\\"\" 1 2", "pushed \"Zed \\\"Z\\\"\" with 2 numbers"},
        {"remove-contact pushed", "forgot the pushed contacts"},
        {"remove-contact all", "removed every contact"},
        {"add-calllog missed \"\" \"+1 555\"", "added to the missed log: \"\" \"+1 555\""},
        {"clear-calllogs", "emptied the three logs (calls finished in the phone stay)"},
        {"pim-fail 11", "the next download fails with event 11"},
    };
    for (const auto& [command, done] : rows) {
        EXPECT_EQ(Phone(command), "ok\n" + std::string(done) + "\n") << command;
    }
    EXPECT_EQ(StartCalllog(0), -2) << "the pim-fail above is used up here";
}

// Pushes are held until the console fetches them, so a phone that keeps pushing must hit a
// bound rather than grow without end; forgetting them makes room again.
TEST_F(PimLibrary, PushedContactsAreBounded) {
    PhoneOk("remove-contact pushed");
    for (int i = 0; i < 1000; ++i) {
        PhoneOk("push-contact \"P\" " + std::to_string(i));
    }
    EXPECT_EQ(Phone("push-contact \"Overflow\" 1"),
              "error: the phone holds 1000 pushed contacts already\n");
    const std::vector<std::string> state = PhoneState();
    EXPECT_NE(std::find(state.begin(), state.end(), "pushed-contacts 1000"), state.end());
    PhoneOk("remove-contact pushed");
    PhoneOk("push-contact \"Again\" 1");
}

// The two-call protocol never writes past the capacity it is given, and never reports more
// than it filled.
struct Served {
    const char* name;
    int (*get)(void*, uint32_t*);
    std::size_t recordSize;
};

class TwoCalls : public PimLibrary, public testing::WithParamInterface<Served> {};

TEST_P(TwoCalls, FillsAtMostTheCapacity) {
    ConnectHf();
    PhoneOk("push-contact \"P1\" 1");
    PhoneOk("push-contact \"P2\" 2");
    PhoneOk("push-contact \"P3\" 3");
    PhoneOk("add-calllog outgoing \"\" 1");
    PhoneOk("add-calllog outgoing \"\" 2");
    PhoneOk("add-calllog outgoing \"\" 3");
    ASSERT_EQ(StartContacts(0), 0);
    ASSERT_TRUE(WaitForPimEvents(4));
    ASSERT_EQ(StartCalllog(1), 0);
    ASSERT_TRUE(WaitForPimEvents(5));

    const Served& served = GetParam();
    EXPECT_NE(served.get(nullptr, nullptr), 0) << "null count";
    uint32_t count = 0;
    ASSERT_EQ(served.get(nullptr, &count), 0);
    ASSERT_EQ(count, 3u);
    for (const uint32_t capacity : {0u, 2u, 5u}) {
        std::vector<unsigned char> buffer(5 * served.recordSize + 16, 0xA5);
        count = capacity;
        ASSERT_EQ(served.get(buffer.data(), &count), 0);
        const std::size_t filled = std::min(capacity, 3u);
        EXPECT_EQ(count, filled) << "capacity " << capacity;
        EXPECT_TRUE(std::all_of(buffer.begin() + filled * served.recordSize, buffer.end(),
                                [](unsigned char b) { return b == 0xA5; }))
            << "capacity " << capacity << ": written past the records filled";
        if (filled > 0) {
            EXPECT_NE(buffer[0], 0xA5) << "first record written";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    EntryPoints, TwoCalls,
    testing::Values(Served{"contacts", GetContacts, KOBALT_CONTACT_RECORD_SIZE},
                    Served{"pushed", GetOpp, KOBALT_OPP_RECORD_SIZE},
                    Served{"calllogs", GetCalllogs, KOBALT_CALLLOG_RECORD_SIZE}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(PimLibrary, PushedContactsFillTheShownSlotsInOrder) {
    PhoneOk("push-contact \"Zoe\" 1 2 3 4 5 6");
    ASSERT_TRUE(WaitForPimEvents(1));
    EXPECT_THAT(PimEvents(), ElementsAre("6"));
    EXPECT_TRUE(HasLine("pushed \"Zoe\" 1 2 3 4 5 6"));
    uint32_t count = 0;
    const std::vector<unsigned char> buffer = Fetch(GetOpp, KOBALT_OPP_RECORD_SIZE, count);
    ASSERT_EQ(count, 1u);
    std::vector<std::string> slots;
    for (std::size_t slot = 0; slot < KOBALT_OPP_SLOTS; ++slot) {
        slots.push_back(Field(buffer, slot * KOBALT_OPP_SLOT_SIZE, 255));
    }
    EXPECT_THAT(slots, ElementsAre("Zoe", "1", "2", "3", "4", "", "5", "6", "", "", ""));
}

TEST_F(PimLibrary, CalllogsNewestFirstWithNamesFromThePhonebook) {
    ConnectHf();
    PhoneOk("add-calllog incoming \"\" \"+44 7700 900001\"");
    PhoneOk("add-calllog incoming \"Caller\" \"+1 555 0300\"");
    PhoneOk("add-calllog incoming \"Stale\" \"+1 555 0101\"");
    PhoneOk("add-calllog missed \"\" \"+1 555 0199\""); // in the phonebook without a name
    EXPECT_TRUE(HasLine("calllog incoming 3"));
    ASSERT_EQ(StartCalllog(0), 0);
    ASSERT_TRUE(WaitForPimEvents(1));
    uint32_t count = 0;
    std::vector<unsigned char> buffer = Fetch(GetCalllogs, KOBALT_CALLLOG_RECORD_SIZE, count);
    EXPECT_THAT(LogRows(buffer, count),
                ElementsAre("Anna|+1 555 0101", "Caller|+1 555 0300", "Ben|+44 7700 900001"));
    ASSERT_EQ(StartCalllog(2), 0);
    ASSERT_TRUE(WaitForPimEvents(2));
    buffer = Fetch(GetCalllogs, KOBALT_CALLLOG_RECORD_SIZE, count);
    EXPECT_THAT(LogRows(buffer, count), ElementsAre("|+1 555 0199"));
    EXPECT_EQ(StartCalllog(3), -5);
    ASSERT_TRUE(WaitForPimEvents(3));
    EXPECT_THAT(PimEvents(), ElementsAre("5", "5", "10"));
}

TEST_F(PimLibrary, ANewCalllogRequestReplacesTheRunningOne) {
    ConnectHf();
    PhoneOk("add-calllog incoming \"\" 1");
    for (const char* number : {"7", "8", "9"}) { // a longer log: the replacement ends later
        PhoneOk(std::string("add-calllog missed \"\" ") + number);
    }
    ASSERT_EQ(StartCalllog(0), 0);
    ASSERT_EQ(StartCalllog(2), 0);
    ASSERT_TRUE(WaitForPimEvents(1));
    Sentinel();
    EXPECT_THAT(PimEvents(), ElementsAre("5", "6"));
    uint32_t count = 0;
    const std::vector<unsigned char> buffer = Fetch(GetCalllogs, KOBALT_CALLLOG_RECORD_SIZE, count);
    EXPECT_THAT(LogRows(buffer, count), ElementsAre("|9", "|8", "|7"));
}

TEST_F(PimLibrary, FiftyThousandGeneratedContactsAreServed) {
    ConnectHf();
    PhoneOk("remove-contact all");
    PhoneOk("generate-contacts 50000");
    EXPECT_TRUE(HasLine("phonebook 50000"));
    ASSERT_EQ(StartContacts(0), 0);
    ASSERT_TRUE(WaitForPimEvents(1));
    EXPECT_THAT(PimEvents(), ElementsAre("1"));
    uint32_t count = 0;
    const std::vector<unsigned char> buffer = Fetch(GetContacts, KOBALT_CONTACT_RECORD_SIZE, count);
    ASSERT_EQ(count, 50000u);
    const std::vector<std::string> rows = ContactRows(buffer, count);
    EXPECT_EQ(rows[0], "Load Test 0000001|||+15550000001");
    EXPECT_EQ(rows[14], "Load Test 0000015|+16660000015|+17770000015|+15550000015");
    EXPECT_EQ(rows[49999], "Load Test 0050000||+17770050000|+15550050000");
}

TEST_F(PimLibrary, TraceShowsTheEntryPointsAndTheCallback) {
    ConnectHf();
    ASSERT_EQ(StartContacts(0), 0);
    ASSERT_TRUE(WaitForPimEvents(1));
    uint32_t count = 0;
    ASSERT_EQ(GetContacts(nullptr, &count), 0);
    std::ifstream file(std::getenv("KOBALT_SIM_TRACE"));
    const std::string trace{std::istreambuf_iterator<char>(file), {}};
    EXPECT_THAT(trace, HasSubstr("KOBALT_PIMStartUpdateContacts(0) = 0\n"));
    EXPECT_THAT(trace, HasSubstr("-> PimCallback(1)\n"));
    EXPECT_THAT(trace, HasSubstr("KOBALT_PIMGetContacts(null, &0) = 0\n"));
}

} // namespace
} // namespace kobalt::sim::test
