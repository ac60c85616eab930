#include "sim/profiles/ProviderDatabase.h"

#include "sim/world/BoundedFile.h"
#include "sim/world/Utf16.h"

#include <expat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kobalt::sim {
namespace {

// Deeper than any real file (serviceproviders > country > provider > gsm > apn > usage).
constexpr std::size_t kMaxDepth = 32;

struct RawApn {
    std::string value;
    std::string usage; // empty: no usage element
    std::string user, password, dns;
};

struct RawProvider {
    std::string name;
    bool nameHasLanguage = true; // until a name without xml:lang is seen
    bool hasName = false;
    std::vector<RawApn> apns;
    bool cdma = false;
    std::string cdmaUser, cdmaPassword, cdmaDns;
};

struct RawCountry {
    std::string code;
    std::string name;
    bool nameHasLanguage = true;
    bool hasName = false;
    std::vector<RawProvider> providers;
};

// What one text element fills.
enum class Text {
    None,
    CountryName,
    ProviderName,
    ApnUser,
    ApnPassword,
    ApnDns,
    CdmaUser,
    CdmaPassword,
    CdmaDns
};

class Reader {
public:
    explicit Reader(XML_Parser parser) : m_parser(parser) {}

    static void XMLCALL Start(void* self, const XML_Char* name, const XML_Char** attributes) {
        static_cast<Reader*>(self)->OnStart(name, attributes);
    }
    static void XMLCALL End(void* self, const XML_Char*) { static_cast<Reader*>(self)->OnEnd(); }
    static void XMLCALL Characters(void* self, const XML_Char* text, int length) {
        Reader& reader = *static_cast<Reader*>(self);
        if (reader.m_text != Text::None && length > 0) {
            reader.m_buffer.append(text, static_cast<std::size_t>(length));
        }
    }
    // An entity declaration is never needed and is how "billion laughs" files begin.
    static void XMLCALL Entity(void* self, const XML_Char*, int, const XML_Char*, int,
                               const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
        Reader& reader = *static_cast<Reader*>(self);
        reader.refused = "an entity declaration";
        XML_StopParser(reader.m_parser, XML_FALSE);
    }

    std::vector<RawCountry> countries;
    std::string refused; // why parsing was stopped; empty when it was not

private:
    static const char* Attribute(const XML_Char** attributes, const char* wanted) {
        for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
            if (std::strcmp(a[0], wanted) == 0) {
                return a[1];
            }
        }
        return nullptr;
    }

    std::string_view Parent() const {
        return m_open.empty() ? std::string_view() : std::string_view(m_open.back());
    }

    void OnStart(const char* name, const XML_Char** attributes) {
        if (m_open.size() >= kMaxDepth) {
            refused = "elements nested too deep";
            XML_StopParser(m_parser, XML_FALSE);
            return;
        }
        const std::string_view element(name);
        const std::string_view parent = Parent();
        m_text = Text::None;
        if (element == "country" && parent == "serviceproviders") {
            const char* code = Attribute(attributes, "code");
            countries.push_back({code != nullptr ? code : "", {}, true, false, {}});
        } else if (!countries.empty()) {
            OnStartInCountry(element, parent, attributes);
        }
        m_buffer.clear();
        m_open.emplace_back(element);
    }

    void OnStartInCountry(std::string_view element, std::string_view parent,
                          const XML_Char** attributes) {
        RawCountry& country = countries.back();
        const bool lang = Attribute(attributes, "xml:lang") != nullptr;
        if (element == "name" && parent == "country") {
            m_text = Text::CountryName;
            m_nameHasLanguage = lang;
            return;
        }
        if (element == "provider" && parent == "country") {
            country.providers.emplace_back();
        }
        if (country.providers.empty()) {
            return; // an element of the country outside any provider
        }
        RawProvider& provider = country.providers.back();
        if (element == "name" && parent == "provider") {
            m_text = Text::ProviderName;
            m_nameHasLanguage = lang;
        } else if (element == "apn" && parent == "gsm") {
            const char* value = Attribute(attributes, "value");
            provider.apns.push_back({value != nullptr ? value : "", {}, {}, {}, {}});
        } else if (element == "cdma" && parent == "provider") {
            provider.cdma = true;
        } else if (parent == "apn" && !provider.apns.empty()) {
            if (element == "usage") {
                const char* type = Attribute(attributes, "type");
                provider.apns.back().usage = type != nullptr && *type != 0 ? type : "?";
            }
            m_text = element == "username"   ? Text::ApnUser
                     : element == "password" ? Text::ApnPassword
                     : element == "dns"      ? Text::ApnDns
                                             : Text::None;
        } else if (parent == "cdma") {
            m_text = element == "username"   ? Text::CdmaUser
                     : element == "password" ? Text::CdmaPassword
                     : element == "dns"      ? Text::CdmaDns
                                             : Text::None;
        }
    }

    // A name: the first one without xml:lang wins over any with it.
    void TakeName(std::string& name, bool& hasName, bool& hasLanguage) {
        if (!hasName || (hasLanguage && !m_nameHasLanguage)) {
            name = m_buffer;
            hasName = true;
            hasLanguage = m_nameHasLanguage;
        }
    }

    // A text that may appear more than once (dns): the first counts.
    void TakeFirst(std::string& field) {
        if (field.empty()) {
            field = m_buffer;
        }
    }

    void OnEnd() {
        if (m_text != Text::None && !countries.empty()) {
            RawCountry& country = countries.back();
            RawProvider* provider = country.providers.empty() ? nullptr : &country.providers.back();
            RawApn* apn =
                provider == nullptr || provider->apns.empty() ? nullptr : &provider->apns.back();
            switch (m_text) {
            case Text::CountryName:
                TakeName(country.name, country.hasName, country.nameHasLanguage);
                break;
            case Text::ProviderName:
                TakeName(provider->name, provider->hasName, provider->nameHasLanguage);
                break;
            case Text::ApnUser:
                TakeFirst(apn->user);
                break;
            case Text::ApnPassword:
                TakeFirst(apn->password);
                break;
            case Text::ApnDns:
                TakeFirst(apn->dns);
                break;
            case Text::CdmaUser:
                TakeFirst(provider->cdmaUser);
                break;
            case Text::CdmaPassword:
                TakeFirst(provider->cdmaPassword);
                break;
            case Text::CdmaDns:
                TakeFirst(provider->cdmaDns);
                break;
            case Text::None:
                break;
            }
        }
        m_text = Text::None;
        m_buffer.clear();
        if (!m_open.empty()) {
            m_open.pop_back();
        }
    }

    XML_Parser m_parser;
    std::vector<std::string> m_open; // the open elements, outermost first
    Text m_text = Text::None;        // what the characters now read fill
    std::string m_buffer;
    bool m_nameHasLanguage = false;
};

bool IsXmlSpace(char32_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Trimmed; inner runs of white space become one space in a name (`strict` false). In a parameter
// (`strict`) inner white space other than spaces, and any control character, make the text
// unusable (none); in a name a control character becomes U+FFFD.
std::optional<std::u16string> CleanText(std::string_view utf8, bool strict) {
    const std::optional<std::u16string> wide = Utf8ToUtf16(utf8); // expat gives UTF-8
    if (!wide) {
        return std::nullopt;
    }
    std::u16string out;
    std::u16string space; // white space seen since the last other character
    for (const char16_t c : *wide) {
        if (IsXmlSpace(c)) {
            space.push_back(c);
            continue;
        }
        if (!space.empty() && !out.empty()) {
            if (strict && space.find_first_not_of(u' ') != std::u16string::npos) {
                return std::nullopt;
            }
            out += strict ? space : u" ";
        }
        space.clear();
        if (IsControl(c)) {
            if (strict) {
                return std::nullopt;
            }
            out.push_back(u'\uFFFD');
            continue;
        }
        out.push_back(c);
    }
    return out;
}

std::u16string UpperCode(std::string_view code) {
    std::u16string out;
    for (const char c : code) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            return {};
        }
        out.push_back(static_cast<char16_t>(c >= 'a' ? c - 'a' + 'A' : c));
    }
    return out.size() == 2 ? out : std::u16string();
}

// The access point a dial uses: internet usage first, else one marked for no usage.
const RawApn* ChooseApn(const std::vector<RawApn>& apns) {
    for (const char* wanted : {"internet", ""}) {
        const auto found = std::find_if(
            apns.begin(), apns.end(), [wanted](const RawApn& apn) { return apn.usage == wanted; });
        if (found != apns.end()) {
            return &*found;
        }
    }
    return nullptr;
}

// The provider's five parameters; none when it has nothing to dial or a parameter is unusable
// (`hostile` then says so).
std::optional<std::array<std::u16string, kDunParamCount>> Parameters(const RawProvider& provider,
                                                                     bool& hostile) {
    std::array<std::string_view, kDunParamCount> raw;
    if (const RawApn* apn = ChooseApn(provider.apns)) {
        raw = {"*99#", apn->value, apn->user, apn->password, apn->dns};
    } else if (provider.cdma) {
        raw = {"#777", "", provider.cdmaUser, provider.cdmaPassword, provider.cdmaDns};
    } else {
        return std::nullopt;
    }
    std::array<std::u16string, kDunParamCount> params;
    for (int i = 0; i < kDunParamCount; ++i) {
        std::optional<std::u16string> text = CleanText(raw[i], true);
        if (!text || text->size() >= kDunParamUnits) {
            hostile = true;
            return std::nullopt;
        }
        params[i] = std::move(*text);
    }
    if (params[kDunNumber] == u"*99#" && params[kDunAccessPoint].empty()) {
        hostile = true; // an access point without its value
        return std::nullopt;
    }
    return params;
}

void Build(const std::vector<RawCountry>& raw, ProviderDatabase& db) {
    std::size_t hostile = 0;
    std::size_t overLimit = 0;
    for (const RawCountry& rawCountry : raw) {
        std::u16string name = CleanText(rawCountry.name, false).value_or(u"");
        if (name.empty()) {
            name = UpperCode(rawCountry.code);
        }
        if (name.empty()) {
            ++hostile;
            continue;
        }
        if (db.countries.size() >= kMaxDunCountries) {
            ++overLimit;
            continue;
        }
        const uint32_t countryId = static_cast<uint32_t>(db.countries.size()) + 1;
        db.countries.push_back({countryId, std::move(name)});
        uint32_t listed = 0;
        for (const RawProvider& rawProvider : rawCountry.providers) {
            bool bad = false;
            std::optional<std::array<std::u16string, kDunParamCount>> params =
                Parameters(rawProvider, bad);
            std::u16string providerName = CleanText(rawProvider.name, false).value_or(u"");
            if (!params || providerName.empty()) {
                if (bad || params) {
                    ++hostile; // a usable provider without a name counts too
                }
                continue;
            }
            if (listed >= kMaxDunProvidersPerCountry) {
                ++overLimit;
                continue;
            }
            ++listed;
            db.providers.push_back({countryId * 1000 + listed, countryId, std::move(providerName),
                                    std::move(*params)});
        }
    }
    if (hostile != 0) {
        db.problems.push_back(std::to_string(hostile) +
                              " entries skipped: no name, or a parameter too long, empty or with "
                              "control characters");
    }
    if (overLimit != 0) {
        db.problems.push_back(std::to_string(overLimit) + " entries beyond " +
                              std::to_string(kMaxDunCountries) + " countries or " +
                              std::to_string(kMaxDunProvidersPerCountry) +
                              " providers of a country skipped");
    }
}

KOBALT_DunListEntry MakeEntry(uint32_t id, std::u16string_view name) {
    KOBALT_DunListEntry entry{};
    entry.id = id;
    CopyTerminated(name, entry.name, std::size(entry.name));
    return entry;
}

ResultCode Fill(const std::vector<KOBALT_DunListEntry>& all, KOBALT_DunListEntry* entries,
                uint32_t* count) {
    if (entries == nullptr) {
        *count = static_cast<uint32_t>(all.size());
        return kOk;
    }
    const std::size_t filled = std::min<std::size_t>(*count, all.size());
    std::copy_n(all.begin(), filled, entries);
    *count = static_cast<uint32_t>(filled);
    return kOk;
}

// The caller's text up to its terminator; none when there is no terminator within the buffer.
std::optional<std::u16string> ReadParam(const KOBALT_WCHAR* text) {
    std::u16string value;
    for (std::size_t i = 0; i < kDunParamUnits; ++i) {
        if (text[i] == 0) {
            return value;
        }
        value.push_back(text[i]);
    }
    return std::nullopt;
}

} // namespace

const DunCountry* ProviderDatabase::FindCountry(uint32_t id) const {
    const auto found = std::find_if(countries.begin(), countries.end(),
                                    [id](const DunCountry& c) { return c.id == id; });
    return found == countries.end() ? nullptr : &*found;
}

const DunProvider* ProviderDatabase::FindProvider(uint32_t id) const {
    const auto found = std::find_if(providers.begin(), providers.end(),
                                    [id](const DunProvider& p) { return p.id == id; });
    return found == providers.end() ? nullptr : &*found;
}

ProviderDatabase ParseProviderDatabase(std::string_view xml) {
    ProviderDatabase db;
    if (xml.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        db.problems.push_back("too large");
        return db;
    }
    const XML_Parser parser = XML_ParserCreate("UTF-8");
    if (parser == nullptr) {
        db.problems.push_back("no memory for the XML parser");
        return db;
    }
    Reader reader(parser);
    XML_SetUserData(parser, &reader);
    XML_SetElementHandler(parser, Reader::Start, Reader::End);
    XML_SetCharacterDataHandler(parser, Reader::Characters);
    XML_SetEntityDeclHandler(parser, Reader::Entity);
    const XML_Status status = XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), 1);
    if (status != XML_STATUS_OK) {
        const std::string why = !reader.refused.empty()
                                    ? reader.refused
                                    : std::string(XML_ErrorString(XML_GetErrorCode(parser)));
        db.problems.push_back("malformed XML at line " +
                              std::to_string(XML_GetCurrentLineNumber(parser)) + ": " + why);
        XML_ParserFree(parser);
        return db;
    }
    XML_ParserFree(parser);
    Build(reader.countries, db);
    return db;
}

ProviderDatabase LoadProviderDatabase(const std::string& path) {
    const FileRead read = ReadBoundedFile(path, kMaxProviderDbBytes);
    ProviderDatabase db;
    if (read.Ok()) {
        db = ParseProviderDatabase(read.bytes);
    } else {
        db.problems.push_back(read.problem);
    }
    for (std::string& problem : db.problems) {
        problem = "provider database " + path + ": " + problem;
    }
    if (db.countries.empty() && db.problems.empty()) {
        db.problems.push_back("provider database " + path + ": no countries");
    }
    return db;
}

std::string ProviderDatabasePath() {
    const char* path = std::getenv(kProviderDbVariable);
    return path != nullptr && *path != 0 ? path : kDefaultProviderDb;
}

ProviderLists::ProviderLists(std::string path, std::function<void(std::string_view)> log)
    : m_path(std::move(path)), m_log(std::move(log)) {}

const ProviderDatabase& ProviderLists::Database() const {
    std::call_once(m_loaded, [this] {
        auto db = std::make_unique<ProviderDatabase>(LoadProviderDatabase(m_path));
        if (m_log) {
            for (const std::string& problem : db->problems) {
                m_log(problem);
            }
        }
        m_database = std::move(db);
    });
    return *m_database;
}

ResultCode ProviderLists::GetCountry(KOBALT_DunListEntry* entries, uint32_t* count) const {
    if (count == nullptr) {
        return kErrBadArgument;
    }
    std::vector<KOBALT_DunListEntry> all;
    for (const DunCountry& country : Database().countries) {
        all.push_back(MakeEntry(country.id, country.name));
    }
    return Fill(all, entries, count);
}

ResultCode ProviderLists::GetProvider(uint32_t countryId, KOBALT_DunListEntry* entries,
                                      uint32_t* count) const {
    if (count == nullptr) {
        return kErrBadArgument;
    }
    const ProviderDatabase& db = Database();
    if (db.FindCountry(countryId) == nullptr) {
        *count = 0;
        return kErrUnknownEntry;
    }
    std::vector<KOBALT_DunListEntry> all;
    for (const DunProvider& provider : db.providers) {
        if (provider.country == countryId) {
            all.push_back(MakeEntry(provider.id, provider.name));
        }
    }
    return Fill(all, entries, count);
}

ResultCode ProviderLists::GetParams(uint32_t providerId,
                                    KOBALT_WCHAR* const (&params)[kDunParamCount]) const {
    if (std::any_of(std::begin(params), std::end(params), [](auto* p) { return p == nullptr; })) {
        return kErrBadArgument;
    }
    const DunProvider* provider = Database().FindProvider(providerId);
    for (int i = 0; i < kDunParamCount; ++i) {
        CopyTerminated(provider == nullptr ? u"" : provider->params[i], params[i], kDunParamUnits);
    }
    return provider == nullptr ? kErrUnknownEntry : kOk;
}

std::optional<uint32_t>
ProviderLists::ProviderOf(const KOBALT_WCHAR* const (&params)[kDunParamCount]) const {
    std::array<std::u16string, kDunParamCount> given;
    for (int i = 0; i < kDunParamCount; ++i) {
        std::optional<std::u16string> value =
            params[i] == nullptr ? std::nullopt : ReadParam(params[i]);
        if (!value) {
            return std::nullopt;
        }
        given[i] = std::move(*value);
    }
    for (const DunProvider& provider : Database().providers) {
        if (provider.params == given) {
            return provider.id;
        }
    }
    return std::nullopt;
}

} // namespace kobalt::sim
