// The word syntax shared by world files and control commands.
//
// Words are separated by blanks (spaces, tabs). A text in double quotes is one word and may be
// empty or hold blanks; inside it \" \\ \t \r \n stand for a quote, a backslash, a tab, a
// carriage return and a line feed. '#' outside a text starts a comment that runs to the end of
// the line. Raw control characters are refused: they would be invisible where the line is
// shown, and the escapes say the same plainly.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

struct SplitResult {
    std::vector<std::string> words; // escapes resolved, quotes removed
    std::string problem;            // why the line is malformed; empty when it is not
};

SplitResult SplitWords(std::string_view line);

// `text` as a double-quoted word that SplitWords reads back as `text`.
std::string QuoteText(std::string_view text);

// `word` as it is when SplitWords reads it back unchanged, else quoted.
std::string QuoteIfNeeded(std::string_view word);

} // namespace kobalt::sim
