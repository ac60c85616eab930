#include "pim/RecordBuffer.h"

#include <cstdlib>

RecordBuffer::RecordBuffer(uint32_t count, std::size_t recordSize, LPCWSTR listing)
    : m_recordSize(recordSize) {
    if (count == 0)
        return;
    if (count > MaxPimRecords(recordSize)) {
        NKDbgPrintfW(u"[KOBALT][PIM]%s: count %u refused (at most %u records)\r\n", listing,
                     static_cast<unsigned>(count),
                     static_cast<unsigned>(MaxPimRecords(recordSize)));
        return;
    }
    m_data = std::calloc(count, recordSize);
    if (m_data == nullptr)
        NKDbgPrintfW(u"[KOBALT][PIM]%s: no memory for %u records\r\n", listing,
                     static_cast<unsigned>(count));
}

RecordBuffer::~RecordBuffer() {
    std::free(m_data);
}
