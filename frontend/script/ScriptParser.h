// The operator script language: one command a line, parsed into commands before anything runs.
//
//   press CONTROL            select CONTROL INDEX       type CONTROL "TEXT"
//   ok                       close                      sleep MS
//   power suspend|resume     dump
//   expect window "CAPTION"          expect box "TEXT" "CAPTION"     expect caption "TEXT"
//   expect text CONTROL "TEXT"       expect lines CONTROL "LINE"...  expect selected CONTROL INDEX
//   expect enabled|disabled|checked|unchecked CONTROL
//   expect debug "LINE"              expect nodebug "LINE"           expect audio on|off
//   phone WORD...                    expect phone "LINE"
//
// CONTROL is a control id in decimal or a caption in double quotes. Texts take the escapes \",
// \\, \t, \r, \n, \xNN (U+00NN) and \uNNNN (one UTF-16 unit). '#' outside a text starts a
// comment.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kobalt::script {

// A control of the target window: by id, or by its current text.
struct ControlRef {
    std::variant<int, std::u16string> key;

    bool operator==(const ControlRef&) const = default;
};

enum class CommandKind {
    Press,
    Select,
    Type,
    Ok,
    Close,
    Sleep,
    Power,
    Dump,
    ExpectWindow,
    ExpectBox,
    ExpectCaption,
    ExpectText,
    ExpectLines,
    ExpectSelected,
    ExpectState,
    ExpectDebug,
    ExpectNoDebug,
    ExpectAudio,
    Phone,
    ExpectPhone,
};

enum class ControlCondition { Enabled, Disabled, Checked, Unchecked };
enum class PowerAction { Suspend, Resume };
enum class AudioState { On, Off };

// One command. Only the fields its kind uses are meaningful.
struct Command {
    CommandKind kind = CommandKind::Dump;
    int line = 0;       // 1-based line in the script
    std::string source; // the line as written, without surrounding blanks
    ControlRef control;
    // Texts in written order: type's text, a caption, box text then caption, the lines, a debug
    // or phone line.
    std::vector<std::u16string> texts;
    std::int64_t number = 0; // select and expect selected: index (-1 none); sleep: milliseconds
    ControlCondition condition = ControlCondition::Enabled;
    PowerAction power = PowerAction::Suspend;
    AudioState audio = AudioState::Off;
    std::vector<std::string> words; // phone: its arguments as written
};

struct ParseError {
    int line = 0;
    std::string message;
};

struct ParsedScript {
    std::vector<Command> commands;
    std::vector<ParseError> errors; // one per faulty line, in line order; empty when usable
};

ParsedScript ParseScript(std::string_view text);

// "1000" or "\"START\"", as the control would be written in a script.
std::string DescribeControl(const ControlRef& control);

} // namespace kobalt::script
