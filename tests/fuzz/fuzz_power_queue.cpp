// The datagrams the power monitor reads: any process of the user can send any datagram to a
// named queue's socket, so the queue reader gets arbitrary ones, mixed with real writes.
//
// Input: up to 8 records (the kernel holds 10 unread datagrams) of [kind][length][bytes]. An
// even kind sends the bytes (length times four, so also larger than the queue's largest
// message) straight to the socket; an odd kind writes length modulo (largest + 1) bytes with
// WriteMsgQueue. Then the queue is read empty. Checks:
// exactly the real writes and the datagrams framed as messages of at most the largest size are
// read, in order and unchanged; every other datagram is counted as discarded.

#include "FuzzCheck.h"
#include "platform/NamedQueue.h"
#include "platform/Windows.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr DWORD kLargest = 44; // the power monitor's queue size

struct Queues {
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    int raw = -1;
    sockaddr_un address{};
};

// Queue files go to a folder of this run's own, removed at exit.
char g_folder[] = "/tmp/kobalt-fuzz-XXXXXX";
Queues* g_queues = nullptr;

void CloseAtExit() {
    // The last close removes the queue's files; then the folders go.
    CloseMsgQueue(g_queues->writer);
    CloseMsgQueue(g_queues->reader);
    ::close(g_queues->raw);
    ::rmdir((std::string(g_folder) + "/kobalt").c_str());
    ::rmdir(g_folder);
}

Queues& Open() {
    if (g_queues != nullptr) {
        return *g_queues;
    }
    FUZZ_CHECK(::mkdtemp(g_folder) != nullptr);
    ::setenv("XDG_RUNTIME_DIR", g_folder, 1);
    g_queues = new Queues;
    Queues& q = *g_queues;
    MSGQUEUEOPTIONS options{sizeof(MSGQUEUEOPTIONS), 0, 0, kLargest, TRUE};
    q.reader = CreateMsgQueue(u"FuzzPowerQueue", &options);
    options.bReadAccess = FALSE;
    q.writer = CreateMsgQueue(u"FuzzPowerQueue", &options);
    FUZZ_CHECK(q.reader != nullptr && q.writer != nullptr);
    const std::string path = kobalt::platform::DescribeMsgQueue(q.reader)->socketPath;
    q.address.sun_family = AF_UNIX;
    FUZZ_CHECK(path.size() < sizeof q.address.sun_path);
    std::memcpy(q.address.sun_path, path.c_str(), path.size() + 1);
    q.raw = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    FUZZ_CHECK(q.raw >= 0);
    std::atexit(CloseAtExit);
    return q;
}

// The message a raw datagram carries under the documented frame: magic, then the payload's
// size, both 32-bit in the machine's order, then exactly that many bytes, at most kLargest.
bool CarriesMessage(const std::vector<std::uint8_t>& datagram, std::vector<std::uint8_t>& payload) {
    if (datagram.size() < 8) {
        return false;
    }
    std::uint32_t magic = 0;
    std::uint32_t size = 0;
    std::memcpy(&magic, datagram.data(), 4);
    std::memcpy(&size, datagram.data() + 4, 4);
    if (magic != kobalt::platform::kMsgQueueFrameMagic || size != datagram.size() - 8 ||
        size > kLargest) {
        return false;
    }
    payload.assign(datagram.begin() + 8, datagram.end());
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Queues& q = Open();
    const std::uint64_t discardedBefore = kobalt::platform::DescribeMsgQueue(q.reader)->discarded;
    std::deque<std::vector<std::uint8_t>> expected;
    std::uint64_t foreign = 0;
    std::size_t at = 0;
    for (int records = 0; at + 2 <= size && records < 8; ++records) {
        const std::uint8_t kind = data[at];
        const std::size_t length = data[at + 1];
        at += 2;
        if (kind % 2 == 0) {
            std::vector<std::uint8_t> datagram(length * 4);
            const std::size_t available = std::min(datagram.size(), size - at);
            if (available > 0) {
                std::memcpy(datagram.data(), data + at, available);
            }
            at += available;
            FUZZ_CHECK(::sendto(q.raw, datagram.data(), datagram.size(), MSG_DONTWAIT,
                                reinterpret_cast<const sockaddr*>(&q.address),
                                sizeof q.address) == static_cast<ssize_t>(datagram.size()));
            std::vector<std::uint8_t> payload;
            if (CarriesMessage(datagram, payload)) {
                expected.push_back(std::move(payload));
            } else {
                ++foreign;
            }
        } else {
            std::vector<std::uint8_t> message(length % (kLargest + 1));
            const std::size_t available = std::min(message.size(), size - at);
            if (available > 0) {
                std::memcpy(message.data(), data + at, available);
            }
            at += available;
            FUZZ_CHECK(WriteMsgQueue(q.writer, message.data(), static_cast<DWORD>(message.size()),
                                     0, 0) != FALSE);
            expected.push_back(std::move(message));
        }
    }

    for (;;) {
        std::uint8_t buffer[kLargest + 16];
        DWORD read = 0;
        DWORD flags = 0;
        if (ReadMsgQueue(q.reader, buffer, kLargest, &read, 0, &flags) == FALSE) {
            FUZZ_CHECK(GetLastError() == ERROR_TIMEOUT);
            break;
        }
        FUZZ_CHECK(!expected.empty());
        FUZZ_CHECK(read <= kLargest);
        FUZZ_CHECK(read == expected.front().size());
        FUZZ_CHECK(read == 0 || std::memcmp(buffer, expected.front().data(), read) == 0);
        expected.pop_front();
    }
    FUZZ_CHECK(expected.empty());
    FUZZ_CHECK(kobalt::platform::DescribeMsgQueue(q.reader)->discarded - discardedBefore ==
               foreign);
    return 0;
}
