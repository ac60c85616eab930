// The control commands the parser accepts are the ones kobalt-phone's man page and the command
// table of docs/phone.md list: a command added to the parser without its documentation, or a
// documented command the parser no longer knows, fails here.
#include "sim/control/ControlCommand.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace kobalt::sim {
namespace {

std::vector<std::string> FileLines(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in) << "cannot read " << path;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) {
        parts.push_back(part);
    }
    return parts;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// The commands a synopsis names: the first word of each comma-separated part, and alternatives
// written `connect | disconnect` right after it.
void AddNamed(const std::string& synopsis, std::set<std::string>& names) {
    for (const std::string& part : Split(synopsis, ',')) {
        const std::vector<std::string> words = Words(part);
        for (std::size_t i = 0; i < words.size(); i += 2) {
            names.insert(words[i]);
            if (i + 1 >= words.size() || words[i + 1] != "|") {
                break;
            }
        }
    }
}

// The commands of the man page: the item headers (the line after .TP or .TQ) of COMMANDS.
std::set<std::string> ManPageCommands(const std::string& path) {
    std::set<std::string> names;
    bool inCommands = false;
    bool header = false;
    for (const std::string& line : FileLines(path)) {
        if (line.starts_with(".SH")) {
            inCommands = line == ".SH COMMANDS";
            continue;
        }
        if (!inCommands) {
            continue;
        }
        if (line == ".TP" || line == ".TQ") {
            header = true;
            continue;
        }
        if (!header) {
            continue;
        }
        header = false;
        std::string text;
        // Without the font macro, font escapes, quotes and the roff minus escape.
        const std::size_t space = line.find(' ');
        const std::string args = space == std::string::npos ? "" : line.substr(space + 1);
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == '\\' && i + 2 < args.size() && args[i + 1] == 'f') {
                i += 2;
            } else if (args[i] == '\\' && i + 1 < args.size() && args[i + 1] == '-') {
                text += '-';
                ++i;
            } else if (args[i] != '"') {
                text += args[i];
            }
        }
        AddNamed(text, names);
    }
    return names;
}

// The commands of docs/phone.md's table under "| Command | Does |": the code spans of each
// row's first cell.
std::set<std::string> PhoneDocCommands(const std::string& path) {
    std::set<std::string> names;
    bool inTable = false;
    for (const std::string& line : FileLines(path)) {
        if (line.starts_with("| Command | Does |")) {
            inTable = true;
            continue;
        }
        if (inTable && !line.starts_with("|")) {
            break;
        }
        if (!inTable || line.starts_with("|---")) {
            continue;
        }
        const std::size_t end = line.find(" | ");
        const std::string cell = line.substr(1, end == std::string::npos ? end : end - 1);
        const std::vector<std::string> spans = Split(cell, '`');
        for (std::size_t i = 1; i < spans.size(); i += 2) {
            const std::vector<std::string> words = Words(spans[i]);
            if (!words.empty()) {
                names.insert(words.front());
            }
        }
    }
    return names;
}

std::set<std::string> ParserCommands() {
    std::set<std::string> names;
    for (const std::string_view name : ControlCommandNames()) {
        names.insert(std::string(name));
    }
    return names;
}

struct Document {
    const char* name;
    std::set<std::string> (*commands)(const std::string& path);
    const char* path;
};

void PrintTo(const Document& document, std::ostream* out) {
    *out << document.path;
}

class CommandDocs : public testing::TestWithParam<Document> {};

TEST_P(CommandDocs, ListExactlyTheCommandsTheParserAccepts) {
    const std::set<std::string> parser = ParserCommands();
    ASSERT_GT(parser.size(), 25u) << "the parser's table";
    const std::set<std::string> documented = GetParam().commands(GetParam().path);
    for (const std::string& name : parser) {
        EXPECT_TRUE(documented.contains(name)) << GetParam().path << " lacks " << name;
    }
    for (const std::string& name : documented) {
        EXPECT_TRUE(parser.contains(name))
            << GetParam().path << " lists " << name << ", which the parser does not know";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sim, CommandDocs,
    testing::Values(Document{"man", ManPageCommands, KOBALT_SOURCE_DIR "/docs/man/kobalt-phone.1"},
                    Document{"phone_md", PhoneDocCommands, KOBALT_SOURCE_DIR "/docs/phone.md"}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace kobalt::sim
