#include "frontend/script/ScriptParser.h"

#include "frontend/common/ScriptText.h"

#include <charconv>
#include <cstdio>
#include <limits>
#include <optional>

namespace kobalt::script {

namespace {

constexpr int kMaxControlId = 65535;

// A line that cannot be parsed; caught per line, so that every faulty line is reported.
struct SyntaxError {
    std::string message;
};

struct Token {
    enum class Kind { Word, Text } kind;
    std::string word;    // a word as written
    std::u16string text; // a text with its escapes resolved
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Shown(const Token& token) {
    return token.kind == Token::Kind::Word ? "'" + token.word + "'" : Quoted(token.text);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

class Tokenizer {
public:
    explicit Tokenizer(std::string_view line) : m_line(line) {}

    std::vector<Token> Run() {
        std::vector<Token> tokens;
        for (;;) {
            while (m_pos < m_line.size() && IsBlank(m_line[m_pos])) {
                ++m_pos;
            }
            if (m_pos == m_line.size() || m_line[m_pos] == '#') {
                return tokens;
            }
            tokens.push_back(m_line[m_pos] == '"' ? ReadText() : ReadWord());
        }
    }

private:
    Token ReadWord() {
        const std::size_t start = m_pos;
        while (m_pos < m_line.size() && !IsBlank(m_line[m_pos]) && m_line[m_pos] != '#') {
            if (m_line[m_pos] == '"') {
                throw SyntaxError{"a quote inside the word '" +
                                  std::string(m_line.substr(start, m_pos - start)) +
                                  "'; put a blank before the text"};
            }
            ++m_pos;
        }
        return Token{Token::Kind::Word, std::string(m_line.substr(start, m_pos - start)), {}};
    }

    Token ReadText() {
        ++m_pos; // the opening quote
        std::u16string text;
        std::size_t runStart = m_pos; // start of the raw UTF-8 run not yet converted
        auto flushRun = [&] {
            // Runs end at ASCII characters, so each is whole UTF-8 (the line was checked).
            text += *Utf8ToUtf16(m_line.substr(runStart, m_pos - runStart));
        };
        for (;;) {
            if (m_pos == m_line.size()) {
                throw SyntaxError{"unterminated text: the closing quote is missing"};
            }
            const char c = m_line[m_pos];
            if (c == '"') {
                flushRun();
                ++m_pos;
                break;
            }
            if (c != '\\') {
                ++m_pos;
                continue;
            }
            flushRun();
            text += ReadEscape();
            runStart = m_pos;
        }
        if (m_pos < m_line.size() && !IsBlank(m_line[m_pos]) && m_line[m_pos] != '#') {
            throw SyntaxError{"expected a blank after the closing quote of " + Quoted(text)};
        }
        return Token{Token::Kind::Text, {}, std::move(text)};
    }

    // At a backslash: consumes the escape and returns the unit it stands for.
    char16_t ReadEscape() {
        ++m_pos;
        if (m_pos == m_line.size()) {
            throw SyntaxError{"unterminated text: the closing quote is missing"};
        }
        const char c = m_line[m_pos++];
        switch (c) {
        case '"':
            return u'"';
        case '\\':
            return u'\\';
        case 't':
            return u'\t';
        case 'r':
            return u'\r';
        case 'n':
            return u'\n';
        case 'x':
            return ReadHex(2, "\\x");
        case 'u':
            return ReadHex(4, "\\u");
        default:
            break;
        }
        std::string shown(1, c);
        if (static_cast<unsigned char>(c) >= 0x80) {
            shown = "a non-ASCII character";
        }
        throw SyntaxError{"unknown escape \\" + shown +
                          " (known: \\\" \\\\ \\t \\r \\n \\xNN \\uNNNN)"};
    }

    char16_t ReadHex(int digits, const char* name) {
        unsigned value = 0;
        for (int k = 0; k < digits; ++k) {
            const int d = m_pos < m_line.size() ? HexDigit(m_line[m_pos]) : -1;
            if (d < 0) {
                throw SyntaxError{std::string(name) + " needs " + std::to_string(digits) +
                                  " hexadecimal digits"};
            }
            value = value * 16 + static_cast<unsigned>(d);
            ++m_pos;
        }
        return static_cast<char16_t>(value);
    }

    std::string_view m_line;
    std::size_t m_pos = 0;
};

std::optional<std::int64_t> ToInteger(const std::string& word) {
    std::int64_t value = 0;
    const char* first = word.data();
    const char* last = word.data() + word.size();
    if (first != last && *first == '+') {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

// The arguments of one command, taken from left to right.
class Arguments {
public:
    Arguments(const std::vector<Token>& tokens, std::size_t first, std::string name)
        : m_tokens(tokens), m_pos(first), m_name(std::move(name)) {}

    bool AtEnd() const { return m_pos == m_tokens.size(); }

    std::string Word(const char* what) {
        const Token& token = Take(what);
        if (token.kind != Token::Kind::Word) {
            throw SyntaxError{m_name + ": expected " + what + ", found the text " +
                              Quoted(token.text)};
        }
        return token.word;
    }

    std::u16string Text(const char* what) {
        const Token& token = Take(what);
        if (token.kind != Token::Kind::Text) {
            throw SyntaxError{m_name + ": expected " + what + " in double quotes, found " +
                              Shown(token)};
        }
        return token.text;
    }

    ControlRef Control() {
        static constexpr const char* kWhat = "CONTROL (a control id or a caption in quotes)";
        const Token& token = Take(kWhat);
        if (token.kind == Token::Kind::Text) {
            return ControlRef{token.text};
        }
        const auto id = ToInteger(token.word);
        if (id && *id < 0) {
            throw SyntaxError{m_name + ": control id " + token.word +
                              " cannot be addressed; use the control's caption"};
        }
        if (!id || *id > kMaxControlId) {
            throw SyntaxError{m_name + ": expected " + kWhat + ", found " + Shown(token)};
        }
        return ControlRef{static_cast<int>(*id)};
    }

    std::int64_t Number(const char* what, std::int64_t minimum, std::int64_t maximum) {
        const std::string word = Word(what);
        const auto value = ToInteger(word);
        if (!value || *value < minimum || *value > maximum) {
            throw SyntaxError{m_name + ": expected " + what + " (" + std::to_string(minimum) +
                              " to " + std::to_string(maximum) + "), found '" + word + "'"};
        }
        return *value;
    }

    void End() {
        if (!AtEnd()) {
            throw SyntaxError{m_name + ": unexpected " + Shown(m_tokens[m_pos]) +
                              " after the command"};
        }
    }

    // Everything left, as written: texts in their quoted form.
    std::vector<std::string> Rest() {
        std::vector<std::string> words;
        for (; m_pos < m_tokens.size(); ++m_pos) {
            const Token& token = m_tokens[m_pos];
            words.push_back(token.kind == Token::Kind::Word ? token.word : Quoted(token.text));
        }
        return words;
    }

private:
    const Token& Take(const char* what) {
        if (AtEnd()) {
            throw SyntaxError{m_name + ": missing " + what};
        }
        return m_tokens[m_pos++];
    }

    const std::vector<Token>& m_tokens;
    std::size_t m_pos;
    std::string m_name;
};

void ParseExpectation(Command& command, Arguments& args) {
    const std::string what =
        args.Word("what to expect (window, box, caption, text, lines, selected, enabled, "
                  "disabled, checked, unchecked, debug, nodebug, audio or phone)");
    if (what == "window") {
        command.kind = CommandKind::ExpectWindow;
        command.texts.push_back(args.Text("the CAPTION"));
    } else if (what == "box") {
        command.kind = CommandKind::ExpectBox;
        command.texts.push_back(args.Text("the box's TEXT"));
        command.texts.push_back(args.Text("the box's CAPTION"));
    } else if (what == "caption") {
        command.kind = CommandKind::ExpectCaption;
        command.texts.push_back(args.Text("the main window's caption"));
    } else if (what == "text") {
        command.kind = CommandKind::ExpectText;
        command.control = args.Control();
        command.texts.push_back(args.Text("the TEXT"));
    } else if (what == "lines") {
        command.kind = CommandKind::ExpectLines;
        command.control = args.Control();
        while (!args.AtEnd()) {
            command.texts.push_back(args.Text("a LINE"));
        }
    } else if (what == "selected") {
        command.kind = CommandKind::ExpectSelected;
        command.control = args.Control();
        command.number = args.Number("INDEX", -1, std::numeric_limits<int>::max());
    } else if (what == "enabled" || what == "disabled" || what == "checked" ||
               what == "unchecked") {
        command.kind = CommandKind::ExpectState;
        command.condition = what == "enabled"    ? ControlCondition::Enabled
                            : what == "disabled" ? ControlCondition::Disabled
                            : what == "checked"  ? ControlCondition::Checked
                                                 : ControlCondition::Unchecked;
        command.control = args.Control();
    } else if (what == "debug" || what == "nodebug") {
        command.kind = what == "debug" ? CommandKind::ExpectDebug : CommandKind::ExpectNoDebug;
        command.texts.push_back(args.Text("the debug LINE"));
    } else if (what == "audio") {
        const std::string state = args.Word("on or off");
        if (state != "on" && state != "off") {
            throw SyntaxError{"expect audio: expected on or off, found '" + state + "'"};
        }
        command.kind = CommandKind::ExpectAudio;
        command.audio = state == "on" ? AudioState::On : AudioState::Off;
    } else if (what == "phone") {
        command.kind = CommandKind::ExpectPhone;
        command.texts.push_back(args.Text("the phone's LINE"));
    } else {
        throw SyntaxError{"expect: unknown expectation '" + what + "'"};
    }
    args.End();
}

Command ParseCommand(const std::vector<Token>& tokens) {
    const Token& first = tokens.front();
    if (first.kind != Token::Kind::Word) {
        throw SyntaxError{"a line starts with a command, not with the text " + Quoted(first.text)};
    }
    const std::string& name = first.word;
    Arguments args(tokens, 1, name);
    Command command;
    if (name == "press") {
        command.kind = CommandKind::Press;
        command.control = args.Control();
    } else if (name == "select") {
        command.kind = CommandKind::Select;
        command.control = args.Control();
        command.number = args.Number("INDEX", -1, std::numeric_limits<int>::max());
    } else if (name == "type") {
        command.kind = CommandKind::Type;
        command.control = args.Control();
        command.texts.push_back(args.Text("the TEXT"));
    } else if (name == "ok") {
        command.kind = CommandKind::Ok;
    } else if (name == "close") {
        command.kind = CommandKind::Close;
    } else if (name == "sleep") {
        command.kind = CommandKind::Sleep;
        // Below INFINITE, which would never return.
        command.number = args.Number("MS", 0, 0xFFFFFFFELL);
    } else if (name == "power") {
        const std::string action = args.Word("suspend or resume");
        if (action != "suspend" && action != "resume") {
            throw SyntaxError{"power: expected suspend or resume, found '" + action + "'"};
        }
        command.kind = CommandKind::Power;
        command.power = action == "suspend" ? PowerAction::Suspend : PowerAction::Resume;
    } else if (name == "dump") {
        command.kind = CommandKind::Dump;
    } else if (name == "expect") {
        ParseExpectation(command, args);
        return command;
    } else if (name == "phone") {
        command.kind = CommandKind::Phone;
        command.words = args.Rest();
        if (command.words.empty()) {
            throw SyntaxError{"phone: missing what the phone should do"};
        }
        return command;
    } else {
        throw SyntaxError{"unknown command '" + name + "'"};
    }
    args.End();
    return command;
}

// Raw control characters would be invisible in reports; escapes say the same plainly.
void CheckCharacters(std::string_view line) {
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
            char message[96];
            std::snprintf(message, sizeof message,
                          "control character 0x%02X in the line; write it as an escape", byte);
            throw SyntaxError{message};
        }
    }
    if (!Utf8ToUtf16(line)) {
        throw SyntaxError{"the line is not valid UTF-8"};
    }
}

std::string_view Trim(std::string_view line) {
    while (!line.empty() && IsBlank(line.front())) {
        line.remove_prefix(1);
    }
    while (!line.empty() && IsBlank(line.back())) {
        line.remove_suffix(1);
    }
    return line;
}

} // namespace

ParsedScript ParseScript(std::string_view text) {
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    ParsedScript script;
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        try {
            CheckCharacters(line);
            const std::vector<Token> tokens = Tokenizer(line).Run();
            if (tokens.empty()) {
                continue;
            }
            Command command = ParseCommand(tokens);
            command.line = number;
            command.source = std::string(Trim(line));
            script.commands.push_back(std::move(command));
        } catch (const SyntaxError& error) {
            script.errors.push_back(ParseError{number, error.message});
        }
    }
    return script;
}

std::string DescribeControl(const ControlRef& control) {
    if (const int* id = std::get_if<int>(&control.key)) {
        return std::to_string(*id);
    }
    return Quoted(std::get<std::u16string>(control.key));
}

} // namespace kobalt::script
