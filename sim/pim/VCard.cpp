#include "sim/pim/VCard.h"

#include "sim/Status.h"
#include "sim/world/Utf16.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace kobalt::sim {
namespace {

struct Malformed {
    int line;
    std::string problem;
};

// One property after unfolding, with the physical line it starts on.
struct LogicalLine {
    int number = 0;
    std::string text;
};

std::string Upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    });
    return out;
}

// The position of the ':' that ends the name and parameters; quoted parameter values may hold
// one.
std::size_t ValueColon(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == ':' && !quoted) {
            return i;
        }
    }
    return std::string_view::npos;
}

bool IsQuotedPrintable(std::string_view line) {
    const std::size_t colon = ValueColon(line);
    return colon != std::string_view::npos &&
           Upper(line.substr(0, colon)).find("QUOTED-PRINTABLE") != std::string::npos;
}

// Folded lines (3.0 and 2.1) and quoted-printable soft line breaks joined.
std::vector<LogicalLine> Unfold(std::string_view text) {
    std::vector<LogicalLine> lines;
    int number = 0;
    bool softBreak = false; // the line before ended in a quoted-printable '='
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (softBreak) {
            lines.back().text += line;
        } else if (!lines.empty() && !line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            lines.back().text += line.substr(1);
        } else if (!line.empty()) {
            lines.push_back({number, std::string(line)});
        } else {
            continue;
        }
        softBreak = IsQuotedPrintable(lines.back().text) && lines.back().text.ends_with('=');
        if (softBreak) {
            lines.back().text.pop_back();
        }
    }
    return lines;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::optional<std::string> DecodeQuotedPrintable(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '=') {
            out += value[i];
            continue;
        }
        if (i + 2 >= value.size()) {
            return std::nullopt;
        }
        const int high = HexDigit(value[i + 1]);
        const int low = HexDigit(value[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    for (const char c : text) {
        AppendUtf8(out, static_cast<unsigned char>(c)); // Latin-1 bytes are U+0000-U+00FF
    }
    return out;
}

// 3.0's escapes resolved; the value split at unescaped ';' (N's components).
std::vector<std::string> Components(std::string_view value);

// 3.0's escapes resolved in a single-valued text (FN, TEL).
std::string Unescaped(std::string_view value) {
    const std::vector<std::string> parts = Components(value);
    std::string text = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i) {
        text += ";" + parts[i];
    }
    return text;
}

std::vector<std::string> Components(std::string_view value) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            parts.back() += next == 'n' || next == 'N' ? ' ' : next;
        } else if (c == ';') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

std::string Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

struct Property {
    std::string name;               // upper case, without its group
    std::vector<std::string> types; // upper case
    std::string encoding;           // upper case; empty for none
    std::string charset;            // upper case; empty for none
    std::string value;              // as written
};

// Problems are returned rather than thrown: most inputs a fuzzer or a broken phone export
// produces are malformed, and an exception per input costs more than the parse.
Result<Property> Split(const LogicalLine& line) {
    const std::size_t colon = ValueColon(line.text);
    if (colon == std::string::npos) {
        return Status::Error("no ':' between the property and its value");
    }
    Property property;
    property.value = line.text.substr(colon + 1);
    std::vector<std::string> params;
    std::string_view head = std::string_view(line.text).substr(0, colon);
    while (true) {
        const std::size_t semi = head.find(';');
        params.emplace_back(head.substr(0, semi));
        if (semi == std::string_view::npos) {
            break;
        }
        head.remove_prefix(semi + 1);
    }
    property.name = Upper(params.front());
    if (const std::size_t dot = property.name.rfind('.'); dot != std::string::npos) {
        property.name.erase(0, dot + 1);
    }
    for (std::size_t i = 1; i < params.size(); ++i) {
        const std::string param = Upper(params[i]);
        const std::size_t equals = param.find('=');
        const std::string key = equals == std::string::npos ? "" : Trimmed(param.substr(0, equals));
        std::string value = equals == std::string::npos ? Trimmed(param) : param.substr(equals + 1);
        std::erase(value, '"');
        if (key == "ENCODING" || (key.empty() && (value == "QUOTED-PRINTABLE" ||
                                                  value == "BASE64" || value == "8BIT"))) {
            property.encoding = value;
        } else if (key == "CHARSET") {
            property.charset = value;
        } else if (key == "TYPE" || key.empty()) {
            std::size_t start = 0;
            while (start <= value.size()) {
                const std::size_t comma = std::min(value.find(',', start), value.size());
                property.types.push_back(Trimmed(value.substr(start, comma - start)));
                start = comma + 1;
            }
        }
    }
    return property;
}

// The property's value as UTF-8 text; none when it is in an encoding or charset not read. An
// error when it is malformed.
Result<std::optional<std::string>> DecodedValue(const Property& property) {
    std::string value = property.value;
    if (property.encoding == "QUOTED-PRINTABLE") {
        std::optional<std::string> decoded = DecodeQuotedPrintable(value);
        if (!decoded) {
            return Status::Error("bad quoted-printable escape");
        }
        value = std::move(*decoded);
    } else if (!property.encoding.empty() && property.encoding != "8BIT") {
        return std::optional<std::string>();
    }
    if (property.charset == "ISO-8859-1" || property.charset == "LATIN1") {
        value = Latin1ToUtf8(value);
    } else if (!property.charset.empty() && property.charset != "UTF-8") {
        return std::optional<std::string>();
    }
    const std::optional<std::u16string> wide = Utf8ToUtf16(value);
    if (!wide) {
        return Status::Error(property.name + " is not valid UTF-8");
    }
    // Refused as a raw control character in a world-file text is: it would act on whatever
    // terminal or window later shows the name.
    for (const char16_t unit : *wide) {
        if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F)) {
            char code[8];
            std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(unit));
            return Status::Error(property.name + " holds the control character U+" + code);
        }
    }
    return std::optional<std::string>(std::move(value));
}

bool Has(const std::vector<std::string>& types, std::string_view type) {
    return std::find(types.begin(), types.end(), type) != types.end();
}

// A card being read.
struct Card {
    int begin = 0; // line of its BEGIN:VCARD
    std::string formatted;
    std::string structured;
    ContactFields fields;

    void AddNumber(const std::vector<std::string>& types, std::string number) {
        if (Has(types, "FAX") || Has(types, "PAGER")) {
            return;
        }
        if (number.starts_with("tel:") || number.starts_with("TEL:")) {
            number.erase(0, 4);
        }
        std::string* slot = nullptr;
        if (Has(types, "CELL")) {
            slot = &fields.cell;
        } else if (Has(types, "HOME")) {
            slot = &fields.home;
        } else if (Has(types, "WORK")) {
            slot = &fields.work;
        } else {
            for (std::string* free : {&fields.cell, &fields.home, &fields.work}) {
                if (slot == nullptr && free->empty()) {
                    slot = free;
                }
            }
        }
        if (slot != nullptr && slot->empty()) {
            *slot = Trimmed(number);
        }
    }
};

std::string StructuredName(std::string_view value) {
    const std::vector<std::string> parts = Components(value);
    const auto part = [&](std::size_t i) { return i < parts.size() ? Trimmed(parts[i]) : ""; };
    std::string name;
    for (const std::string& piece : {part(3), part(1), part(2), part(0), part(4)}) {
        if (!piece.empty()) {
            name += (name.empty() ? "" : " ") + piece;
        }
    }
    return name;
}

// An FN, N or TEL property into the card.
Status ReadText(const Property& property, Card& card) {
    const Result<std::optional<std::string>> decoded = DecodedValue(property);
    if (!decoded.Ok() || !decoded.Value()) {
        return decoded.Ok() ? Status() : decoded.Error();
    }
    const std::string& text = **decoded;
    if (property.name == "FN") {
        card.formatted = Trimmed(Unescaped(text));
    } else if (property.name == "N") {
        card.structured = StructuredName(text);
    } else {
        card.AddNumber(property.types, Unescaped(text));
    }
    return {};
}

// Reads vCards property by property; a malformed one ends the reading.
class VCardReader {
public:
    explicit VCardReader(std::size_t maxContacts) : m_maxContacts(maxContacts) {}

    // What the property on `line` does to the card being read, or why it is malformed.
    std::optional<Malformed> Read(const LogicalLine& line) {
        const Result<Property> property = Split(line);
        if (!property.Ok()) {
            return Malformed{line.number, property.Error().Message()};
        }
        const std::string value = Upper(Trimmed(property->value));
        if (property->name == "BEGIN") {
            return Begin(*property, value, line.number);
        }
        if (!m_card) {
            return Malformed{line.number, property->name + " outside BEGIN:VCARD ... END:VCARD"};
        }
        if (property->name == "END") {
            return End(*property, value, line.number);
        }
        Status read;
        if (property->name == "VERSION" && value != "2.1" && value != "3.0" && value != "4.0") {
            read = Status::Error("unsupported vCard version " + property->value);
        } else if (property->name == "FN" || property->name == "N" || property->name == "TEL") {
            read = ReadText(*property, *m_card);
        }
        return read.Ok() ? std::nullopt : std::optional(Malformed{line.number, read.Message()});
    }

    // After the last line: the contacts, or why the text is malformed.
    std::optional<Malformed> Finish() const {
        if (m_card) {
            return Malformed{m_card->begin, "BEGIN:VCARD without END:VCARD"};
        }
        return std::nullopt;
    }

    std::vector<ContactFields>& Contacts() { return m_contacts; }

private:
    std::optional<Malformed> Begin(const Property& property, const std::string& value, int line) {
        if (value != "VCARD") {
            return Malformed{line, "BEGIN:" + property.value + " is not a vCard"};
        }
        if (m_card) {
            return Malformed{line, "BEGIN:VCARD inside a vCard"};
        }
        m_card = Card{line, {}, {}, {}};
        return std::nullopt;
    }

    std::optional<Malformed> End(const Property& property, const std::string& value, int line) {
        if (value != "VCARD") {
            return Malformed{line, "END:" + property.value + " inside a vCard"};
        }
        if (m_contacts.size() >= m_maxContacts) {
            return Malformed{m_card->begin,
                             "more than " + std::to_string(m_maxContacts) + " contacts"};
        }
        m_card->fields.name = !m_card->formatted.empty() ? m_card->formatted : m_card->structured;
        m_contacts.push_back(std::move(m_card->fields));
        m_card.reset();
        return std::nullopt;
    }

    std::size_t m_maxContacts;
    std::optional<Card> m_card; // the one being read
    std::vector<ContactFields> m_contacts;
};

} // namespace

VCardParse ParseVCards(std::string_view text, std::size_t maxContacts) {
    VCardReader reader(maxContacts);
    std::optional<Malformed> malformed;
    for (const LogicalLine& line : Unfold(text)) {
        malformed = reader.Read(line);
        if (malformed) {
            break;
        }
    }
    if (!malformed) {
        malformed = reader.Finish();
    }
    VCardParse result;
    if (malformed) {
        result.line = malformed->line;
        result.problem = std::move(malformed->problem);
    } else {
        result.contacts = std::move(reader.Contacts());
    }
    return result;
}

} // namespace kobalt::sim
