#include "frontend/shell/Completion.h"

#include "frontend/common/ScriptText.h"

#include <algorithm>
#include <cctype>
#include <span>

namespace kobalt::shell {

namespace {

using Words = std::vector<std::string>;
// Constant tables: the shell may run during static initialisation, before dynamic globals.
using Table = std::span<const std::string_view>;

constexpr std::string_view kCommands[] = {"press", "select", "type", "ok",     "close",
                                          "sleep", "power",  "dump", "expect", "phone"};
constexpr std::string_view kExpectWords[] = {
    "window",   "box",     "caption",   "text",  "lines",   "selected", "enabled",
    "disabled", "checked", "unchecked", "debug", "nodebug", "audio",    "phone"};
constexpr std::string_view kControlExpectations[] = {"text",     "lines",   "selected", "enabled",
                                                     "disabled", "checked", "unchecked"};
constexpr std::string_view kPhoneWords[] = {"help",
                                            "devices",
                                            "add-device",
                                            "remove-device",
                                            "range",
                                            "pair",
                                            "connect",
                                            "disconnect",
                                            "fail",
                                            "state",
                                            "log",
                                            "ring",
                                            "waiting",
                                            "accept",
                                            "hangup",
                                            "service",
                                            "signal",
                                            "battery",
                                            "roam",
                                            "text",
                                            "hold-events",
                                            "add-contact",
                                            "remove-contact",
                                            "push-contact",
                                            "pim-fail",
                                            "add-calllog",
                                            "clear-calllogs",
                                            "player",
                                            "answer",
                                            "signal-storm",
                                            "volume",
                                            "generate-contacts"};
// Phone commands whose next word is a device address.
constexpr std::string_view kPhoneAddressWords[] = {"remove-device", "range",      "pair",
                                                   "connect",       "disconnect", "player"};
// The services a link is made or dropped for (`connect`, `disconnect`), by the phone's names.
constexpr std::string_view kLinkServices[] = {"hf",        "a2dp", "internet",     "ftp",  "spp",
                                              "streaming", "nfc",  "avrcp-target", "avrcp"};

bool Contains(Table words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

bool Contains(const Words& words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

void AddOnce(Words& words, std::string word) {
    if (!Contains(words, word)) {
        words.push_back(std::move(word));
    }
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// The line's words up to the cursor; the last is the one being typed (empty after a blank).
// A quoted word keeps its quotes and escapes as typed.
Words SplitTyped(std::string_view line, std::size_t& lastStart) {
    Words words;
    std::string word;
    bool inWord = false;
    bool inQuote = false;
    bool escaped = false;
    lastStart = line.size();
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (!inWord) {
            if (c == ' ' || c == '\t') {
                continue;
            }
            inWord = true;
            lastStart = i;
        }
        if (inQuote) {
            word += c;
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inQuote = false;
            }
            continue;
        }
        if (c == ' ' || c == '\t') {
            words.push_back(std::move(word));
            word.clear();
            inWord = false;
            lastStart = line.size();
            continue;
        }
        if (c == '"') {
            inQuote = true;
        }
        word += c;
    }
    words.push_back(std::move(word));
    return words;
}

bool IsHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Addresses "XX:XX:XX:XX:XX:XX" anywhere in `text`.
void FindAddresses(std::string_view text, Words& addresses) {
    constexpr std::size_t kLength = 17;
    for (std::size_t i = 0; i + kLength <= text.size(); ++i) {
        bool match = (i == 0 || !IsHex(text[i - 1])) &&
                     (i + kLength == text.size() || !IsHex(text[i + kLength]));
        for (std::size_t k = 0; match && k < kLength; ++k) {
            match = k % 3 == 2 ? text[i + k] == ':' : IsHex(text[i + k]);
        }
        if (match) {
            AddOnce(addresses, std::string(text.substr(i, kLength)));
            i += kLength - 1;
        }
    }
}

void Offer(Table from, std::string_view typed, Words& out) {
    for (const std::string_view word : from) {
        if (StartsWithNoCase(word, typed)) {
            AddOnce(out, std::string(word));
        }
    }
}

void Offer(const Words& from, std::string_view typed, Words& out) {
    for (const std::string& word : from) {
        if (StartsWithNoCase(word, typed)) {
            AddOnce(out, word);
        }
    }
}

void OfferControls(const CompletionData& data, std::string_view typed, Words& out) {
    if (!typed.empty() && std::all_of(typed.begin(), typed.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        Offer(data.controlIds, typed, out);
        return;
    }
    const std::string quoted =
        typed.starts_with('"') ? std::string(typed) : '"' + std::string(typed);
    Offer(data.activeControls, quoted, out);
    if (out.empty()) {
        Offer(data.otherControls, quoted, out);
    }
}

void OfferAddresses(const CompletionData& data, std::string_view typed, Words& out) {
    const bool quoted = typed.starts_with('"');
    const std::string_view bare = quoted ? typed.substr(1) : typed;
    for (const std::string& address : data.addresses) {
        if (StartsWithNoCase(address, bare)) {
            AddOnce(out, quoted ? '"' + address + '"' : address);
        }
    }
}

bool LooksLikeAddress(std::string_view typed) {
    if (typed.starts_with('"')) {
        typed.remove_prefix(1);
    }
    return !typed.empty() &&
           std::all_of(typed.begin(), typed.end(), [](char c) { return IsHex(c) || c == ':'; });
}

// The quoted text that starts at `at` in a dump line, quotes and escapes kept as a script
// writes them; empty when none starts there or it is not closed.
std::string QuotedAt(std::string_view line, std::size_t at) {
    if (at >= line.size() || line[at] != '"') {
        return {};
    }
    bool escaped = false;
    for (std::size_t i = at + 1; i < line.size(); ++i) {
        if (escaped) {
            escaped = false;
        } else if (line[i] == '\\') {
            escaped = true;
        } else if (line[i] == '"') {
            return std::string(line.substr(at, i - at + 1));
        }
    }
    return {};
}

} // namespace

CompletionData GatherCompletionDataFromDump(const std::vector<std::string>& lines) {
    CompletionData data;
    bool active = false;
    for (const std::string& line : lines) {
        FindAddresses(line, data.addresses);
        // A window: `window "CAPTION" KIND [TEMPLATE] [active] [disabled]`.
        if (line.starts_with("window ")) {
            const std::string caption = QuotedAt(line, 7);
            if (caption.empty()) {
                active = false;
                continue;
            }
            AddOnce(data.windowCaptions, caption);
            const std::string_view rest = std::string_view(line).substr(7 + caption.size());
            active = rest.ends_with(" active") || rest.find(" active ") != std::string_view::npos;
            continue;
        }
        // A control: `  ID KIND "TEXT" STATE...`; deeper lines are list lines and columns.
        if (line.size() < 3 || !line.starts_with("  ") ||
            std::isdigit(static_cast<unsigned char>(line[2])) == 0) {
            continue;
        }
        const std::size_t idEnd = line.find(' ', 2);
        const std::size_t kindEnd = idEnd == std::string::npos ? idEnd : line.find(' ', idEnd + 1);
        if (kindEnd == std::string::npos) {
            continue;
        }
        const std::string text = QuotedAt(line, kindEnd + 1);
        if (text.size() > 2) {
            AddOnce(active ? data.activeControls : data.otherControls, text);
        }
        if (active && line.compare(2, idEnd - 2, "0") != 0) {
            AddOnce(data.controlIds, line.substr(2, idEnd - 2));
        }
    }
    std::erase_if(data.otherControls,
                  [&data](const std::string& text) { return Contains(data.activeControls, text); });
    return data;
}

CompletionData GatherCompletionData(const desktop::Snapshot& snapshot) {
    CompletionData data;
    for (const desktop::WindowView& window : snapshot.windows) {
        Words& controls = window.active ? data.activeControls : data.otherControls;
        AddOnce(data.windowCaptions, script::Quoted(window.caption));
        FindAddresses(script::Printable(window.caption), data.addresses);
        FindAddresses(script::Printable(window.text), data.addresses);
        for (const desktop::ControlView& control : window.controls) {
            if (!control.text.empty()) {
                AddOnce(controls, script::Quoted(control.text));
            }
            if (window.active && control.id > 0) {
                AddOnce(data.controlIds, std::to_string(control.id));
            }
            FindAddresses(script::Printable(control.text), data.addresses);
            for (const std::u16string& line : control.lines) {
                FindAddresses(script::Printable(line), data.addresses);
            }
        }
    }
    // A control of the active window is offered first, not again among the others.
    std::erase_if(data.otherControls,
                  [&data](const std::string& text) { return Contains(data.activeControls, text); });
    return data;
}

Completion Complete(std::string_view line, const CompletionData& data) {
    Completion completion;
    const Words words = SplitTyped(line, completion.wordStart);
    const std::string& typed = words.back();
    const std::size_t index = words.size() - 1;
    const std::string command = words.front();
    Words& out = completion.candidates;
    if (index == 0) {
        Offer(kCommands, typed, out);
        Offer(data.extraCommands, typed, out);
    } else if (command == "press" || command == "select" || command == "type") {
        if (index == 1) {
            OfferControls(data, typed, out);
        } else if (LooksLikeAddress(typed) || typed == "\"") {
            OfferAddresses(data, typed, out);
        }
    } else if (command == "expect") {
        if (index == 1) {
            Offer(kExpectWords, typed, out);
        } else if (index == 2 && Contains(kControlExpectations, words[1])) {
            OfferControls(data, typed, out);
        } else if (index == 2 && (words[1] == "window" || words[1] == "caption")) {
            const std::string quoted = typed.starts_with('"') ? typed : '"' + typed;
            Offer(data.windowCaptions, quoted, out);
        } else if (index == 2 && words[1] == "audio") {
            constexpr std::string_view kOnOff[] = {"on", "off"};
            Offer(kOnOff, typed, out);
        } else if (LooksLikeAddress(typed)) {
            OfferAddresses(data, typed, out);
        }
    } else if (command == "power" && index == 1) {
        constexpr std::string_view kPower[] = {"suspend", "resume"};
        Offer(kPower, typed, out);
    } else if (command == "phone") {
        if (index == 1) {
            Offer(kPhoneWords, typed, out);
        } else if (index == 2 && Contains(kPhoneAddressWords, words[1])) {
            OfferAddresses(data, typed, out);
        } else if (index == 3 && (words[1] == "connect" || words[1] == "disconnect")) {
            Offer(kLinkServices, typed, out);
        } else if (index == 2 && words[1] == "answer") {
            constexpr std::string_view kAnswerModes[] = {"auto", "manual"};
            Offer(kAnswerModes, typed, out);
        } else if (LooksLikeAddress(typed)) {
            OfferAddresses(data, typed, out);
        }
    } else if (LooksLikeAddress(typed)) {
        OfferAddresses(data, typed, out);
    }
    return completion;
}

std::string CommonPrefix(const std::vector<std::string>& candidates) {
    if (candidates.empty()) {
        return {};
    }
    std::string prefix = candidates.front();
    for (const std::string& candidate : candidates) {
        std::size_t n = 0;
        while (n < prefix.size() && n < candidate.size() && prefix[n] == candidate[n]) {
            ++n;
        }
        prefix.resize(n);
    }
    return prefix;
}

} // namespace kobalt::shell
