// The operator script parser and its text conversions: any bytes as a script file.
//
// Checks: the strict UTF-8 decoder agrees with a plain re-encoding of what it returns, printed
// texts carry no control characters, and every command keeps the line it came from.

#include "FuzzCheck.h"
#include "frontend/common/ScriptText.h"
#include "frontend/common/Utf8.h"
#include "frontend/script/ScriptParser.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// UTF-16 (valid pairs only) back to UTF-8.
std::string Encode(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        kobalt::frontend::AppendUtf8(out, c);
    }
    return out;
}

void CheckPrintable(const std::string& text) {
    for (unsigned char c : text)
        FUZZ_CHECK(c >= 0x20 && c != 0x7F);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    using namespace kobalt::script;

    if (auto wide = Utf8ToUtf16(text)) {
        FUZZ_CHECK(Encode(*wide) == text);
        CheckPrintable(Printable(*wide));
    }
    // Any UTF-16, unpaired surrogates included, prints as text without control characters.
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i + 1 < size; i += 2)
        units[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    CheckPrintable(Printable(units));
    CheckPrintable(Quoted(units));

    ParsedScript script = ParseScript(text);
    int lastLine = 0;
    for (const Command& command : script.commands) {
        FUZZ_CHECK(command.line > lastLine);
        lastLine = command.line;
        CheckPrintable(DescribeControl(command.control));
        for (const std::u16string& t : command.texts)
            CheckPrintable(Quoted(t));
    }
    for (const ParseError& error : script.errors)
        FUZZ_CHECK(error.line >= 1);
    return 0;
}
