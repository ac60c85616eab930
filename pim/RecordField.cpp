#include "pim/RecordField.h"

#include <cstring>

CString ReadTextField(const void* record, std::size_t offset, std::size_t units) {
    // Unit by unit through memcpy, so the read needs no alignment and ends at the slot's end.
    const auto* slot = static_cast<const unsigned char*>(record) + offset;
    std::size_t length = 0;
    for (; length < units; ++length) {
        WCHAR unit;
        std::memcpy(&unit, slot + length * sizeof(WCHAR), sizeof unit);
        if (unit == 0)
            break;
    }
    if (length == 0)
        return CString();
    CString text;
    LPWSTR out = text.GetBuffer(static_cast<int>(length));
    std::memcpy(out, slot, length * sizeof(WCHAR));
    text.ReleaseBuffer(static_cast<int>(length));
    return text;
}
