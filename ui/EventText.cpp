#include "ui/EventText.h"

#include "sdk/EventReport.h"

#include <cstring>
#include <vector>

bool CopyEventText(LPARAM data, char (&buffer)[260]) {
    std::memset(buffer, 0, sizeof buffer);
    const char* text = reinterpret_cast<const char*>(data);
    if (text == nullptr)
        return false;
    std::size_t length = 0;
    while (length < sizeof buffer - 1 && text[length] != 0)
        ++length;
    std::memcpy(buffer, text, length);
    return true;
}

CString Utf8ToWide(const char* text, int capacity) {
    if (capacity <= 0)
        return CString();
    // Converted whole into a buffer of the needed size, then cut to what `capacity` holds.
    int needed = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (needed <= 0)
        return CString();
    std::vector<WCHAR> wide(static_cast<std::size_t>(needed));
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), needed);
    int length = needed - 1; // without the terminator
    if (length > capacity - 1) {
        length = capacity - 1;
        if (length > 0 && wide[static_cast<std::size_t>(length) - 1] >= 0xD800 &&
            wide[static_cast<std::size_t>(length) - 1] <= 0xDBFF)
            --length; // a high surrogate whose partner was cut off
    }
    return CString(wide.data(), length);
}

void ReportDialerStateEvent(WPARAM code, LPARAM data) {
    if (!kobalt::events::Observed())
        return;
    kobalt::events::HfData read;
    char text[260];
    if (data == 0) {
        read.kind = kobalt::events::HfDataKind::None;
    } else if (code == 17 || code == 18) {
        read.kind = kobalt::events::HfDataKind::Level;
        read.level = *reinterpret_cast<const BYTE*>(data);
    } else if ((code == 10 || code == 11 || code == 21 || code == 23) &&
               CopyEventText(data, text)) {
        read.kind = kobalt::events::HfDataKind::Text;
        read.text = text;
    } else {
        read.kind = kobalt::events::HfDataKind::Unread;
    }
    kobalt::events::ReportHandsFree(static_cast<uint32_t>(code), read);
}
