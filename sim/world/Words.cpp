#include "sim/world/Words.h"

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

std::string ControlProblem(char c) {
    char text[64];
    std::snprintf(text, sizeof text, "control character 0x%02X; write it as an escape",
                  static_cast<unsigned char>(c));
    return text;
}

} // namespace

SplitResult SplitWords(std::string_view line) {
    SplitResult result;
    std::size_t i = 0;
    const auto fail = [&](std::string problem) {
        result.words.clear();
        result.problem = std::move(problem);
        return result;
    };
    while (i < line.size()) {
        const char c = line[i];
        if (IsBlank(c)) {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::string text;
            ++i;
            while (true) {
                if (i >= line.size()) {
                    return fail("text without its closing quote");
                }
                const char t = line[i++];
                if (t == '"') {
                    break;
                }
                if (IsControl(t)) {
                    return fail(ControlProblem(t));
                }
                if (t != '\\') {
                    text += t;
                    continue;
                }
                if (i >= line.size()) {
                    return fail("text without its closing quote");
                }
                switch (const char e = line[i++]) {
                case '"':
                case '\\':
                    text += e;
                    break;
                case 't':
                    text += '\t';
                    break;
                case 'r':
                    text += '\r';
                    break;
                case 'n':
                    text += '\n';
                    break;
                default:
                    return fail(std::string("unknown escape \\") + (IsControl(e) ? '?' : e) +
                                " (known: \\\" \\\\ \\t \\r \\n)");
                }
            }
            if (i < line.size() && !IsBlank(line[i]) && line[i] != '#') {
                return fail("a blank must follow the closing quote");
            }
            result.words.push_back(std::move(text));
        } else {
            std::string word;
            while (i < line.size() && !IsBlank(line[i]) && line[i] != '#') {
                if (IsControl(line[i])) {
                    return fail(ControlProblem(line[i]));
                }
                if (line[i] == '"') {
                    return fail("a quote inside a word; quote the whole word");
                }
                word += line[i++];
            }
            result.words.push_back(std::move(word));
        }
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
