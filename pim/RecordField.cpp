#include "pim/RecordField.h"

#include <cstring>
#include <vector>

CString ReadTextField(const void* record, std::size_t offset, std::size_t units) {
    std::vector<WCHAR> slot(units);
    std::memcpy(slot.data(), static_cast<const unsigned char*>(record) + offset,
                units * sizeof(WCHAR));
    std::size_t length = 0;
    while (length < units && slot[length] != 0)
        ++length;
    return CString(slot.data(), static_cast<int>(length));
}
