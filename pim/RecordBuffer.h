// The buffer a listing of phone records is fetched into.
#pragma once

#include "platform/Windows.h"

#include <cstddef>
#include <cstdint>

// The most records a contact, pushed-contact or call-log listing takes from the SDK: far more
// than any phone holds. A larger count is refused (and said so on the debug output) rather
// than trusted to size an allocation.
inline constexpr uint32_t kMaxPimRecords = 1u << 20;
// The most bytes one listing's buffer takes: a count within kMaxPimRecords of the 5610-byte
// pushed-contact records would otherwise ask for almost 6 GB.
inline constexpr std::size_t kMaxPimBytes = std::size_t{512} << 20;

// The most records of `recordSize` bytes a listing takes.
constexpr uint32_t MaxPimRecords(std::size_t recordSize) {
    const std::size_t byBytes = kMaxPimBytes / recordSize;
    return byBytes < kMaxPimRecords ? static_cast<uint32_t>(byBytes) : kMaxPimRecords;
}

// A zero-filled buffer of `count` records from the C allocator, freed on every path. Empty when
// the count is 0, refused or the allocation failed; the last two are written to the debug
// output, naming the listing.
class RecordBuffer {
public:
    RecordBuffer(uint32_t count, std::size_t recordSize, LPCWSTR listing);
    ~RecordBuffer();
    RecordBuffer(const RecordBuffer&) = delete;
    RecordBuffer& operator=(const RecordBuffer&) = delete;

    void* Data() const { return m_data; }
    // The start of record `i`, which must be below the count the buffer was made for.
    const unsigned char* Record(uint32_t i) const {
        return static_cast<const unsigned char*>(m_data) + i * m_recordSize;
    }

private:
    void* m_data = nullptr;
    std::size_t m_recordSize;
};
