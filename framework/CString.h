// The framework's wide string: UTF-16 text with the device's formatting.
#pragma once

#include "platform/Windows.h"

#include <cstdarg>
#include <string>
#include <type_traits>

class CString;

namespace kobalt::framework::detail {
// Arguments of CString::Format go through C varargs; a CString becomes its LPCWSTR there, so
// `Format(u"%s", str)` works without a cast.
LPCWSTR FormatArg(const CString& value);
inline LPCWSTR FormatArg(const std::u16string& value) {
    return value.c_str();
}
template <class T>
requires std::is_trivially_copyable_v<T> T FormatArg(T value) {
    return value;
}
} // namespace kobalt::framework::detail

class CString {
public:
    CString() = default;
    CString(LPCWSTR text);             // null is the empty string
    CString(LPCWSTR text, int length); // the first `length` characters
    explicit CString(WCHAR ch, int repeat = 1);
    explicit CString(std::u16string text) : m_text(std::move(text)) {}

    CString& operator=(LPCWSTR text);
    CString& operator+=(const CString& text);
    CString& operator+=(LPCWSTR text);
    CString& operator+=(WCHAR ch);

    int GetLength() const { return static_cast<int>(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty() ? TRUE : FALSE; }
    void Empty() { m_text.clear(); }
    WCHAR GetAt(int index) const { return m_text.at(static_cast<std::size_t>(index)); }
    WCHAR operator[](int index) const { return GetAt(index); }

    // Index of the first occurrence at or after `start`, or -1.
    int Find(LPCWSTR sub, int start = 0) const;
    int Find(WCHAR ch, int start = 0) const;

    // Replaces the contents with the formatted text (wsprintfW: %d %i %u %x %X %s %c %%, %s
    // takes a wide string). The device's formatter stops at 1023 characters.
    template <class... Args> void Format(LPCWSTR format, const Args&... args) {
        FormatArgs(format, kobalt::framework::detail::FormatArg(args)...);
    }
    void FormatV(LPCWSTR format, va_list args);

    // A writable buffer of at least `minLength` characters plus a terminator; the contents stay
    // as they were. ReleaseBuffer then takes the first `newLength` characters, or (-1) up to
    // the first NUL.
    LPWSTR GetBuffer(int minLength = 0);
    void ReleaseBuffer(int newLength = -1);

    LPCWSTR GetString() const { return m_text.c_str(); }
    operator LPCWSTR() const { return m_text.c_str(); }
    const std::u16string& str() const { return m_text; }

    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, LPCWSTR b);

private:
    void FormatArgs(LPCWSTR format, ...);

    std::u16string m_text;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, LPCWSTR b);
CString operator+(LPCWSTR a, const CString& b);

inline LPCWSTR kobalt::framework::detail::FormatArg(const CString& value) {
    return value.GetString();
}
