#include "ui/DeviceText.h"

CString FormatAddress(const BYTE* addr) {
    CString text;
    text.Format(u"%02X:%02X:%02X:%02X:%02X:%02X", addr[5], addr[4], addr[3], addr[2], addr[1],
                addr[0]);
    return text;
}

CString NameFromField(const KOBALT_WCHAR* field, int capacity) {
    int length = 0;
    while (length < capacity && field[length] != 0)
        ++length;
    return CString(field, length);
}
