#include "sim/world/Words.h"

#include "sim/Status.h"

#include <cstdio>

namespace kobalt::sim {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

Status ControlProblem(char c) {
    char text[64];
    std::snprintf(text, sizeof text, "control character 0x%02X; write it as an escape",
                  static_cast<unsigned char>(c));
    return Status::Error(text);
}

// What the escape `\e` in a text stands for.
Result<char> Unescaped(char e) {
    switch (e) {
    case '"':
    case '\\':
        return e;
    case 't':
        return '\t';
    case 'r':
        return '\r';
    case 'n':
        return '\n';
    default:
        return Status::Error(std::string("unknown escape \\") + (IsControl(e) ? '?' : e) +
                             " (known: \\\" \\\\ \\t \\r \\n)");
    }
}

// The text whose opening quote is before `i`; `i` ends after its closing quote, which must be
// followed by a blank, a comment or the end of the line.
Result<std::string> ReadQuoted(std::string_view line, std::size_t& i) {
    std::string text;
    while (true) {
        if (i >= line.size()) {
            return Status::Error("text without its closing quote");
        }
        const char t = line[i++];
        if (t == '"') {
            break;
        }
        if (IsControl(t)) {
            return ControlProblem(t);
        }
        if (t != '\\') {
            text += t;
            continue;
        }
        if (i >= line.size()) {
            return Status::Error("text without its closing quote");
        }
        const Result<char> unescaped = Unescaped(line[i++]);
        if (!unescaped.Ok()) {
            return unescaped.Error();
        }
        text += *unescaped;
    }
    if (i < line.size() && !IsBlank(line[i]) && line[i] != '#') {
        return Status::Error("a blank must follow the closing quote");
    }
    return text;
}

// The unquoted word at `i`, up to a blank, a comment or the end of the line.
Result<std::string> ReadBare(std::string_view line, std::size_t& i) {
    std::string word;
    while (i < line.size() && !IsBlank(line[i]) && line[i] != '#') {
        if (IsControl(line[i])) {
            return ControlProblem(line[i]);
        }
        if (line[i] == '"') {
            return Status::Error("a quote inside a word; quote the whole word");
        }
        word += line[i++];
    }
    return word;
}

} // namespace

SplitResult SplitWords(std::string_view line) {
    SplitResult result;
    std::size_t i = 0;
    while (i < line.size() && line[i] != '#') {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        const bool quoted = line[i] == '"';
        i += quoted ? 1 : 0;
        Result<std::string> word = quoted ? ReadQuoted(line, i) : ReadBare(line, i);
        if (!word.Ok()) {
            return {{}, word.Error().Message()};
        }
        result.words.push_back(std::move(word).Value());
    }
    return result;
}

std::string QuoteText(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string QuoteIfNeeded(std::string_view word) {
    bool plain = !word.empty();
    for (const char c : word) {
        plain = plain && !IsBlank(c) && !IsControl(c) && c != '"' && c != '\\' && c != '#';
    }
    return plain ? std::string(word) : QuoteText(word);
}

} // namespace kobalt::sim
