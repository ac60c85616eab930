// The provider database reader: what it takes from serviceproviders.xml, and what it does with
// hostile, truncated and oversized files.
#include "sim/profiles/ProviderDatabase.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace kobalt::sim {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

constexpr const char* kFixturePath = KOBALT_SOURCE_DIR "/tests/sim/profiles/serviceproviders.xml";

std::string Document(const std::string& countries) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<serviceproviders format=\"2.0\">\n" +
           countries + "</serviceproviders>\n";
}

std::string Provider(const std::string& name, const std::string& gsm) {
    return "<provider><name>" + name + "</name><gsm>" + gsm + "</gsm></provider>";
}

std::string Apn(const std::string& value, const std::string& inner = "<usage type=\"internet\"/>") {
    return "<apn value=\"" + value + "\">" + inner + "</apn>";
}

std::vector<std::u16string> ProviderNames(const ProviderDatabase& db) {
    std::vector<std::u16string> names;
    for (const DunProvider& provider : db.providers) {
        names.push_back(provider.name);
    }
    return names;
}

TEST(ProviderDatabase, ReadsTheFixtureInFileOrderWithDisjointIds) {
    const ProviderDatabase db = LoadProviderDatabase(kFixturePath);
    EXPECT_TRUE(db.problems.empty()) << db.problems.front();
    ASSERT_EQ(db.countries.size(), 13u);
    EXPECT_EQ(db.countries[0].name, u"Greece");
    EXPECT_EQ(db.countries[10].name, u"Germany");
    EXPECT_EQ(db.countries[10].id, 11u);
    std::set<uint32_t> ids;
    std::set<std::array<std::u16string, kDunParamCount>> params;
    for (const DunCountry& country : db.countries) {
        EXPECT_TRUE(ids.insert(country.id).second);
    }
    for (const DunProvider& provider : db.providers) {
        EXPECT_TRUE(ids.insert(provider.id).second) << provider.id; // never a country's id
        EXPECT_EQ(provider.id / 1000, provider.country);
        EXPECT_TRUE(params.insert(provider.params).second) << "each provider dials differently";
    }
    const DunProvider* telekom = db.FindProvider(11001);
    ASSERT_NE(telekom, nullptr);
    EXPECT_EQ(telekom->name, u"Telekom");
    EXPECT_THAT(telekom->params, ElementsAre(u"*99#", u"internet.telekom", u"telekom", u"tm", u""));
    const DunProvider* verizon = db.FindProvider(12003);
    ASSERT_NE(verizon, nullptr);
    EXPECT_THAT(verizon->params, ElementsAre(u"#777", u"", u"", u"", u""));
    EXPECT_EQ(db.FindProvider(3003)->params[kDunDns], u"212.27.40.240"); // Free Mobile
    EXPECT_EQ(db.FindProvider(12002)->name, u"AT&T");                    // an entity of XML
}

TEST(ProviderDatabase, ChoosesTheAccessPointForInternet) {
    const ProviderDatabase db = ParseProviderDatabase(Document(
        "<country code=\"xx\"><name>X</name>" +
        Provider("Internet second",
                 Apn("mms.example", "<usage type=\"mms\"/>") + Apn("web.example")) +
        Provider("Unmarked",
                 Apn("wap.example", "<usage type=\"wap\"/>") + Apn("plain.example", "")) +
        Provider("Only mms", Apn("mms.example", "<usage type=\"mms\"/>")) +
        "<provider><name>Nothing to dial</name></provider>" +
        Provider("Two dns", Apn("dns.example", "<usage type=\"internet\"/><dns>1.1.1.1</dns>"
                                               "<dns>8.8.8.8</dns>")) +
        "</country>"));
    EXPECT_THAT(ProviderNames(db), ElementsAre(u"Internet second", u"Unmarked", u"Two dns"));
    EXPECT_EQ(db.providers[0].params[kDunAccessPoint], u"web.example");
    EXPECT_EQ(db.providers[1].params[kDunAccessPoint], u"plain.example");
    EXPECT_EQ(db.providers[2].params[kDunDns], u"1.1.1.1");
    EXPECT_EQ(db.providers[2].id, 1003u) << "ids count the listed providers only";
    EXPECT_TRUE(db.problems.empty()) << "a provider without internet is no problem";
}

TEST(ProviderDatabase, MissingFieldsAndLanguages) {
    const ProviderDatabase db = ParseProviderDatabase(
        Document("<country code=\"de\">" + Provider("No country name", Apn("a")) + "</country>" +
                 "<country code=\"1&lt;\">" + Provider("Bad code", Apn("b")) + "</country>" +
                 "<country><name xml:lang=\"fr\">Allemagne</name><name>Germany</name>" +
                 "<provider><name xml:lang=\"de\">Deutsch</name><name>English</name><gsm>" +
                 Apn("c") + "</gsm></provider>" + Provider("", Apn("d")) +
                 Provider("No value", "<apn/>") + "</country>"));
    ASSERT_EQ(db.countries.size(), 2u);
    EXPECT_EQ(db.countries[0].name, u"DE");
    EXPECT_EQ(db.countries[1].name, u"Germany");
    EXPECT_EQ(db.countries[1].id, 2u) << "ids count the listed countries";
    EXPECT_THAT(ProviderNames(db), ElementsAre(u"No country name", u"English"));
    ASSERT_EQ(db.problems.size(), 1u);
    EXPECT_THAT(db.problems[0], HasSubstr("3 entries skipped"));
}

TEST(ProviderDatabase, HostileTexts) {
    const std::string long259(259, 'a');
    const ProviderDatabase db = ParseProviderDatabase(
        Document("<country code=\"xx\"><name>\n\t  Far \n\n Away\t</name>" +
                 Provider("C1\xC2\x9B"
                          "31m",
                          Apn("ok.example")) +
                 Provider("Del in apn", Apn("bad\x7F.example")) +
                 Provider("Newline in password", Apn("p.example", "<password>a\nb</password>")) +
                 Provider("Longest", Apn(long259)) + Provider("Too long", Apn(long259 + "a")) +
                 Provider("Char ref", Apn("x&#x85;y")) + "</country>"));
    ASSERT_EQ(db.countries.size(), 1u);
    EXPECT_EQ(db.countries[0].name, u"Far Away");
    EXPECT_THAT(ProviderNames(db), ElementsAre(u"C1\uFFFD31m", u"Longest"));
    EXPECT_EQ(db.providers[1].params[kDunAccessPoint].size(), 259u);
    ASSERT_EQ(db.problems.size(), 1u);
    EXPECT_THAT(db.problems[0], HasSubstr("4 entries skipped"));
}

TEST(ProviderDatabase, MalformedFilesGiveNothing) {
    std::ifstream in(kFixturePath);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string cases[] = {
        whole.substr(0, whole.size() / 2), // truncated
        "",
        "not XML at all",
        "<?xml version=\"1.0\"?><!DOCTYPE s [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;\">]>"
        "<serviceproviders><country code=\"xx\"><name>&b;</name></country></serviceproviders>",
        Document("<country code=\"xx\"><name>X</name>" + std::string(40, '<') + "</country>"),
        Document("<country code=\"xx\"><name>X</name>" + std::string(2000, 'a') + "\xFF</country>"),
    };
    std::string nested = "<a>";
    for (int i = 0; i < 100; ++i) {
        nested = "<a>" + nested + "</a>";
    }
    for (const std::string& text :
         {cases[0], cases[1], cases[2], cases[3], cases[4], cases[5],
          Document("<country code=\"xx\">" + nested + "</a></country>")}) {
        const ProviderDatabase db = ParseProviderDatabase(text);
        EXPECT_TRUE(db.countries.empty()) << text.substr(0, 80);
        EXPECT_TRUE(db.providers.empty());
        ASSERT_EQ(db.problems.size(), 1u);
        EXPECT_THAT(db.problems[0], HasSubstr("malformed XML"));
    }
    EXPECT_THAT(ParseProviderDatabase(cases[3]).problems[0], HasSubstr("entity declaration"));
}

TEST(ProviderDatabase, CountsAreBounded) {
    std::string many;
    for (int i = 0; i < 1001; ++i) {
        many += "<country code=\"xx\"><name>C</name></country>";
    }
    std::string providers = "<country code=\"yy\"><name>Y</name>";
    for (int i = 0; i < 1001; ++i) {
        providers += Provider("P", Apn("apn" + std::to_string(i)));
    }
    providers += "</country>";
    const ProviderDatabase db = ParseProviderDatabase(Document(providers + many));
    EXPECT_EQ(db.countries.size(), kMaxDunCountries);
    EXPECT_EQ(db.providers.size(), kMaxDunProvidersPerCountry);
    EXPECT_EQ(db.providers.back().id, 1999u);
    EXPECT_EQ(db.countries.back().id, 999u);
    ASSERT_EQ(db.problems.size(), 1u);
    EXPECT_THAT(db.problems[0], HasSubstr("5 entries beyond"));
}

TEST(ProviderDatabase, FilesThatAreNoDatabase) {
    char folder[] = "/tmp/kobalt-provider-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string fifo = std::string(folder) + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string missing = std::string(folder) + "/missing.xml";
    for (const std::string& path : {std::string(folder), fifo, missing}) {
        const ProviderDatabase db = LoadProviderDatabase(path); // a FIFO must not block
        EXPECT_TRUE(db.countries.empty());
        ASSERT_EQ(db.problems.size(), 1u);
        EXPECT_THAT(db.problems[0], HasSubstr("provider database " + path + ": "));
    }
    unlink(fifo.c_str());
    rmdir(folder);
}

TEST(ProviderLists, LoadOnceLogEachProblemOnceAndMatchParameters) {
    std::vector<std::string> lines;
    const ProviderLists lists("/nonexistent/serviceproviders.xml",
                              [&](std::string_view line) { lines.emplace_back(line); });
    uint32_t count = 5;
    EXPECT_EQ(lists.GetCountry(nullptr, &count), kOk);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(lists.GetProvider(1, nullptr, &count), kErrUnknownEntry);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], HasSubstr("/nonexistent/serviceproviders.xml"));

    const ProviderLists fixture(kFixturePath, nullptr);
    KOBALT_WCHAR p[kDunParamCount][kDunParamUnits] = {};
    KOBALT_WCHAR* const params[kDunParamCount] = {p[0], p[1], p[2], p[3], p[4]};
    ASSERT_EQ(fixture.GetParams(13001, params), kOk);
    EXPECT_EQ(fixture.ProviderOf(params), 13001u);
    p[kDunUser][0] = u'W';
    EXPECT_EQ(fixture.ProviderOf(params), std::nullopt);
    KOBALT_WCHAR* const withNull[kDunParamCount] = {p[0], p[1], nullptr, p[3], p[4]};
    EXPECT_EQ(fixture.ProviderOf(withNull), std::nullopt);
}

TEST(ProviderLists, PathFromTheEnvironment) {
    const char* before = std::getenv(kProviderDbVariable);
    const std::string saved = before != nullptr ? before : "";
    setenv(kProviderDbVariable, "", 1);
    EXPECT_EQ(ProviderDatabasePath(), kDefaultProviderDb);
    setenv(kProviderDbVariable, "/elsewhere/providers.xml", 1);
    EXPECT_EQ(ProviderDatabasePath(), "/elsewhere/providers.xml");
    if (before != nullptr) {
        setenv(kProviderDbVariable, saved.c_str(), 1);
    } else {
        unsetenv(kProviderDbVariable);
    }
}

} // namespace
} // namespace kobalt::sim
