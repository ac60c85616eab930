// Files the user names, read without trusting them: the bounded reader, the world loader and
// the vCard cap through an in-memory file source, the world's address index, and the escaping
// of diagnostics.
#include "sim/abi/DebugLog.h"
#include "sim/world/BoundedFile.h"
#include "sim/world/WorldFile.h"
#include "tests/MalformedUtf8.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kobalt::sim {
namespace {

using testing::HasSubstr;

// A private temporary folder, removed with what it holds.
class TempFolder {
public:
    TempFolder() {
        std::string path = testing::TempDir() + "kobalt-hostile-XXXXXX";
        EXPECT_NE(::mkdtemp(path.data()), nullptr);
        m_path = path;
    }
    ~TempFolder() {
        const std::string command = "rm -rf '" + m_path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    const std::string& Path() const { return m_path; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = m_path + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

private:
    std::string m_path;
};

TEST(BoundedFile, ReadsOnlyRegularFilesAndStopsOneBytePastTheLimit) {
    const TempFolder folder;
    const std::string fifo = folder.Path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string exact = folder.Write("exact", std::string(100, 'x'));
    const std::string over = folder.Write("over", std::string(101, 'x'));
    const std::string empty = folder.Write("empty", "");

    struct Case {
        std::string path;
        FileReadError error;
        const char* problem;
    };
    const Case cases[] = {
        {exact, FileReadError::None, ""},
        {empty, FileReadError::None, ""},
        {over, FileReadError::TooLarge, "too large (more than 100 bytes)"},
        {folder.Path(), FileReadError::NotRegular, "not a regular file"},
        {fifo, FileReadError::NotRegular, "not a regular file"}, // no writer: must not wait
        {"/dev/zero", FileReadError::NotRegular, "not a regular file"},
        {folder.Path() + "/missing", FileReadError::CannotOpen, "cannot read: No such file"},
        // /proc files claim to be regular and empty: the limit holds while reading.
        {"/proc/self/pagemap", FileReadError::TooLarge, "too large"},
        {"/proc/self/mem", FileReadError::CannotRead, "cannot read: "},
    };
    for (const Case& c : cases) {
        const FileRead read = ReadBoundedFile(c.path, 100);
        EXPECT_EQ(read.error, c.error) << c.path << ": " << read.problem;
        EXPECT_THAT(read.problem, HasSubstr(c.problem)) << c.path;
        if (read.Ok()) {
            EXPECT_EQ(read.bytes.size(), c.path == exact ? 100u : 0u) << c.path;
        } else {
            EXPECT_TRUE(read.bytes.empty()) << c.path;
        }
    }
}

TEST(WorldLoad, VCardsAreFoundBesideTheWorldAndCountTowardsThePhonebookLimit) {
    MemoryFiles files;
    files.files["/w/phone.world"] = "contact \"Anna\" \"\" \"\" \"1\"\nvcard cards.vcf\n";
    files.files["/w/cards.vcf"] = "BEGIN:VCARD\nFN:Ben\nTEL:2\nEND:VCARD\n";
    const WorldFileLoad load = LoadWorldFile("/w/phone.world", files);
    ASSERT_EQ(load.problem, "");
    ASSERT_EQ(load.parse.pim.contacts.size(), 2u);
    EXPECT_EQ(FieldText(load.parse.pim.contacts[1].name, kContactNameUnits + 1), "Ben");

    // The world's own contacts leave room for one card; the vCard has two.
    std::string world;
    for (std::size_t i = 0; i + 1 < kMaxPhonebook; ++i) {
        world += "contact \"\" \"\" \"\" \"\"\n";
    }
    files.files["/w/full.world"] = world + "vcard two.vcf\n";
    files.files["/w/two.vcf"] = "BEGIN:VCARD\nFN:A\nEND:VCARD\nBEGIN:VCARD\nFN:B\nEND:VCARD\n";
    const WorldFileLoad full = LoadWorldFile("/w/full.world", files);
    EXPECT_THAT(full.problem, HasSubstr(":" + std::to_string(kMaxPhonebook) +
                                        ": vcard: /w/two.vcf:4: more than 1 contacts"));
    EXPECT_TRUE(full.parse.pim.contacts.empty());

    files.files["/w/over.world"] =
        world + "contact \"\" \"\" \"\" \"\"\ncontact \"\" \"\" \"\" \"\"\n";
    EXPECT_THAT(LoadWorldFile("/w/over.world", files).problem,
                HasSubstr("the phonebook holds at most 250000 contacts"));
}

TEST(World, FindsDevicesByAddressAfterRemovalsAndRefusesPastItsLimit) {
    World world;
    const auto device = [](const char* address, const char* name) {
        Device d;
        d.address = *ParseAddress(address);
        d.name = name;
        return d;
    };
    ASSERT_EQ(world.Add(device("00:00:00:00:00:01", "one")), AddOutcome::Added);
    ASSERT_EQ(world.Add(device("00:00:00:00:00:02", "two")), AddOutcome::Added);
    ASSERT_EQ(world.Add(device("00:00:00:00:00:03", "three")), AddOutcome::Added);
    EXPECT_EQ(world.Add(device("00:00:00:00:00:02", "again")), AddOutcome::AddressTaken);
    ASSERT_TRUE(world.Remove(*ParseAddress("00:00:00:00:00:02")));
    EXPECT_EQ(world.Find(*ParseAddress("00:00:00:00:00:02")), nullptr);
    ASSERT_NE(world.Find(*ParseAddress("00:00:00:00:00:03")), nullptr);
    EXPECT_EQ(world.Find(*ParseAddress("00:00:00:00:00:03"))->name, "three");
    EXPECT_EQ(world.Find(*ParseAddress("00:00:00:00:00:01"))->name, "one");
    ASSERT_EQ(world.Add(device("00:00:00:00:00:02", "back")), AddOutcome::Added);
    EXPECT_EQ(world.Devices().back().name, "back") << "world order: additions come last";

    world.Clear();
    Device filler;
    for (std::size_t i = 0; i < kMaxWorldDevices; ++i) {
        filler.address.b = {static_cast<uint8_t>(i),
                            static_cast<uint8_t>(i >> 8),
                            static_cast<uint8_t>(i >> 16),
                            0,
                            0,
                            0};
        ASSERT_EQ(world.Add(filler), AddOutcome::Added) << i;
    }
    EXPECT_EQ(world.Add(device("AA:00:00:00:00:00", "one too many")), AddOutcome::Full);
}

TEST(DebugText, ControlAndFormatCharactersAreEscapedVisibly) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"Anna Schmidt, Jürgen, 王小明", "Anna Schmidt, Jürgen, 王小明"},
        {"\x1b]0;owned\x07\x1b[2J", "\\x1b]0;owned\\x07\\x1b[2J"},
        {"a\r\nb\tc\x7f", "a\\x0d\\x0ab\\x09c\\x7f"},
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"\xc2\x9b"
         "31m",
         "\\u009b31m"}, // C1 CSI
        {"\xe2\x80\xae"
         "gnp.exe",
         "\\u202egnp.exe"}, // right-to-left override
        {"zero\xe2\x80\x8bwidth\xef\xbb\xbf", "zero\\u200bwidth\\ufeff"},
        {"tag\xf3\xa0\x80\x81", "tag\\ue0001"},     // language tag
        {"bad \xff\xc3 end", "bad \\xff\\xc3 end"}, // not UTF-8
        {"\xc0\x80", "\\xc0\\x80"},                 // overlong NUL
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},        // a surrogate
        {"back\\slash", "back\\slash"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeForTerminal(c.in), c.out) << c.out;
    }
}

TEST(DebugText, EveryMalformedUtf8SequenceIsEscapedByteByByte) {
    for (const auto& bad : kobalt::testing_utf8::kMalformed) {
        EXPECT_EQ(EscapeForTerminal(bad.bytes),
                  kobalt::testing_utf8::EscapedHighBytes(bad.bytes, "\\x", false))
            << bad.kind;
    }
    // Format characters are Unicode's whole category Cf, newer ones included.
    EXPECT_EQ(EscapeForTerminal("\xf0\x93\x90\xb0"), "\\u13430");
}

TEST(DebugText, TheLogKeepsWhatItWroteEscaped) {
    DebugLog log;
    log.Write("world /tmp/\x1b[2J.world: not a regular file");
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0], "world /tmp/\\x1b[2J.world: not a regular file");
}

// With a live trace taken, diagnostics go there and not to stderr, where they would write over
// a full-screen terminal; a line the live trace cannot take still reaches stderr.
TEST(DebugText, DiagnosticsGoToTheLiveTraceWhenItTakesThem) {
    DebugLog log;
    std::vector<std::string> live;
    bool accept = true;
    log.SetLive([&](std::string_view line) {
        if (accept) {
            live.emplace_back(line);
        }
        return accept;
    });
    testing::internal::CaptureStderr();
    log.Write("bad \x1b]0;title\x07 name");
    accept = false;
    log.Write("second");
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0], "[KOBALT.sim] bad \\x1b]0;title\\x07 name");
    EXPECT_EQ(err, "[KOBALT.sim] second\n");
    EXPECT_EQ(log.Lines().size(), 2u);
}

} // namespace
} // namespace kobalt::sim
