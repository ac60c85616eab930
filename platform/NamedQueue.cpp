// Named point-to-point message queues, shared by every process of the user.
//
// Design. Everything that must vanish when a process dies is a kernel resource tied to an open
// file, so a crash cleans up like a close:
//
// - Folder: the user's runtime folder (common/RuntimeFolder.h: $XDG_RUNTIME_DIR/kobalt,
//   $HOME/.kobalt-run or /tmp/kobalt-<euid>); mode 0700 and owned by the user, so no other user
//   can reach a queue.
// - State file "<name>.q" (the name sanitised and tagged with a hash of its exact text). It
//   carries a small shared header (the queue's limits and its message count) and three one-byte
//   open-file-description locks, which the kernel drops when the holder closes or dies:
//     byte 0 "open":   every handle holds a read lock, so the name exists while any is held;
//     byte 1 "guard":  a write lock held while a handle opens or closes, which makes "does the
//                      name exist", initialisation and removal of the files one step;
//     byte 2 "reader": the process that reads the queue holds a write lock.
// - Socket "<name>.sock": a datagram socket bound by the reading process; one datagram is one
//   message behind a small frame header (MsgQueue.h). Any process of the user can send to the
//   socket, so the reader drops (and counts) every datagram that is not a framed message of at
//   most the queue's largest size, as no writer on the device could queue one. A writer connects to
//   it for every write, so "no reader" is simply a refused connection, also after the reader
//   crashed.
//
// The first opener of a name fixes the queue's limits (dwMaxMessages, cbMaxMessage); later
// opens take those and ignore their own, except bReadAccess. With a message limit, writers count
// unread messages in the shared header and wait on it (a futex) while the queue is full; the
// kernel's own bound on unread datagrams (net.unix.max_dgram_qlen) applies as well, and a writer
// waits for that too.
//
// One process reads a name at a time. Reader handles within that process share its socket and
// take messages in turn. A reader handle opened in a second process while the first still reads
// opens fine (ERROR_ALREADY_EXISTS) but its reads fail with ERROR_ACCESS_DENIED.
//
// Closing a handle (CloseMsgQueue or CloseHandle) makes calls blocked on it in other threads
// return promptly with FALSE and ERROR_INVALID_HANDLE. Handles are not inherited by exec'd
// programs; a forked child shares its parent's locks until it closes them.
#include "platform/NamedQueue.h"
#include "common/RuntimeFolder.h"
#include "platform/Clock.h"
#include "platform/Handles.h"
#include "platform/Windows.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/futex.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace kobalt::platform {
namespace {

constexpr DWORD kErrorAccessDenied = 5;

// Longest queue name accepted, in UTF-16 units (the device's MAX_PATH).
constexpr std::size_t kMaxNameLength = 260;
// Largest message a queue may be created for; bigger datagrams would not fit socket buffers.
constexpr DWORD kLargestMessage = 64 * 1024;

constexpr off_t kOpenByte = 0;
constexpr off_t kGuardByte = 1;
constexpr off_t kReaderByte = 2;

// How often a writer waiting for room checks that the reader is still alive.
constexpr auto kReaderCheckInterval = std::chrono::milliseconds(50);

constexpr std::uint32_t kHeaderMagic = 0x4B4D5131; // "KMQ1"
constexpr std::size_t kStateFileSize = 4096;

// The state file's shared header. Fields are only touched through std::atomic_ref.
struct SharedHeader {
    std::uint32_t magic;
    std::uint32_t maxMessages;
    std::uint32_t maxMessageSize;
    std::int32_t unread; // messages written under a limit and not yet read; a futex word
};

template <class T> std::atomic_ref<T> Field(T& field) {
    return std::atomic_ref<T>(field);
}

// --- Kernel helpers ----------------------------------------------------------------------------

// Takes or drops (F_UNLCK) a one-byte lock; `wait` blocks until it can be had.
bool LockByte(int fd, short type, off_t byte, bool wait) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    int rc = 0;
    do {
        rc = fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock);
    } while (rc == -1 && errno == EINTR);
    return rc == 0;
}

// True when an open file description other than fd's holds a lock on the byte.
bool HeldElsewhere(int fd, off_t byte) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    return fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

timespec ToTimeSpan(RealClock::duration duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    return timespec{static_cast<time_t>(seconds.count()),
                    static_cast<long>((duration - seconds) / std::chrono::nanoseconds(1))};
}

void FutexWait(std::int32_t* word, std::int32_t expected, RealClock::duration timeout) {
    const timespec relative = ToTimeSpan(timeout);
    syscall(SYS_futex, word, FUTEX_WAIT, expected, &relative, nullptr, 0);
}

void FutexWakeAll(std::int32_t* word) {
    syscall(SYS_futex, word, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

enum class Ready { Yes, Closed, TimedOut };

// Waits until `fd` reports `events`, the handle's wake-up descriptor fires, or the deadline
// passes.
Ready WaitForDescriptor(int fd, short events, int wakeFd, RealClock::time_point deadline) {
    for (;;) {
        pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
        timespec remaining{};
        timespec* timeout = nullptr;
        if (deadline != RealClock::time_point::max()) {
            const auto left = deadline - RealClock::now();
            if (left <= RealClock::duration::zero()) {
                return Ready::TimedOut;
            }
            remaining = ToTimeSpan(left);
            timeout = &remaining;
        }
        const int rc = ppoll(fds, 2, timeout, nullptr);
        if (rc < 0 && errno != EINTR) {
            return Ready::Closed;
        }
        if (fds[1].revents != 0) {
            return Ready::Closed;
        }
        if (rc > 0 && fds[0].revents != 0) {
            return Ready::Yes;
        }
    }
}

// --- Names and files ---------------------------------------------------------------------------

// The folder of every queue file (common/RuntimeFolder.h), or empty when no private folder can
// be had. Fixed for the process at first use.
const std::string& QueueFolder() {
    static const std::string* folder = new std::string(kobalt::common::PrepareRuntimeFolder().path);
    return *folder;
}

// A readable, file-safe stem for a name: up to 40 of its characters and a hash of all of it, so
// names that differ only in unsafe characters still get different files.
std::string FileStem(const std::u16string& name) {
    std::uint64_t hash = 0xCBF29CE484222325ull; // FNV-1a
    for (char16_t unit : name) {
        hash = (hash ^ (unit & 0xFF)) * 0x100000001B3ull;
        hash = (hash ^ (unit >> 8)) * 0x100000001B3ull;
    }
    std::string stem;
    for (std::size_t i = 0; i < name.size() && i < 40; ++i) {
        const char16_t c = name[i];
        const bool safe = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                          (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
        stem += safe ? static_cast<char>(c) : '_';
    }
    static const char kHex[] = "0123456789abcdef";
    stem += '-';
    for (int shift = 60; shift >= 0; shift -= 4) {
        stem += kHex[(hash >> shift) & 0xF];
    }
    return stem;
}

struct FileId {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FileId&) const = default;
};

// --- The reading end ---------------------------------------------------------------------------

// The bound socket of the process that reads a queue, shared by that process's reader handles.
class ReaderEndpoint {
public:
    ReaderEndpoint(int stateFd, int socketFd, std::string socketPath, DWORD maxMessageSize)
        : m_stateFd(stateFd), m_socket(socketFd), m_socketPath(std::move(socketPath)),
          m_scratch(sizeof(MsgQueueFrame) + maxMessageSize) {}
    ~ReaderEndpoint() {
        // The reader lock is still held, so the path is still this endpoint's own.
        unlink(m_socketPath.c_str());
        close(m_socket);
        close(m_stateFd);
    }
    ReaderEndpoint(const ReaderEndpoint&) = delete;
    ReaderEndpoint& operator=(const ReaderEndpoint&) = delete;

    int Socket() const { return m_socket; }
    // Serialises "look at the next datagram, then take it" among reader threads.
    std::mutex& ReceiveLock() { return m_receiveLock; }
    // Room for the largest framed message; used under ReceiveLock().
    std::vector<std::uint8_t>& Scratch() { return m_scratch; }
    void CountDiscarded() { m_discarded.fetch_add(1, std::memory_order_relaxed); }
    std::uint64_t Discarded() const { return m_discarded.load(std::memory_order_relaxed); }

private:
    int m_stateFd; // holds the reader lock
    int m_socket;  // bound, non-blocking
    std::string m_socketPath;
    std::mutex m_receiveLock;
    std::vector<std::uint8_t> m_scratch;
    std::atomic<std::uint64_t> m_discarded{0};
};

// Process-wide: serialises opens and closes within the process (the guard lock does so between
// processes) and finds the process's reading end of a queue.
struct Registry {
    std::mutex m_lock;
    std::map<FileId, std::weak_ptr<ReaderEndpoint>> m_readers;
};

// Never destroyed: detached threads may still close queues while the process exits.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

// --- A handle ----------------------------------------------------------------------------------

class MsgQueueObject final : public KernelObject {
public:
    struct Setup {
        std::u16string name;
        bool reader;
        int stateFd;
        SharedHeader* header;
        std::string statePath;
        std::string socketPath;
        std::shared_ptr<ReaderEndpoint> endpoint;
        int writerSocket;
        int wakeFd;
    };

    explicit MsgQueueObject(Setup setup)
        : m_name(std::move(setup.name)), m_reader(setup.reader), m_stateFd(setup.stateFd),
          m_header(setup.header), m_statePath(std::move(setup.statePath)),
          m_socketPath(std::move(setup.socketPath)), m_endpoint(std::move(setup.endpoint)),
          m_writerSocket(setup.writerSocket), m_wakeFd(setup.wakeFd),
          m_maxMessages(Field(m_header->maxMessages).load()),
          m_maxMessageSize(Field(m_header->maxMessageSize).load()) {}

    MsgQueueObject(const MsgQueueObject&) = delete;
    MsgQueueObject& operator=(const MsgQueueObject&) = delete;

    ~MsgQueueObject() override {
        Registry& registry = TheRegistry();
        {
            std::lock_guard guard(registry.m_lock);
            // Drop the reading end first, so that a reader opened next in this process finds
            // the reader lock free.
            if (m_endpoint) {
                m_endpoint.reset();
                std::erase_if(registry.m_readers,
                              [](const auto& entry) { return entry.second.expired(); });
            }
            LockByte(m_stateFd, F_WRLCK, kGuardByte, true);
            LockByte(m_stateFd, F_UNLCK, kOpenByte, false);
            if (!HeldElsewhere(m_stateFd, kOpenByte)) {
                unlink(m_socketPath.c_str());
                unlink(m_statePath.c_str());
            }
            close(m_stateFd); // releases the guard
        }
        munmap(m_header, kStateFileSize);
        if (m_writerSocket >= 0) {
            close(m_writerSocket);
        }
        close(m_wakeFd);
    }

    void OnClose() override {
        m_closed.store(true);
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
        FutexWakeAll(&m_header->unread);
    }

    MsgQueueInfo Info() const {
        return {m_name,   m_maxMessages, m_maxMessageSize,
                m_reader, m_socketPath,  m_endpoint ? m_endpoint->Discarded() : 0};
    }

    BOOL Read(LPVOID buffer, DWORD bufferSize, LPDWORD bytesRead, DWORD timeout, DWORD* flags) {
        if (!m_reader || !m_endpoint) {
            SetLastError(kErrorAccessDenied);
            return FALSE;
        }
        if (buffer == nullptr && bufferSize != 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        const auto deadline = DeadlineAfter(timeout);
        const int socketFd = m_endpoint->Socket();
        for (;;) {
            if (m_closed.load()) {
                SetLastError(ERROR_INVALID_HANDLE);
                return FALSE;
            }
            switch (Receive(socketFd, buffer, bufferSize, bytesRead)) {
            case Received::Message:
                if (flags != nullptr) {
                    *flags = 0;
                }
                return TRUE;
            case Received::TooBig:
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return FALSE;
            case Received::Discarded:
                continue;
            case Received::Nothing:
                break;
            }
            switch (WaitForDescriptor(socketFd, POLLIN, m_wakeFd, deadline)) {
            case Ready::Yes:
                break;
            case Ready::Closed:
                SetLastError(ERROR_INVALID_HANDLE);
                return FALSE;
            case Ready::TimedOut:
                SetLastError(ERROR_TIMEOUT);
                return FALSE;
            }
        }
    }

    BOOL Write(LPCVOID buffer, DWORD size, DWORD timeout) {
        if (m_reader) {
            SetLastError(kErrorAccessDenied);
            return FALSE;
        }
        if (buffer == nullptr && size != 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (size > m_maxMessageSize) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        const auto deadline = DeadlineAfter(timeout);
        if (!ConnectToReader()) {
            SetLastError(ERROR_PIPE_NOT_CONNECTED);
            return FALSE;
        }
        if (m_maxMessages != 0) {
            const DWORD error = ReserveSlot(deadline);
            if (error != ERROR_SUCCESS) {
                SetLastError(error);
                return FALSE;
            }
        }
        const DWORD error = Send(buffer, size, deadline);
        if (error != ERROR_SUCCESS) {
            if (m_maxMessages != 0) {
                Field(m_header->unread).fetch_sub(1);
                FutexWakeAll(&m_header->unread);
            }
            SetLastError(error);
            return FALSE;
        }
        return TRUE;
    }

private:
    enum class Received { Message, TooBig, Discarded, Nothing };

    // Takes the next datagram when it is a message that fits the buffer; drops it when it is not
    // a message at all. A message too big for the buffer stays queued for a bigger read.
    Received Receive(int socketFd, LPVOID buffer, DWORD bufferSize, LPDWORD bytesRead) {
        std::lock_guard guard(m_endpoint->ReceiveLock());
        std::vector<std::uint8_t>& scratch = m_endpoint->Scratch();
        const ssize_t size =
            recv(socketFd, scratch.data(), scratch.size(), MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
        if (size < 0) {
            return Received::Nothing;
        }
        // The scratch was sized when the reading end was set up; never look past it, whatever
        // size the shared header claims now.
        const auto largest = static_cast<DWORD>(
            std::min<std::size_t>(m_maxMessageSize, scratch.size() - sizeof(MsgQueueFrame)));
        const auto payload = FramedPayload(scratch.data(), static_cast<std::size_t>(size), largest);
        if (payload && payload->size() > bufferSize) {
            return Received::TooBig;
        }
        // A zero-length receive takes the whole datagram off the socket.
        if (recv(socketFd, nullptr, 0, MSG_DONTWAIT) < 0) {
            return Received::Nothing;
        }
        if (!payload) {
            m_endpoint->CountDiscarded();
            return Received::Discarded;
        }
        if (!payload->empty()) {
            std::memcpy(buffer, payload->data(), payload->size());
        }
        if (m_maxMessages != 0) {
            // A message sent straight to the socket was never counted in; the count stays >= 0.
            std::int32_t unread = Field(m_header->unread).load();
            while (unread > 0 &&
                   !Field(m_header->unread).compare_exchange_weak(unread, unread - 1)) {
            }
            FutexWakeAll(&m_header->unread);
        }
        if (bytesRead != nullptr) {
            *bytesRead = static_cast<DWORD>(payload->size());
        }
        return Received::Message;
    }

    // Points the writer's socket at the current reader; false when no process reads.
    bool ConnectToReader() {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, m_socketPath.c_str(), m_socketPath.size() + 1);
        return connect(m_writerSocket, reinterpret_cast<const sockaddr*>(&address),
                       sizeof address) == 0;
    }

    // Counts the message in before it is sent; waits while the queue holds its limit.
    DWORD ReserveSlot(RealClock::time_point deadline) {
        std::int32_t* word = &m_header->unread;
        const auto limit = static_cast<std::int32_t>(m_maxMessages);
        for (;;) {
            std::int32_t unread = Field(*word).load();
            if (unread < limit) {
                if (Field(*word).compare_exchange_weak(unread, unread + 1)) {
                    return ERROR_SUCCESS;
                }
                continue;
            }
            if (m_closed.load()) {
                return ERROR_INVALID_HANDLE;
            }
            if (!HeldElsewhere(m_stateFd, kReaderByte)) {
                return ERROR_PIPE_NOT_CONNECTED;
            }
            const auto now = RealClock::now();
            if (now >= deadline) {
                return ERROR_TIMEOUT;
            }
            const auto left = deadline - now;
            FutexWait(word, unread, left < kReaderCheckInterval ? left : kReaderCheckInterval);
        }
    }

    DWORD Send(LPCVOID buffer, DWORD size, RealClock::time_point deadline) {
        for (;;) {
            MsgQueueFrame frame{kMsgQueueFrameMagic, size};
            iovec parts[2] = {{&frame, sizeof frame}, {const_cast<void*>(buffer), size}};
            msghdr message{};
            message.msg_iov = parts;
            message.msg_iovlen = 2;
            if (sendmsg(m_writerSocket, &message, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
                return ERROR_SUCCESS;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                return errno == EMSGSIZE ? ERROR_INSUFFICIENT_BUFFER : ERROR_PIPE_NOT_CONNECTED;
            }
            // The reader's socket holds as many messages as the kernel allows.
            switch (WaitForDescriptor(m_writerSocket, POLLOUT, m_wakeFd, deadline)) {
            case Ready::Yes:
                break;
            case Ready::Closed:
                return ERROR_INVALID_HANDLE;
            case Ready::TimedOut:
                return ERROR_TIMEOUT;
            }
        }
    }

    const std::u16string m_name;
    const bool m_reader;
    const int m_stateFd; // holds the open lock
    SharedHeader* const m_header;
    const std::string m_statePath;
    const std::string m_socketPath;
    std::shared_ptr<ReaderEndpoint> m_endpoint; // reader handles of the reading process only
    const int m_writerSocket;                   // writer handles only, else -1
    const int m_wakeFd;                         // readable once the handle is closed
    const DWORD m_maxMessages;
    const DWORD m_maxMessageSize;
    std::atomic<bool> m_closed{false};
};

// Opens the state file under the guard lock. Retries when the file it opened was removed by a
// closing handle before the guard was had. -1 on failure.
int OpenGuardedStateFile(const std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            return -1;
        }
        if (!LockByte(fd, F_WRLCK, kGuardByte, true)) {
            close(fd);
            return -1;
        }
        struct stat opened {};
        struct stat current {};
        if (fstat(fd, &opened) == 0 && stat(path.c_str(), &current) == 0 &&
            opened.st_dev == current.st_dev && opened.st_ino == current.st_ino) {
            return fd;
        }
        close(fd);
    }
    return -1;
}

// Becomes the process's reading end of the queue, or returns null when another process reads
// it. Called with the registry lock and the guard held.
std::shared_ptr<ReaderEndpoint> BecomeReader(const std::string& statePath,
                                             const std::string& socketPath, SharedHeader* header) {
    const int stateFd = open(statePath.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (stateFd < 0) {
        return nullptr;
    }
    if (!LockByte(stateFd, F_WRLCK, kReaderByte, false)) {
        close(stateFd);
        return nullptr;
    }
    // A socket file left by a reader that died is stale.
    unlink(socketPath.c_str());
    const int socketFd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    if (socketFd < 0 ||
        bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (socketFd >= 0) {
            close(socketFd);
        }
        close(stateFd);
        return nullptr;
    }
    // A new socket holds nothing, whatever the count says after an earlier reader died.
    Field(header->unread).store(0);
    return std::make_shared<ReaderEndpoint>(stateFd, socketFd, socketPath,
                                            Field(header->maxMessageSize).load());
}

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return nullptr;
}

} // namespace

std::optional<std::span<const std::uint8_t>> FramedPayload(const std::uint8_t* bytes,
                                                           std::size_t size, DWORD maxMessageSize) {
    if (size < sizeof(MsgQueueFrame) || size - sizeof(MsgQueueFrame) > maxMessageSize) {
        return std::nullopt;
    }
    MsgQueueFrame frame{};
    std::memcpy(&frame, bytes, sizeof frame);
    if (frame.magic != kMsgQueueFrameMagic || frame.size != size - sizeof(MsgQueueFrame)) {
        return std::nullopt;
    }
    return std::span<const std::uint8_t>(bytes + sizeof(MsgQueueFrame), frame.size);
}

std::optional<MsgQueueInfo> DescribeMsgQueue(HANDLE handle) {
    auto queue = LookupHandleAs<MsgQueueObject>(handle);
    if (!queue) {
        return std::nullopt;
    }
    return queue->Info();
}

} // namespace kobalt::platform

using kobalt::platform::MsgQueueObject;

// Unnamed queues are not supported: a name is required. Flags are accepted and ignored.
HANDLE CreateMsgQueue(LPCWSTR name, MSGQUEUEOPTIONS* options) {
    using namespace kobalt::platform;
    if (name == nullptr || *name == 0 || options == nullptr ||
        options->dwSize < sizeof(MSGQUEUEOPTIONS) || options->cbMaxMessage == 0 ||
        options->cbMaxMessage > kLargestMessage) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::u16string queueName(name);
    if (queueName.size() > kMaxNameLength) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const std::string& folder = QueueFolder();
    if (folder.empty()) {
        return Fail(kErrorAccessDenied);
    }
    const std::string stem = folder + "/" + FileStem(queueName);
    const std::string statePath = stem + ".q";
    const std::string socketPath = stem + ".sock";
    const bool reader = options->bReadAccess != FALSE;

    Registry& registry = TheRegistry();
    std::unique_lock registryLock(registry.m_lock);
    const int stateFd = OpenGuardedStateFile(statePath);
    if (stateFd < 0) {
        return Fail(kErrorAccessDenied);
    }
    // Undoes the open when a later step fails; the guard goes with the descriptor.
    auto abandon = [&](DWORD error, SharedHeader* header) {
        if (header != nullptr) {
            munmap(header, kStateFileSize);
        }
        if (!HeldElsewhere(stateFd, kOpenByte)) {
            unlink(statePath.c_str());
        }
        close(stateFd);
        return Fail(error);
    };

    const bool existed = HeldElsewhere(stateFd, kOpenByte);
    struct stat info {};
    if (!existed && ftruncate(stateFd, kStateFileSize) != 0) {
        return abandon(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    }
    if (fstat(stateFd, &info) != 0 || static_cast<std::size_t>(info.st_size) < kStateFileSize) {
        return abandon(kErrorAccessDenied, nullptr);
    }
    void* mapping = mmap(nullptr, kStateFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, stateFd, 0);
    if (mapping == MAP_FAILED) {
        return abandon(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    }
    auto* header = static_cast<SharedHeader*>(mapping);
    if (!existed) {
        // Files left by a process that died are taken over: the name did not exist.
        unlink(socketPath.c_str());
        Field(header->maxMessages).store(options->dwMaxMessages);
        Field(header->maxMessageSize).store(options->cbMaxMessage);
        Field(header->unread).store(0);
        Field(header->magic).store(kHeaderMagic);
    } else if (Field(header->magic).load() != kHeaderMagic ||
               Field(header->maxMessageSize).load() == 0 ||
               Field(header->maxMessageSize).load() > kLargestMessage) {
        return abandon(kErrorAccessDenied, header);
    }

    std::shared_ptr<ReaderEndpoint> endpoint;
    int writerSocket = -1;
    if (reader) {
        struct stat file {};
        fstat(stateFd, &file);
        const FileId id{file.st_dev, file.st_ino};
        endpoint = registry.m_readers[id].lock();
        if (!endpoint) {
            endpoint = BecomeReader(statePath, socketPath, header);
            if (endpoint) {
                registry.m_readers[id] = endpoint;
            } else {
                registry.m_readers.erase(id);
            }
        }
    } else {
        writerSocket = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (writerSocket < 0) {
            return abandon(ERROR_NOT_ENOUGH_MEMORY, header);
        }
    }
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0 || !LockByte(stateFd, F_RDLCK, kOpenByte, false)) {
        if (wakeFd >= 0) {
            close(wakeFd);
        }
        if (writerSocket >= 0) {
            close(writerSocket);
        }
        endpoint.reset();
        return abandon(ERROR_NOT_ENOUGH_MEMORY, header);
    }
    LockByte(stateFd, F_UNLCK, kGuardByte, false);
    registryLock.unlock();

    auto queue = std::make_shared<MsgQueueObject>(
        MsgQueueObject::Setup{std::move(queueName), reader, stateFd, header, statePath, socketPath,
                              std::move(endpoint), writerSocket, wakeFd});
    HANDLE handle = InsertHandle(std::move(queue));
    if (handle != nullptr) {
        SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    }
    return handle;
}

// A closed or unknown handle fails with ERROR_INVALID_HANDLE; a time-out with ERROR_TIMEOUT.
BOOL ReadMsgQueue(HANDLE queue, LPVOID buffer, DWORD bufferSize, LPDWORD bytesRead, DWORD timeout,
                  DWORD* flags) {
    auto object = kobalt::platform::LookupHandleAs<MsgQueueObject>(queue);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return object->Read(buffer, bufferSize, bytesRead, timeout, flags);
}

// Flags (MSGQUEUE_MSGALERT) are accepted; the message arrives as an ordinary one.
BOOL WriteMsgQueue(HANDLE queue, LPVOID buffer, DWORD dataSize, DWORD timeout, DWORD /*flags*/) {
    auto object = kobalt::platform::LookupHandleAs<MsgQueueObject>(queue);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return object->Write(buffer, dataSize, timeout);
}

BOOL CloseMsgQueue(HANDLE queue) {
    auto object = kobalt::platform::RemoveHandleAs<MsgQueueObject>(queue);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->OnClose();
    return TRUE;
}
