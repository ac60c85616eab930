// Internal to the platform: what other services need to know of a message-queue handle.
#pragma once

#include "platform/Windows.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kobalt::platform {

struct MsgQueueInfo {
    std::u16string name;
    DWORD maxMessages;    // 0: no limit
    DWORD maxMessageSize; // bytes
    bool readAccess;
    std::string socketPath;  // where the reading process receives the queue's datagrams
    std::uint64_t discarded; // datagrams the reading process refused (0 for other handles)
};

// Every message travels as one datagram: this header, then exactly `size` bytes. Datagrams in
// any other shape, or larger than the queue's largest message, are not messages; a reader drops
// them unseen, so a read returns only what WriteMsgQueue could have written.
struct MsgQueueFrame {
    std::uint32_t magic;
    std::uint32_t size;
};
inline constexpr std::uint32_t kMsgQueueFrameMagic = 0x4B4D5146; // "KMQF"

// The message carried by a datagram of `size` bytes whose first bytes are at `bytes`, or
// nothing when the datagram is not a message of at most `maxMessageSize` bytes. `bytes` must
// hold min(size, sizeof(MsgQueueFrame) + maxMessageSize) bytes.
[[nodiscard]] std::optional<std::span<const std::uint8_t>>
FramedPayload(const std::uint8_t* bytes, std::size_t size, DWORD maxMessageSize);

// The queue behind `handle`, or nothing when the handle is not an open message queue.
std::optional<MsgQueueInfo> DescribeMsgQueue(HANDLE handle);

} // namespace kobalt::platform
