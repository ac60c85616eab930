// Helpers shared by the message-queue and power-notification tests.
#pragma once

#include "platform/Windows.h"

#include <atomic>
#include <string>
#include <unistd.h>

namespace kobalt::test {

// A queue name no other test, test run or running console uses.
inline std::u16string UniqueQueueName(const char* purpose) {
    static std::atomic<int> counter{0};
    const std::string name = std::string("PlatformTest-") + purpose + "-" +
                             std::to_string(getpid()) + "-" + std::to_string(counter++);
    return std::u16string(name.begin(), name.end());
}

enum class Access { Read, Write };

// Opens `name` and reports the GetLastError value the open left.
inline HANDLE OpenQueue(const std::u16string& name, Access access, DWORD* lastError = nullptr,
                        DWORD maxMessages = 0, DWORD maxMessageSize = 44) {
    MSGQUEUEOPTIONS options{sizeof(MSGQUEUEOPTIONS), 0, maxMessages, maxMessageSize,
                            access == Access::Read ? TRUE : FALSE};
    SetLastError(0xDEAD);
    HANDLE queue = CreateMsgQueue(name.c_str(), &options);
    if (lastError != nullptr) {
        *lastError = GetLastError();
    }
    return queue;
}

} // namespace kobalt::test
