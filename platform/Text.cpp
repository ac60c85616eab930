// Code-page conversion (UTF-8 and Windows-1252) and wsprintfW.
#include "common/Utf8.h"
#include "platform/Format.h"
#include "platform/Windows.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <utility>

namespace kobalt::platform {
namespace {

constexpr UINT kCodePage1252 = 1252;
constexpr char16_t kReplacement = 0xFFFD;

enum class CodePage { Utf8, Windows1252, Unsupported };

CodePage Resolve(UINT codePage) {
    switch (codePage) {
    case CP_UTF8:
        return CodePage::Utf8;
    case CP_ACP:
    case kCodePage1252:
        return CodePage::Windows1252;
    default:
        return CodePage::Unsupported;
    }
}

// Windows-1252 bytes 0x80-0x9F. The five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control of the same value, as on Windows.
constexpr std::array<char16_t, 32> kHigh1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Decode1252(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kHigh1252[byte - 0x80] : char16_t{byte};
}

// The 1252 byte for a code point, or -1 when the code page has none.
int Encode1252(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return static_cast<int>(codePoint);
    }
    for (std::size_t i = 0; i < kHigh1252.size(); ++i) {
        if (kHigh1252[i] == codePoint) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

// Collects output units up to a capacity. With capacity 0 it only counts. A unit group (a
// surrogate pair, a UTF-8 sequence) is written whole or not at all, and nothing is ever written
// past the capacity.
template <class Unit> class Sink {
public:
    Sink(Unit* buffer, int capacity) : m_buffer(buffer), m_capacity(capacity) {}

    // False once the buffer is too small; the caller stops converting.
    bool Put(const Unit* units, int count) {
        if (m_capacity > 0) {
            if (count > m_capacity - m_count) {
                m_overflow = true;
                return false;
            }
            std::memcpy(m_buffer + m_count, units, sizeof(Unit) * static_cast<std::size_t>(count));
        }
        m_count += count;
        return true;
    }

    // The conversion's result: the units produced, or 0 with ERROR_INSUFFICIENT_BUFFER.
    int Result() const {
        if (m_overflow) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        return m_count;
    }

private:
    Unit* m_buffer;
    int m_capacity;
    int m_count = 0;
    bool m_overflow = false;
};

bool PutCodePoint(Sink<char16_t>& sink, char32_t codePoint) {
    if (codePoint < 0x10000) {
        const char16_t unit = static_cast<char16_t>(codePoint);
        return sink.Put(&unit, 1);
    }
    const char32_t offset = codePoint - 0x10000;
    const char16_t pair[2] = {static_cast<char16_t>(0xD800 + (offset >> 10)),
                              static_cast<char16_t>(0xDC00 + (offset & 0x3FF))};
    return sink.Put(pair, 2);
}

// Decodes UTF-8; each ill-formed piece becomes one U+FFFD (common::NextUtf8CodePoint).
void DecodeUtf8(const unsigned char* src, int length, Sink<char16_t>& sink) {
    const std::string_view text(reinterpret_cast<const char*>(src),
                                static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < text.size();) {
        if (!PutCodePoint(sink, common::NextUtf8CodePoint(text, i))) {
            return;
        }
    }
}

void Decode1252Bytes(const unsigned char* src, int length, Sink<char16_t>& sink) {
    for (int i = 0; i < length; ++i) {
        const char16_t unit = Decode1252(src[i]);
        if (!sink.Put(&unit, 1)) {
            return;
        }
    }
}

// Reads one code point from UTF-16; an unpaired surrogate reads as U+FFFD.
char32_t NextCodePoint(const char16_t* src, int length, int& i) {
    const char16_t unit = src[i++];
    if (unit >= 0xD800 && unit <= 0xDBFF && i < length && src[i] >= 0xDC00 && src[i] <= 0xDFFF) {
        return 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{src[i++]} - 0xDC00);
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) {
        return kReplacement;
    }
    return unit;
}

void EncodeUtf8(const char16_t* src, int length, Sink<char>& sink) {
    int i = 0;
    while (i < length) {
        const char32_t cp = NextCodePoint(src, length, i);
        char bytes[4];
        int count = 0;
        if (cp < 0x80) {
            bytes[count++] = static_cast<char>(cp);
        } else if (cp < 0x800) {
            bytes[count++] = static_cast<char>(0xC0 | (cp >> 6));
            bytes[count++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            bytes[count++] = static_cast<char>(0xE0 | (cp >> 12));
            bytes[count++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes[count++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            bytes[count++] = static_cast<char>(0xF0 | (cp >> 18));
            bytes[count++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            bytes[count++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes[count++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
        if (!sink.Put(bytes, count)) {
            return;
        }
    }
}

// A character outside the code page becomes the default character once per code point (a
// surrogate pair gives one).
void Encode1252Units(const char16_t* src, int length, Sink<char>& sink, char defaultChar,
                     bool& usedDefault) {
    int i = 0;
    while (i < length) {
        const int byte = Encode1252(NextCodePoint(src, length, i));
        char out = defaultChar;
        if (byte >= 0) {
            out = static_cast<char>(byte);
        } else {
            usedDefault = true;
        }
        if (!sink.Put(&out, 1)) {
            return;
        }
    }
}

bool ValidCounts(const void* src, int srcLength, const void* dst, int dstCapacity) {
    return src != nullptr && srcLength != 0 && srcLength >= -1 && dstCapacity >= 0 &&
           (dstCapacity == 0 || dst != nullptr);
}

} // namespace
} // namespace kobalt::platform

using namespace kobalt::platform;

// Flags are accepted and ignored: invalid input is always replaced, never refused.
int MultiByteToWideChar(UINT codePage, DWORD /*flags*/, LPCSTR src, int srcLength, LPWSTR dst,
                        int dstCapacity) {
    const CodePage page = Resolve(codePage);
    if (page == CodePage::Unsupported || !ValidCounts(src, srcLength, dst, dstCapacity)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int length = srcLength == -1 ? static_cast<int>(std::strlen(src)) + 1 : srcLength;
    const auto* bytes = reinterpret_cast<const unsigned char*>(src);
    Sink<char16_t> sink(dst, dstCapacity);
    if (page == CodePage::Utf8) {
        DecodeUtf8(bytes, length, sink);
    } else {
        Decode1252Bytes(bytes, length, sink);
    }
    return sink.Result();
}

// For CP_UTF8, defaultChar and usedDefaultChar must be null (as on Windows): every character has
// a UTF-8 form. For Windows-1252 the default character is defaultChar[0], or '?' when null.
int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, LPCWSTR src, int srcLength, LPSTR dst,
                        int dstCapacity, LPCSTR defaultChar, BOOL* usedDefaultChar) {
    const CodePage page = Resolve(codePage);
    if (page == CodePage::Unsupported || !ValidCounts(src, srcLength, dst, dstCapacity) ||
        (page == CodePage::Utf8 && (defaultChar != nullptr || usedDefaultChar != nullptr))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int length = srcLength;
    if (length == -1) {
        length = 1;
        while (src[length - 1] != 0) {
            ++length;
        }
    }
    Sink<char> sink(dst, dstCapacity);
    if (page == CodePage::Utf8) {
        EncodeUtf8(src, length, sink);
        return sink.Result();
    }
    bool usedDefault = false;
    Encode1252Units(src, length, sink, defaultChar != nullptr ? *defaultChar : '?', usedDefault);
    if (usedDefaultChar != nullptr) {
        *usedDefaultChar = usedDefault ? TRUE : FALSE;
    }
    return sink.Result();
}

// ---------------------------------------------------------------------------------------------
// wsprintfW
// ---------------------------------------------------------------------------------------------
namespace kobalt::platform {
namespace {

// Keeps at most kMaxFormattedLength - 1 characters and drops the rest.
class FormatOutput {
public:
    explicit FormatOutput(LPWSTR buffer) : m_buffer(buffer) {}

    void Put(char16_t unit) {
        if (m_count < kMaxFormattedLength - 1) {
            m_buffer[m_count++] = unit;
        }
    }
    void Repeat(char16_t unit, int count) {
        for (int i = 0; i < count; ++i) {
            Put(unit);
        }
    }
    int Finish() {
        m_buffer[m_count] = 0;
        return m_count;
    }

private:
    LPWSTR m_buffer;
    int m_count = 0;
};

struct FieldFormat {
    bool left = false;      // '-'
    bool zero = false;      // '0'
    bool plus = false;      // '+'
    bool space = false;     // ' '
    bool alternate = false; // '#': 0x before nonzero hex
    int width = 0;
    int precision = -1; // -1: none given
};

enum class Length { Default, Short, Long, LongLong };

// Reads a decimal field. Values are capped well above anything that fits the output, so absurd
// widths neither overflow nor change what is printed.
int ReadNumber(const char16_t*& p) {
    constexpr int kCap = 4 * kMaxFormattedLength;
    int value = 0;
    while (*p >= u'0' && *p <= u'9') {
        value = value * 10 + (*p++ - u'0');
        if (value > kCap) {
            value = kCap;
        }
    }
    return value;
}

void PutPadded(FormatOutput& out, const FieldFormat& field, const char16_t* prefix,
               int prefixLength, const char16_t* body, int bodyLength, bool zeroPadAllowed) {
    const int padding = field.width - prefixLength - bodyLength;
    const bool zeroPad = field.zero && !field.left && zeroPadAllowed;
    if (padding > 0 && !field.left && !zeroPad) {
        out.Repeat(u' ', padding);
    }
    for (int i = 0; i < prefixLength; ++i) {
        out.Put(prefix[i]);
    }
    if (padding > 0 && zeroPad) {
        out.Repeat(u'0', padding);
    }
    for (int i = 0; i < bodyLength; ++i) {
        out.Put(body[i]);
    }
    if (padding > 0 && field.left) {
        out.Repeat(u' ', padding);
    }
}

void PutInteger(FormatOutput& out, const FieldFormat& field, unsigned long long magnitude,
                bool negative, bool isSigned, int base, bool upper) {
    char16_t digits[kMaxFormattedLength + 24];
    int count = 0;
    const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    for (unsigned long long v = magnitude; v != 0; v /= static_cast<unsigned>(base)) {
        digits[count++] = static_cast<char16_t>(alphabet[v % static_cast<unsigned>(base)]);
    }
    // Precision is the minimum digit count; the default is one digit, and ".0" prints nothing
    // for zero.
    // Zeros beyond the output limit would be cut anyway.
    const int minimum = field.precision < 0 ? 1 : std::min(field.precision, kMaxFormattedLength);
    while (count < minimum) {
        digits[count++] = u'0';
    }
    for (int i = 0, j = count - 1; i < j; ++i, --j) {
        std::swap(digits[i], digits[j]);
    }
    char16_t prefix[2];
    int prefixLength = 0;
    if (isSigned && negative) {
        prefix[prefixLength++] = u'-';
    } else if (isSigned && field.plus) {
        prefix[prefixLength++] = u'+';
    } else if (isSigned && field.space) {
        prefix[prefixLength++] = u' ';
    } else if (base == 16 && field.alternate && magnitude != 0) {
        prefix[prefixLength++] = u'0';
        prefix[prefixLength++] = upper ? u'X' : u'x';
    }
    PutPadded(out, field, prefix, prefixLength, digits, count, field.precision < 0);
}

void PutWideString(FormatOutput& out, const FieldFormat& field, const char16_t* text) {
    if (text == nullptr) {
        text = u"(null)";
    }
    int length = 0;
    while (text[length] != 0 && (field.precision < 0 || length < field.precision)) {
        ++length;
    }
    PutPadded(out, field, nullptr, 0, text, length, true);
}

// Narrow strings are in the ANSI code page (Windows-1252).
void PutNarrowString(FormatOutput& out, const FieldFormat& field, const char* text) {
    if (text == nullptr) {
        PutWideString(out, field, nullptr);
        return;
    }
    char16_t wide[kMaxFormattedLength];
    int length = 0;
    while (text[length] != 0 && length < kMaxFormattedLength - 1 &&
           (field.precision < 0 || length < field.precision)) {
        wide[length] = Decode1252(static_cast<unsigned char>(text[length]));
        ++length;
    }
    PutPadded(out, field, nullptr, 0, wide, length, true);
}

} // namespace
} // namespace kobalt::platform

// Length modifiers follow the device, where long is 32 bits: "l" reads the same int as no
// modifier, "ll" a 64-bit value, "h" a short. With %c and %s, "h" (and %S) selects a narrow
// character or string, "l" and "w" a wide one. An unknown conversion prints its letter.
int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args) {
    if (buffer == nullptr) {
        return 0;
    }
    FormatOutput out(buffer);
    if (format == nullptr) {
        return out.Finish();
    }
    for (const char16_t* p = format; *p != 0;) {
        if (*p != u'%') {
            out.Put(*p++);
            continue;
        }
        ++p;
        FieldFormat field;
        for (;; ++p) {
            if (*p == u'-') {
                field.left = true;
            } else if (*p == u'0') {
                field.zero = true;
            } else if (*p == u'+') {
                field.plus = true;
            } else if (*p == u' ') {
                field.space = true;
            } else if (*p == u'#') {
                field.alternate = true;
            } else {
                break;
            }
        }
        field.width = ReadNumber(p);
        if (*p == u'.') {
            ++p;
            field.precision = ReadNumber(p);
        }
        Length length = Length::Default;
        if (*p == u'l' && p[1] == u'l') {
            length = Length::LongLong;
            p += 2;
        } else if (*p == u'l' || *p == u'w') {
            length = Length::Long;
            ++p;
        } else if (*p == u'h') {
            length = Length::Short;
            ++p;
        }
        const char16_t conversion = *p;
        if (conversion == 0) {
            break;
        }
        ++p;
        switch (conversion) {
        case u'd':
        case u'i': {
            long long value = length == Length::LongLong
                                  ? va_arg(args, long long)
                                  : static_cast<long long>(va_arg(args, int));
            if (length == Length::Short) {
                value = static_cast<short>(value);
            }
            const unsigned long long magnitude = value < 0
                                                     ? 0ull - static_cast<unsigned long long>(value)
                                                     : static_cast<unsigned long long>(value);
            PutInteger(out, field, magnitude, value < 0, true, 10, false);
            break;
        }
        case u'u':
        case u'x':
        case u'X': {
            unsigned long long value = length == Length::LongLong ? va_arg(args, unsigned long long)
                                                                  : va_arg(args, unsigned int);
            if (length == Length::Short) {
                value = static_cast<unsigned short>(value);
            }
            PutInteger(out, field, value, false, false, conversion == u'u' ? 10 : 16,
                       conversion == u'X');
            break;
        }
        case u'c':
        case u'C': {
            const int value = va_arg(args, int);
            const bool narrow =
                length == Length::Short || (conversion == u'C' && length != Length::Long);
            const char16_t unit = narrow ? Decode1252(static_cast<unsigned char>(value))
                                         : static_cast<char16_t>(value);
            PutPadded(out, field, nullptr, 0, &unit, 1, true);
            break;
        }
        case u's':
        case u'S':
            if (length == Length::Short || (conversion == u'S' && length != Length::Long)) {
                PutNarrowString(out, field, va_arg(args, const char*));
            } else {
                PutWideString(out, field, va_arg(args, const char16_t*));
            }
            break;
        default:
            out.Put(conversion);
            break;
        }
    }
    return out.Finish();
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    const int written = wvsprintfW(buffer, format, args);
    va_end(args);
    return written;
}
