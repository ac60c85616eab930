// Internal to the platform: what other services need to know of a message-queue handle.
#pragma once

#include "platform/Windows.h"

#include <optional>
#include <string>

namespace kobalt::platform {

struct MsgQueueInfo {
    std::u16string name;
    DWORD maxMessages;    // 0: no limit
    DWORD maxMessageSize; // bytes
    bool readAccess;
};

// The queue behind `handle`, or nothing when the handle is not an open message queue.
std::optional<MsgQueueInfo> DescribeMsgQueue(HANDLE handle);

} // namespace kobalt::platform
