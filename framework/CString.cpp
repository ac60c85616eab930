#include "framework/CString.h"

#include "platform/Format.h"

#include <algorithm>

namespace {
std::u16string_view View(LPCWSTR text) {
    return text ? std::u16string_view(text) : std::u16string_view();
}

constexpr int kFormatCapacity = kobalt::platform::kMaxFormattedLength;
} // namespace

CString::CString(LPCWSTR text) : m_text(View(text)) {}

CString::CString(LPCWSTR text, int length) {
    if (text && length > 0) {
        m_text.assign(text, static_cast<std::size_t>(length));
    }
}

CString::CString(WCHAR ch, int repeat) {
    if (repeat > 0) {
        m_text.assign(static_cast<std::size_t>(repeat), ch);
    }
}

CString& CString::operator=(LPCWSTR text) {
    m_text = View(text);
    return *this;
}

CString& CString::operator+=(const CString& text) {
    m_text += text.m_text;
    return *this;
}

CString& CString::operator+=(LPCWSTR text) {
    m_text += View(text);
    return *this;
}

CString& CString::operator+=(WCHAR ch) {
    m_text += ch;
    return *this;
}

int CString::Find(LPCWSTR sub, int start) const {
    if (start < 0 || start > GetLength()) {
        return -1;
    }
    const std::size_t at = m_text.find(View(sub), static_cast<std::size_t>(start));
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(WCHAR ch, int start) const {
    if (start < 0 || start > GetLength()) {
        return -1;
    }
    const std::size_t at = m_text.find(ch, static_cast<std::size_t>(start));
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

void CString::FormatV(LPCWSTR format, va_list args) {
    WCHAR buffer[kFormatCapacity] = {};
    const int written = wvsprintfW(buffer, format ? format : u"", args);
    m_text.assign(buffer, static_cast<std::size_t>(std::clamp(written, 0, kFormatCapacity - 1)));
}

void CString::FormatArgs(LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

LPWSTR CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) {
        m_text.resize(static_cast<std::size_t>(minLength));
    }
    return m_text.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) {
        newLength = static_cast<int>(std::char_traits<WCHAR>::length(m_text.c_str()));
    }
    m_text.resize(static_cast<std::size_t>(std::min(newLength, GetLength())));
}

bool operator==(const CString& a, LPCWSTR b) {
    return std::u16string_view(a.m_text) == View(b);
}

CString operator+(const CString& a, const CString& b) {
    CString result(a);
    result += b;
    return result;
}

CString operator+(const CString& a, LPCWSTR b) {
    CString result(a);
    result += b;
    return result;
}

CString operator+(LPCWSTR a, const CString& b) {
    CString result(a);
    result += b;
    return result;
}
