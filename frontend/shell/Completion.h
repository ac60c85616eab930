// Tab completion of a shell line: commands and their words, control captions, window captions
// and device addresses, from what the desktop shows.
#pragma once

#include "platform/Desktop.h"

#include <string>
#include <string_view>
#include <vector>

namespace kobalt::shell {

struct CompletionData {
    std::vector<std::string> extraCommands; // the shell's own commands besides the script's
    // As written in a script ("\"START\""): the active window's controls, then every other
    // window's, without repeats.
    std::vector<std::string> activeControls;
    std::vector<std::string> otherControls;
    std::vector<std::string> controlIds;     // the active window's control ids, in decimal
    std::vector<std::string> windowCaptions; // quoted, topmost first
    std::vector<std::string> addresses;      // "66:55:44:33:22:11" seen in any text or list line
};

// Reads captions, ids and addresses from a snapshot (taken with every list line wanted).
CompletionData GatherCompletionData(const desktop::Snapshot& snapshot);

// The same from the lines of a console's `dump` answer, which is all a shell attached to a
// console in another process sees of its desktop.
CompletionData GatherCompletionDataFromDump(const std::vector<std::string>& lines);

struct Completion {
    std::size_t wordStart = 0;           // the candidates replace the line from here on
    std::vector<std::string> candidates; // whole words, best first, no repeats
};

// The candidates for the word that ends `line` (the line up to the cursor).
Completion Complete(std::string_view line, const CompletionData& data);

// The longest beginning all candidates share.
std::string CommonPrefix(const std::vector<std::string>& candidates);

} // namespace kobalt::shell
