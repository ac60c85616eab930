// vCard reading: the forms phones export (2.1 and 3.0), and where malformed files are caught.
#include "sim/pim/VCard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

namespace kobalt::sim {

std::ostream& operator<<(std::ostream& out, const ContactFields& c) {
    return out << "{\"" << c.name << "\", \"" << c.home << "\", \"" << c.work << "\", \"" << c.cell
               << "\"}";
}

bool operator==(const ContactFields& a, const ContactFields& b) {
    return a.name == b.name && a.home == b.home && a.work == b.work && a.cell == b.cell;
}

namespace {

struct Readable {
    const char* what;
    const char* text;
    std::vector<ContactFields> contacts;
};

const Readable kReadable[] = {
    {"3.0 with typed numbers",
     "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna Schmidt\r\nN:Schmidt;Anna;;;\r\n"
     "TEL;TYPE=HOME,VOICE:+49 30 1234567\r\nTEL;TYPE=WORK:+49 30 7654321\r\n"
     "TEL;TYPE=CELL:+49 151 23456789\r\nEND:VCARD\r\n",
     {{"Anna Schmidt", "+49 30 1234567", "+49 30 7654321", "+49 151 23456789"}}},
    {"2.1 bare types, lower-case TYPE values and a group prefix",
     "BEGIN:VCARD\nVERSION:2.1\nN:Carter;Ben\nTEL;CELL;PREF:07700 900123\n"
     "item1.TEL;type=work:020 7946 0018\nEND:VCARD\n",
     {{"Ben Carter", "", "020 7946 0018", "07700 900123"}}},
    {"N ordered as prefix given middle family suffix when FN is missing",
     "BEGIN:VCARD\nVERSION:3.0\nN:Montgomery;Alexandra;J.;Dr.;PhD\nEND:VCARD\n",
     {{"Dr. Alexandra J. Montgomery PhD", "", "", ""}}},
    {"folded lines join without their first blank",
     "BEGIN:VCARD\nVERSION:3.0\nFN:Maria Jos\n \xC3\xA9 Garc\n\t\xC3\xAD"
     "a\nTEL;TYPE=CELL:+34 \n 612\n"
     "END:VCARD\n",
     {{"Maria Jos\xC3\xA9 Garc\xC3\xAD"
       "a",
       "", "", "+34 612"}}},
    {"2.1 quoted-printable UTF-8 with a soft line break",
     "BEGIN:VCARD\nVERSION:2.1\n"
     "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen M=\n=C3=BCller\n"
     "TEL;HOME:089 555\nEND:VCARD\n",
     {{"J\xC3\xBCrgen M\xC3\xBCller", "089 555", "", ""}}},
    {"bare QUOTED-PRINTABLE and ISO-8859-1",
     "BEGIN:VCARD\nVERSION:2.1\nFN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:Zo=EB\nEND:VCARD\n",
     {{"Zo\xC3\xAB", "", "", ""}}},
    {"3.0 escapes",
     "BEGIN:VCARD\nVERSION:3.0\nFN:Smith\\, Jr.\\; Esq\nEND:VCARD\n",
     {{"Smith, Jr.; Esq", "", "", ""}}},
    {"untyped numbers fill cell, home, work; faxes and extra numbers are dropped",
     "BEGIN:VCARD\nVERSION:3.0\nFN:X\nTEL;TYPE=HOME,FAX:1\nTEL:2\nTEL;TYPE=VOICE:3\nTEL:4\n"
     "TEL:5\nTEL;TYPE=CELL:6\nEND:VCARD\n",
     {{"X", "3", "4", "2"}}},
    {"unknown properties, other encodings and charsets are skipped",
     "BEGIN:VCARD\nVERSION:3.0\nFN:Pat\nPHOTO;ENCODING=b;TYPE=JPEG:MIIC\n AAAA\n"
     "N;ENCODING=b:QUJD\nFN;CHARSET=SHIFT_JIS:xx\nX-CUSTOM;FOO=\"a:b\":c\nEND:VCARD\n",
     {{"Pat", "", "", ""}}},
    {"several cards, blank lines, one without name or numbers, 4.0 tel URI",
     "BEGIN:VCARD\nVERSION:2.1\nTEL;CELL:1\nEND:VCARD\n\nBEGIN:VCARD\nVERSION:4.0\n"
     "FN:Al\nTEL;VALUE=uri;TYPE=cell:tel:+1-555\nEND:VCARD\nBEGIN:VCARD\nEND:VCARD\n",
     {{"", "", "", "1"}, {"Al", "", "", "+1-555"}, {"", "", "", ""}}},
};

class VCardReads : public testing::TestWithParam<Readable> {};

TEST_P(VCardReads, Contacts) {
    const VCardParse parse = ParseVCards(GetParam().text);
    ASSERT_EQ(parse.line, 0) << parse.problem;
    EXPECT_THAT(parse.contacts, testing::ElementsAreArray(GetParam().contacts));
}

INSTANTIATE_TEST_SUITE_P(Forms, VCardReads, testing::ValuesIn(kReadable),
                         [](const auto& p) { return "case" + std::to_string(p.index); });

struct Malformed {
    const char* text;
    int line;
    const char* problem; // part of the message
};

const Malformed kMalformed[] = {
    {"BEGIN:VCARD\nVERSION:3.0\nFN Anna\nEND:VCARD\n", 3, "no ':'"},
    {"FN:Anna\n", 1, "outside"},
    {"BEGIN:VCARD\nFN:A\nBEGIN:VCARD\n", 3, "inside a vCard"},
    {"BEGIN:VCARD\nFN:A\nEND:VCARD\nEND:VCARD\n", 4, "outside"},
    {"\n\nBEGIN:VCARD\nFN:A\n", 3, "without END:VCARD"},
    {"BEGIN:VCARD\nVERSION:5.0\nEND:VCARD\n", 2, "version"},
    {"BEGIN:VCARD\nVERSION:2.1\nFN;QUOTED-PRINTABLE:A=ZZ\nEND:VCARD\n", 3, "quoted-printable"},
    {"BEGIN:VCARD\nVERSION:2.1\nFN;QUOTED-PRINTABLE:A=4\nEND:VCARD\n", 3, "quoted-printable"},
    {"BEGIN:VCARD\nFN:\n \xFF\nEND:VCARD\n", 2, "UTF-8"},
    {"BEGIN:VCALENDAR\n", 1, "not a vCard"},
    // Control characters once decoded, as a raw one in a world-file text is refused.
    {"BEGIN:VCARD\nFN:Evil\x1b[2J\nEND:VCARD\n", 2, "control character U+001B"},
    {"BEGIN:VCARD\nVERSION:2.1\nFN;QUOTED-PRINTABLE:A=1B]0;x=07\nEND:VCARD\n", 3, "U+001B"},
    {"BEGIN:VCARD\nTEL;CELL:1=\x7f\nEND:VCARD\n", 2, "TEL holds the control character U+007F"},
    {"BEGIN:VCARD\nN;CHARSET=ISO-8859-1:A\x9b\nEND:VCARD\n", 2, "U+009B"}, // C1 from Latin-1
    {"BEGIN:VCARD\nFN:\xc2\x85\nEND:VCARD\n", 2, "U+0085"},
};

class VCardRefuses : public testing::TestWithParam<Malformed> {};

TEST_P(VCardRefuses, WithTheLineOfTheProblem) {
    const VCardParse parse = ParseVCards(GetParam().text);
    EXPECT_EQ(parse.line, GetParam().line) << parse.problem;
    EXPECT_THAT(parse.problem, testing::HasSubstr(GetParam().problem));
    EXPECT_TRUE(parse.contacts.empty()) << "nothing of a malformed file is used";
}

TEST(VCardLimits, MoreCardsThanAllowedAreRefusedAtTheFirstOneTooMany) {
    const std::string card = "BEGIN:VCARD\nFN:A\nEND:VCARD\n";
    EXPECT_EQ(ParseVCards(card + card, 2).contacts.size(), 2u);
    const VCardParse parse = ParseVCards(card + card + card, 2);
    EXPECT_EQ(parse.line, 7);
    EXPECT_EQ(parse.problem, "more than 2 contacts");
    EXPECT_TRUE(parse.contacts.empty());
}

TEST(VCardLimits, AnEscapedNewlineInANameReadsAsABlank) {
    const VCardParse parse = ParseVCards("BEGIN:VCARD\nVERSION:3.0\nFN:Line\\none\nEND:VCARD\n");
    ASSERT_EQ(parse.line, 0) << parse.problem;
    ASSERT_EQ(parse.contacts.size(), 1u);
    EXPECT_EQ(parse.contacts[0].name, "Line one");
}

INSTANTIATE_TEST_SUITE_P(Errors, VCardRefuses, testing::ValuesIn(kMalformed),
                         [](const auto& p) { return "case" + std::to_string(p.index); });

} // namespace
} // namespace kobalt::sim
