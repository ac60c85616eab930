// Reading what obexd writes: a phone's vCards into the console's records, one bad card costing
// only itself, and the private folder the files go to.
#include "bluez/Phonebook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kobalt::bluez {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string Card(const std::string& body) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + body + "END:VCARD\r\n";
}

std::vector<std::string> Names(const CardsRead& read) {
    std::vector<std::string> names;
    for (const sim::ContactFields& contact : read.contacts) {
        names.push_back(contact.name);
    }
    return names;
}

TEST(PhonebookCards, AWellFormedExportIsReadWhole) {
    const CardsRead read =
        ReadCards(Card("FN:Ann\r\nTEL;TYPE=CELL:1\r\n") + Card("FN:Bob\r\nTEL:2\r\n"));
    EXPECT_THAT(Names(read), ElementsAre("Ann", "Bob"));
    EXPECT_EQ(read.skipped, 0u);
    EXPECT_EQ(read.problem, "");
}

TEST(PhonebookCards, ABadCardCostsOnlyItselfAndItsLineIsNamed) {
    // Line 8 (the file's numbering, not the card's) has no colon.
    const std::string text = Card("FN:Ann\r\n") + Card("FN:Bad\r\nno colon here\r\n") +
                             Card("FN:Cy\r\n") +
                             Card("FN:Dee\r\nN;ENCODING=QUOTED-PRINTABLE:=Z\r\n");
    const CardsRead read = ReadCards(text);
    EXPECT_THAT(Names(read), ElementsAre("Ann", "Cy"));
    EXPECT_EQ(read.skipped, 2u);
    EXPECT_THAT(read.problem, HasSubstr("line 8:"));
}

TEST(PhonebookCards, ACardCutShortDoesNotSwallowTheNext) {
    // Without END:VCARD the next BEGIN would be a card inside a card for the whole-text parser.
    const CardsRead read = ReadCards("begin:vcard\nVERSION:2.1\nFN:Cut\n" + Card("FN:Whole\r\n"));
    EXPECT_THAT(Names(read), ElementsAre("Whole"));
    EXPECT_EQ(read.skipped, 1u);
}

TEST(PhonebookCards, NoMoreThanTheBoundAreKept) {
    const CardsRead read = ReadCards(Card("FN:A\r\n") + Card("FN:B\r\n") + Card("FN:C\r\n"), 2);
    EXPECT_THAT(Names(read), ElementsAre("A", "B"));
    EXPECT_EQ(read.skipped, 1u);
    EXPECT_THAT(read.problem, HasSubstr("more than 2"));
}

TEST(PhonebookRecords, CalllogKeepsThePhonesOrderAndTakesTheFirstNumber) {
    const std::vector<sim::CalllogRecord> log = CalllogRecords(
        sim::CalllogType::Missed,
        {{"Newest", "", "", "0101"}, {"", "0202", "", ""}, {"Oldest", "", "0303", ""}});
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(sim::FieldText(log[0].name, std::size(log[0].name)), "Newest");
    EXPECT_EQ(sim::FieldText(log[0].number, std::size(log[0].number)), "0101");
    EXPECT_EQ(sim::FieldText(log[1].name, std::size(log[1].name)), "");
    EXPECT_EQ(sim::FieldText(log[1].number, std::size(log[1].number)), "0202");
    EXPECT_EQ(sim::FieldText(log[2].number, std::size(log[2].number)), "0303");
    EXPECT_EQ(log[2].type, static_cast<uint32_t>(sim::CalllogType::Missed));
}

TEST(PhonebookRecords, ContactsAreCutToTheirFields) {
    const std::string longName(40, 'L');
    const std::vector<sim::ContactRecord> records =
        ContactRecords({{longName, "111", "222", "333"}, {"Zoë 李", "", "", "+86"}});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(sim::FieldText(records[0].name, std::size(records[0].name)),
              std::string(sim::kContactNameUnits, 'L'));
    EXPECT_EQ(sim::FieldText(records[0].work, std::size(records[0].work)), "222");
    EXPECT_EQ(sim::FieldText(records[1].name, std::size(records[1].name)), "Zoë 李");
    EXPECT_EQ(sim::FieldText(records[1].cell, std::size(records[1].cell)), "+86");
}

TEST(PhonebookRecords, PushedNumbersFillTheSlotsCellHomeWork) {
    const std::vector<sim::OppContactRecord> records =
        PushedRecords({{"Eve", "102", "103", "101"}, {"Nobody", "", "", ""}});
    ASSERT_EQ(records.size(), 2u);
    const auto slot = [&](std::size_t record, std::size_t index) {
        return sim::FieldText(records[record].slots[index], sim::kPushedSlotUnits + 1);
    };
    EXPECT_EQ(slot(0, 0), "Eve");
    EXPECT_EQ(slot(0, sim::kPushedNumberSlots[0]), "101");
    EXPECT_EQ(slot(0, sim::kPushedNumberSlots[1]), "102");
    EXPECT_EQ(slot(0, sim::kPushedNumberSlots[2]), "103");
    EXPECT_EQ(slot(1, 0), "Nobody");
    EXPECT_EQ(slot(1, sim::kPushedNumberSlots[0]), "");
}

TEST(PhonebookRecords, CalllogObjects) {
    EXPECT_EQ(PbapCalllog(sim::CalllogType::Incoming), "ich");
    EXPECT_EQ(PbapCalllog(sim::CalllogType::Outgoing), "och");
    EXPECT_EQ(PbapCalllog(sim::CalllogType::Missed), "mch");
}

// The environment is the test's own: each case sets what it needs and restores it.
class ObexFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kobalt-obex-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value != nullptr ? std::optional<std::string>(value)
                                                        : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        std::system(("rm -rf '" + m_root + "'").c_str());
    }
    static unsigned Mode(const std::string& path) {
        struct stat info {};
        EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
        return info.st_mode & 0777;
    }

    std::string m_root;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(ObexFolder, MadePrivateInTheRuntimeFolder) {
    setenv("XDG_RUNTIME_DIR", m_root.c_str(), 1);
    std::string problem;
    EXPECT_EQ(PrivateObexFolder(problem), m_root + "/kobalt-obex") << problem;
    EXPECT_EQ(Mode(m_root + "/kobalt-obex"), 0700u);
    // One left open by someone is closed again.
    chmod((m_root + "/kobalt-obex").c_str(), 0755);
    EXPECT_EQ(PrivateObexFolder(problem), m_root + "/kobalt-obex") << problem;
    EXPECT_EQ(Mode(m_root + "/kobalt-obex"), 0700u);
}

TEST_F(ObexFolder, ASymlinkOrAFileInItsPlaceIsRefused) {
    setenv("XDG_RUNTIME_DIR", m_root.c_str(), 1);
    ASSERT_EQ(mkdir((m_root + "/elsewhere").c_str(), 0700), 0);
    ASSERT_EQ(chmod((m_root + "/elsewhere").c_str(), 0777), 0);
    ASSERT_EQ(symlink((m_root + "/elsewhere").c_str(), (m_root + "/kobalt-obex").c_str()), 0);
    std::string problem;
    EXPECT_EQ(PrivateObexFolder(problem), std::nullopt);
    EXPECT_THAT(problem, HasSubstr("not a folder of this user"));
    EXPECT_EQ(Mode(m_root + "/elsewhere"), 0777u); // not made private through the link
}

TEST_F(ObexFolder, TheCacheFolderWithoutARuntimeFolder) {
    setenv("XDG_RUNTIME_DIR", "relative/run", 1); // not a folder to trust
    setenv("XDG_CACHE_HOME", (m_root + "/cache").c_str(), 1);
    std::string problem;
    EXPECT_EQ(PrivateObexFolder(problem), m_root + "/cache/kobalt/obex") << problem;
    EXPECT_EQ(Mode(m_root + "/cache/kobalt/obex"), 0700u);
    unsetenv("XDG_CACHE_HOME");
    setenv("HOME", m_root.c_str(), 1);
    EXPECT_EQ(PrivateObexFolder(problem), m_root + "/.cache/kobalt/obex") << problem;
}

TEST_F(ObexFolder, OnlyARegularFileIsRead) {
    std::string problem;
    EXPECT_EQ(ReadCardFile(m_root + "/missing.vcf", problem), std::nullopt);
    EXPECT_THAT(problem, HasSubstr("cannot read"));
    const std::string fifo = m_root + "/fifo.vcf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadCardFile(fifo, problem), std::nullopt); // returns at once: no writer awaited
    EXPECT_THAT(problem, HasSubstr("not a regular file"));
    std::ofstream(m_root + "/pb.vcf") << Card("FN:Ann\r\nTEL:1\r\n");
    const std::optional<CardsRead> read = ReadCardFile(m_root + "/pb.vcf", problem);
    ASSERT_TRUE(read.has_value()) << problem;
    EXPECT_THAT(Names(*read), ElementsAre("Ann"));
}

} // namespace
} // namespace kobalt::bluez
