// The phone's data: world-file records, the records the console fetches, call logs as served,
// and the download state machine.
#include "sim/pim/Calllogs.h"
#include "sim/pim/PimDownload.h"
#include "sim/world/WorldFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace kobalt::sim {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

std::string Name(const ContactRecord& r) {
    return FieldText(r.name, std::size(r.name));
}

// "NAME|HOME|WORK|CELL"
std::string Row(const ContactRecord& r) {
    return Name(r) + "|" + FieldText(r.home, std::size(r.home)) + "|" +
           FieldText(r.work, std::size(r.work)) + "|" + FieldText(r.cell, std::size(r.cell));
}

std::vector<std::string> Rows(const std::vector<ContactRecord>& records) {
    std::vector<std::string> rows;
    for (const ContactRecord& r : records) {
        rows.push_back(Row(r));
    }
    return rows;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

TEST(PimWorld, ContactsVCardsAndCalllogsFromAWorldFile) {
    const std::string dir = KOBALT_SIM_TEST_WORLDS "/";
    const WorldParse parse = ParseWorld(ReadFile(dir + "pim.world"), dir);
    ASSERT_EQ(parse.line, 0) << parse.problem;
    EXPECT_THAT(Rows(parse.pim.contacts), ElementsAre("Anna|+1 555 0100||+1 555 0101",
                                                      "Ben Berg|||+1 555 0200", "|||+1 555 0199"));
    const auto& missed = parse.pim.calllogs[static_cast<std::size_t>(CalllogType::Missed)];
    ASSERT_EQ(missed.size(), 2u);
    EXPECT_TRUE(parse.pim.calllogs[0].empty());
    EXPECT_TRUE(parse.notes.empty());
}

TEST(PimWorld, MalformedVCardIsAWorldErrorNamingTheVCardLine) {
    const std::string dir = KOBALT_SIM_TEST_WORLDS "/";
    const WorldParse parse = ParseWorld(ReadFile(dir + "pim-broken.world"), dir);
    EXPECT_EQ(parse.line, 2);
    EXPECT_THAT(parse.problem, HasSubstr("pim-broken.vcf:6: no ':'"));
    EXPECT_TRUE(parse.pim.contacts.empty()) << "nothing of a malformed world is used";
}

struct BadLine {
    const char* text;
    const char* problem;
};

const BadLine kBadLines[] = {
    {"contact \"A\" \"1\" \"2\"", "expected \"NAME\""},
    {"contact \"A\" \"1\" \"2\" \"3\" \"4\"", "expected \"NAME\""},
    {"contact \"\xC3\" \"\" \"\" \"\"", "not valid UTF-8"},
    {"vcard", "expected FILE"},
    {"vcard no-such-file.vcf", "cannot read"},
    {"vcard /", "/: not a regular file"},
    {"vcard /dev/zero", "/dev/zero: not a regular file"},
    {"vcard /proc/self/mem", "/proc/self/mem: cannot read"},       // "regular", but reads fail
    {"vcard /proc/self/pagemap", "/proc/self/pagemap: too large"}, // "regular", size 0, endless
    {"calllog answered \"A\" 1", "incoming|outgoing|missed"},
    {"calllog missed \"A\"", "incoming|outgoing|missed"},
    {"contacts \"A\"", "unknown record"},
};

TEST(PimWorld, MalformedLinesAreRefusedWithTheirLine) {
    for (const BadLine& bad : kBadLines) {
        const WorldParse parse =
            ParseWorld(std::string("contact \"Ok\" \"\" \"\" \"\"\n") + bad.text);
        EXPECT_EQ(parse.line, 2) << bad.text;
        EXPECT_THAT(parse.problem, HasSubstr(bad.problem)) << bad.text;
        EXPECT_TRUE(parse.pim.contacts.empty()) << bad.text;
    }
}

TEST(PimWorld, LongTextsAreCutToTheirFieldsAndNoted) {
    const std::string name31 = "Dr. Alexandra Montgomery-Smythe"; // 31 characters: fits
    const std::string number41(41, '1');
    // 30 ASCII characters and a character outside the BMP: the pair would need units 31 and 32.
    const std::string pairAtEnd = std::string(30, 'a') + "\xF0\x9F\x98\x80";
    const WorldParse parse = ParseWorld("contact \"" + name31 + "x\" \"" + number41 +
                                        "\" \"\" \"\"\ncontact \"" + name31 +
                                        "\" \"\" \"\" \"\"\n"
                                        "contact \"" +
                                        pairAtEnd + "\" \"\" \"\" \"\"\n");
    ASSERT_EQ(parse.line, 0) << parse.problem;
    ASSERT_EQ(parse.pim.contacts.size(), 3u);
    EXPECT_EQ(Name(parse.pim.contacts[0]), name31);
    EXPECT_EQ(FieldText(parse.pim.contacts[0].home, 41), std::string(40, '1'));
    EXPECT_EQ(Name(parse.pim.contacts[1]), name31);
    EXPECT_EQ(Name(parse.pim.contacts[2]), std::string(30, 'a')) << "a pair is never split";
    EXPECT_THAT(parse.notes,
                ElementsAre(HasSubstr("1: name cut to 31"), HasSubstr("1: home number cut to 40"),
                            HasSubstr("3: name cut to 31")));
}

TEST(PimWorld, DefaultWorldHasARealisticPhonebookAndLogs) {
    const WorldParse parse = ParseWorld(DefaultWorldText());
    ASSERT_EQ(parse.line, 0) << parse.problem;
    const std::vector<ContactRecord>& contacts = parse.pim.contacts;
    EXPECT_GE(contacts.size(), 20u);
    EXPECT_LE(contacts.size(), 40u);
    const auto count = [&](auto predicate) {
        return std::count_if(contacts.begin(), contacts.end(), predicate);
    };
    EXPECT_GE(count([](const ContactRecord& c) { return c.home[0] && c.work[0] && c.cell[0]; }), 3);
    EXPECT_GE(count([](const ContactRecord& c) { return c.name[0] == 0; }), 1);
    EXPECT_GE(count([](const ContactRecord& c) { return !c.home[0] && !c.work[0] && !c.cell[0]; }),
              1);
    EXPECT_GE(count([](const ContactRecord& c) {
                  return Name(c).size() != std::u16string_view(c.name).size();
              }),
              3)
        << "non-ASCII names";
    EXPECT_EQ(
        count([](const ContactRecord& c) { return std::u16string_view(c.name).size() == 31; }), 1);
    for (const auto& log : parse.pim.calllogs) {
        EXPECT_FALSE(log.empty());
    }
}

// Call logs as served.

ContactRecord Contact(const std::string& name, const std::string& cell,
                      const std::string& home = "") {
    std::vector<std::string> notes;
    return MakeContactRecord({name, home, "", cell}, notes).Value();
}

std::vector<std::string> LogRows(const std::vector<CalllogRecord>& records) {
    std::vector<std::string> rows;
    for (const CalllogRecord& r : records) {
        rows.push_back(FieldText(r.name, std::size(r.name)) + "|" +
                       FieldText(r.number, std::size(r.number)));
    }
    return rows;
}

TEST(Calllogs, NewestFirstWithPhonebookNamesAndTheFinishedCallsMerged) {
    using std::chrono::seconds;
    const auto at = [](int s) { return std::chrono::system_clock::time_point{} + seconds(s); };
    const std::vector<CalllogEntry> entries = {
        {"", "+44 7700 900001", at(10)},
        {"Logged Name", "+44 7700 900002", at(30)},
        {"Logged Name", "+1 555 0123", at(40)}, // the phonebook's name wins
        {"", "", at(50)},                       // withheld
    };
    const std::vector<CallRecord> history = {
        {CallKind::Missed, "+447700900001", at(20)},
        {CallKind::Outgoing, "+1 555 0123", at(60)}, // another log
        {CallKind::Missed, "+1 (555) 0123", at(70)},
    };
    const std::vector<ContactRecord> phonebook = {
        Contact("", "+1 555 0123"), // no name: not used for names
        Contact("Mum", "+44 7700 900001"),
        Contact("Ben", "", "+1-555-0123"),
        Contact("Other Ben", "+1 555 0123"),
    };
    EXPECT_THAT(LogRows(BuildCalllog(CalllogType::Missed, entries, history, phonebook)),
                ElementsAre("Ben|+1 (555) 0123", "|", "Ben|+1 555 0123",
                            "Logged Name|+44 7700 900002", "Mum|+447700900001",
                            "Mum|+44 7700 900001"));
    const std::vector<CalllogRecord> outgoing =
        BuildCalllog(CalllogType::Outgoing, {}, history, {});
    ASSERT_EQ(outgoing.size(), 1u);
    EXPECT_EQ(outgoing[0].type, 1u);
}

// The download state machine.
//
// ```mermaid
// stateDiagram-v2
//     [*] --> Idle
//     Idle --> PhoneSendingContacts: StartContacts
//     Idle --> PhoneSendingCalllog: StartCalllog
//     PhoneSendingCalllog --> PhoneSendingCalllog: StartCalllog (replaces, one event 5)
//     PhoneSendingContacts --> PhoneSendingContacts: StartContacts, StartCalllog / event 12
//     PhoneSendingCalllog --> PhoneSendingCalllog: StartContacts / event 12
//     PhoneSendingContacts --> Idle: PhoneFinished / event 1
//     PhoneSendingCalllog --> Idle: PhoneFinished / event 5
//     PhoneSendingContacts --> Idle: PhoneFails / event 2
//     PhoneSendingCalllog --> Idle: PhoneFails / event 2
//     PhoneSendingContacts --> Idle: Stop
//     PhoneSendingCalllog --> Idle: Stop
// ```

using D = PimDownload;
using I = PimInput;
using E = PimEffect;

struct Step {
    D state;
    I input;
    D next;
    E effect;
    ResultCode result;
};

const Step kSteps[] = {
    {D::Idle, I::StartContacts, D::PhoneSendingContacts, E::ScheduleContacts, kOk},
    {D::Idle, I::StartCalllog, D::PhoneSendingCalllog, E::ScheduleCalllog, kOk},
    {D::Idle, I::Stop, D::Idle, E::None, kOk},
    {D::Idle, I::PhoneFinished, D::Idle, E::None, kOk},
    {D::Idle, I::PhoneFails, D::Idle, E::None, kOk},
    {D::PhoneSendingContacts, I::StartContacts, D::PhoneSendingContacts, E::ReportBusy, kErrBusy},
    {D::PhoneSendingContacts, I::StartCalllog, D::PhoneSendingContacts, E::ReportBusy, kErrBusy},
    {D::PhoneSendingContacts, I::Stop, D::Idle, E::None, kOk},
    {D::PhoneSendingContacts, I::PhoneFinished, D::Idle, E::ReportContacts, kOk},
    {D::PhoneSendingContacts, I::PhoneFails, D::Idle, E::ReportFail, kOk},
    {D::PhoneSendingCalllog, I::StartContacts, D::PhoneSendingCalllog, E::ReportBusy, kErrBusy},
    {D::PhoneSendingCalllog, I::StartCalllog, D::PhoneSendingCalllog, E::ScheduleCalllog, kOk},
    {D::PhoneSendingCalllog, I::Stop, D::Idle, E::None, kOk},
    {D::PhoneSendingCalllog, I::PhoneFinished, D::Idle, E::ReportCalllog, kOk},
    {D::PhoneSendingCalllog, I::PhoneFails, D::Idle, E::ReportFail, kOk},
};

TEST(PimDownloadMachine, EveryStateAndInput) {
    for (const Step& s : kSteps) {
        const PimStep step = NextPimStep(s.state, s.input);
        SCOPED_TRACE("state " + std::to_string(static_cast<int>(s.state)) + " input " +
                     std::to_string(static_cast<int>(s.input)));
        EXPECT_EQ(step.next, s.next);
        EXPECT_EQ(step.effect, s.effect);
        EXPECT_EQ(step.result, s.result);
    }
}

} // namespace
} // namespace kobalt::sim
