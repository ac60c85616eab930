// The other process in the cross-process queue tests. Reports each step as one line on standard
// output:
//   platform_msgqueue_peer write NAME TEXT   "open <error>", "write <ok> <error>", then exits
//   platform_msgqueue_peer read NAME         "open <error>", "read <ok> <error> <text>", then
//                                            holds the queue until standard input closes
#include "platform/Windows.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

std::u16string Wide(const char* text) {
    WCHAR buffer[512];
    return MultiByteToWideChar(CP_UTF8, 0, text, -1, buffer, 512) > 0 ? buffer : u"";
}

HANDLE Open(const char* name, BOOL read) {
    MSGQUEUEOPTIONS options{sizeof(MSGQUEUEOPTIONS), 0, 0, 64, read};
    HANDLE queue = CreateMsgQueue(Wide(name).c_str(), &options);
    std::printf("open %lu\n",
                queue != nullptr ? static_cast<unsigned long>(GetLastError()) : 0xFFFFFFFFul);
    std::fflush(stdout);
    return queue;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "write") == 0) {
        HANDLE queue = Open(argv[2], FALSE);
        const BOOL ok =
            WriteMsgQueue(queue, argv[3], static_cast<DWORD>(std::strlen(argv[3])), 0, 0);
        std::printf("write %d %lu\n", ok, ok ? 0ul : static_cast<unsigned long>(GetLastError()));
        std::fflush(stdout);
        CloseMsgQueue(queue);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "read") == 0) {
        HANDLE queue = Open(argv[2], TRUE);
        char buffer[65] = {};
        DWORD size = 0;
        DWORD flags = 0;
        const BOOL ok = ReadMsgQueue(queue, buffer, 64, &size, 5000, &flags);
        std::printf("read %d %lu %s\n", ok, ok ? 0ul : static_cast<unsigned long>(GetLastError()),
                    buffer);
        std::fflush(stdout);
        char discard;
        while (read(STDIN_FILENO, &discard, 1) > 0) {
        }
        CloseMsgQueue(queue);
        return 0;
    }
    std::fprintf(stderr, "usage: %s write NAME TEXT | read NAME\n", argv[0]);
    return 2;
}
