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
//   message behind a small frame header (NamedQueue.h). Any process of the user can send to the
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
#include "common/FileDescriptor.h"
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
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kobalt::platform {
namespace {

using common::FileDescriptor;

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

// The one owner of a state file's mapped header: unmaps it once, when the owner goes.
class HeaderMapping {
public:
    HeaderMapping() = default;
    // Takes a mapping of kStateFileSize bytes (null for none).
    explicit HeaderMapping(void* mapping) : m_header(static_cast<SharedHeader*>(mapping)) {}
    ~HeaderMapping() { Reset(); }
    HeaderMapping(HeaderMapping&& other) noexcept
        : m_header(std::exchange(other.m_header, nullptr)) {}
    HeaderMapping& operator=(HeaderMapping&& other) noexcept {
        if (this != &other) {
            Reset();
            m_header = std::exchange(other.m_header, nullptr);
        }
        return *this;
    }
    HeaderMapping(const HeaderMapping&) = delete;
    HeaderMapping& operator=(const HeaderMapping&) = delete;

    SharedHeader* Get() const { return m_header; }
    SharedHeader* operator->() const { return m_header; }

    void Reset() {
        if (m_header != nullptr) {
            munmap(m_header, kStateFileSize);
            m_header = nullptr;
        }
    }

private:
    SharedHeader* m_header = nullptr;
};

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

// The address of a socket file. Paths fit: the runtime folder's length is bounded.
sockaddr_un SocketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

FileDescriptor NewDatagramSocket() {
    return FileDescriptor(socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
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

// Where a queue's files are: the state file and the reader's socket.
struct QueuePaths {
    std::string state;  // "<folder>/<stem>.q"
    std::string socket; // "<folder>/<stem>.sock"
};

// Nothing when no private folder can be had.
std::optional<QueuePaths> PathsFor(const std::u16string& name) {
    const std::string& folder = QueueFolder();
    if (folder.empty()) {
        return std::nullopt;
    }
    const std::string stem = folder + "/" + FileStem(name);
    return QueuePaths{stem + ".q", stem + ".sock"};
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
    ReaderEndpoint(FileDescriptor stateFd, FileDescriptor socket, std::string socketPath,
                   DWORD maxMessageSize)
        : m_stateFd(std::move(stateFd)), m_socket(std::move(socket)),
          m_socketPath(std::move(socketPath)), m_scratch(sizeof(MsgQueueFrame) + maxMessageSize) {}
    ~ReaderEndpoint() {
        // The reader lock is still held, so the path is still this endpoint's own. The socket
        // closes next, then the state file with the reader lock.
        unlink(m_socketPath.c_str());
    }
    ReaderEndpoint(const ReaderEndpoint&) = delete;
    ReaderEndpoint& operator=(const ReaderEndpoint&) = delete;

    int Socket() const { return m_socket.Get(); }
    // Serialises "look at the next datagram, then take it" among reader threads.
    std::mutex& ReceiveLock() { return m_receiveLock; }
    // Room for the largest framed message; used under ReceiveLock().
    std::vector<std::uint8_t>& Scratch() { return m_scratch; }
    void CountDiscarded() { m_discarded.fetch_add(1, std::memory_order_relaxed); }
    std::uint64_t Discarded() const { return m_discarded.load(std::memory_order_relaxed); }

private:
    FileDescriptor m_stateFd; // holds the reader lock
    FileDescriptor m_socket;  // bound, non-blocking
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

// What opening a name gathers before it becomes a handle.
struct OpenedQueue {
    QueuePaths paths;
    FileDescriptor stateFd; // holds the guard lock while the handle is set up, then the open lock
    HeaderMapping header;
    bool existed = false;                     // another handle had the name open
    std::shared_ptr<ReaderEndpoint> endpoint; // reader handles of the reading process only
    FileDescriptor writerSocket;              // writer handles only
    FileDescriptor wakeFd;                    // readable once the handle is closed
};

class MsgQueueObject final : public KernelObject {
public:
    MsgQueueObject(std::u16string name, bool reader, OpenedQueue opened)
        : m_name(std::move(name)), m_reader(reader), m_stateFd(std::move(opened.stateFd)),
          m_header(std::move(opened.header)), m_statePath(std::move(opened.paths.state)),
          m_socketPath(std::move(opened.paths.socket)), m_endpoint(std::move(opened.endpoint)),
          m_writerSocket(std::move(opened.writerSocket)), m_wakeFd(std::move(opened.wakeFd)),
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
            LockByte(m_stateFd.Get(), F_WRLCK, kGuardByte, true);
            LockByte(m_stateFd.Get(), F_UNLCK, kOpenByte, false);
            if (!HeldElsewhere(m_stateFd.Get(), kOpenByte)) {
                unlink(m_socketPath.c_str());
                unlink(m_statePath.c_str());
            }
            m_stateFd.Reset(); // releases the guard
        }
        // The header's mapping, the writer's socket and the wake-up descriptor go with their
        // owners.
    }

    void OnClose() override {
        m_closed.store(true);
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wakeFd.Get(), &one, sizeof one);
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
            switch (WaitForDescriptor(socketFd, POLLIN, m_wakeFd.Get(), deadline)) {
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
        const sockaddr_un address = SocketAddress(m_socketPath);
        return connect(m_writerSocket.Get(), reinterpret_cast<const sockaddr*>(&address),
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
            if (!HeldElsewhere(m_stateFd.Get(), kReaderByte)) {
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
            if (sendmsg(m_writerSocket.Get(), &message, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
                return ERROR_SUCCESS;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                return errno == EMSGSIZE ? ERROR_INSUFFICIENT_BUFFER : ERROR_PIPE_NOT_CONNECTED;
            }
            // The reader's socket holds as many messages as the kernel allows.
            switch (WaitForDescriptor(m_writerSocket.Get(), POLLOUT, m_wakeFd.Get(), deadline)) {
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
    FileDescriptor m_stateFd; // holds the open lock
    const HeaderMapping m_header;
    const std::string m_statePath;
    const std::string m_socketPath;
    std::shared_ptr<ReaderEndpoint> m_endpoint; // reader handles of the reading process only
    const FileDescriptor m_writerSocket;        // writer handles only, else none
    const FileDescriptor m_wakeFd;              // readable once the handle is closed
    const DWORD m_maxMessages;
    const DWORD m_maxMessageSize;
    std::atomic<bool> m_closed{false};
};

// --- Opening a name ----------------------------------------------------------------------------

bool ValidOptions(LPCWSTR name, const MSGQUEUEOPTIONS* options) {
    return name != nullptr && *name != 0 && options != nullptr &&
           options->dwSize >= sizeof(MSGQUEUEOPTIONS) && options->cbMaxMessage != 0 &&
           options->cbMaxMessage <= kLargestMessage;
}

// Opens the state file under the guard lock. Retries when the file it opened was removed by a
// closing handle before the guard was had. None on failure.
FileDescriptor OpenGuardedStateFile(const std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        FileDescriptor fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!fd.Valid() || !LockByte(fd.Get(), F_WRLCK, kGuardByte, true)) {
            return {};
        }
        struct stat opened {};
        struct stat current {};
        if (fstat(fd.Get(), &opened) == 0 && stat(path.c_str(), &current) == 0 &&
            opened.st_dev == current.st_dev && opened.st_ino == current.st_ino) {
            return fd;
        }
    }
    return {};
}

// Fixes a new queue's limits. Files left by a process that died are taken over: the name did
// not exist.
void InitialiseHeader(SharedHeader& header, const MSGQUEUEOPTIONS& options,
                      const std::string& socketPath) {
    unlink(socketPath.c_str());
    Field(header.maxMessages).store(options.dwMaxMessages);
    Field(header.maxMessageSize).store(options.cbMaxMessage);
    Field(header.unread).store(0);
    Field(header.magic).store(kHeaderMagic);
}

bool ValidHeader(SharedHeader& header) {
    const std::uint32_t maxMessageSize = Field(header.maxMessageSize).load();
    return Field(header.magic).load() == kHeaderMagic && maxMessageSize != 0 &&
           maxMessageSize <= kLargestMessage;
}

// Sizes and maps the state file the guard is held on, and sets up its header when the name is
// new. ERROR_SUCCESS, or the error the open fails with.
DWORD MapStateFile(const MSGQUEUEOPTIONS& options, OpenedQueue& queue) {
    const int fd = queue.stateFd.Get();
    queue.existed = HeldElsewhere(fd, kOpenByte);
    if (!queue.existed && ftruncate(fd, kStateFileSize) != 0) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || static_cast<std::size_t>(info.st_size) < kStateFileSize) {
        return kErrorAccessDenied;
    }
    void* mapping = mmap(nullptr, kStateFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapping == MAP_FAILED) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    queue.header = HeaderMapping(mapping);
    if (!queue.existed) {
        InitialiseHeader(*queue.header.Get(), options, queue.paths.socket);
    } else if (!ValidHeader(*queue.header.Get())) {
        return kErrorAccessDenied;
    }
    return ERROR_SUCCESS;
}

// A socket bound to `path`; none when it cannot be had.
FileDescriptor BoundDatagramSocket(const std::string& path) {
    FileDescriptor socket = NewDatagramSocket();
    const sockaddr_un address = SocketAddress(path);
    if (!socket.Valid() ||
        bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return {};
    }
    return socket;
}

// Becomes the process's reading end of the queue, or returns null when another process reads
// it. Called with the registry lock and the guard held.
std::shared_ptr<ReaderEndpoint> BecomeReader(const QueuePaths& paths, SharedHeader& header) {
    FileDescriptor stateFd(open(paths.state.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    if (!stateFd.Valid() || !LockByte(stateFd.Get(), F_WRLCK, kReaderByte, false)) {
        return nullptr;
    }
    // A socket file left by a reader that died is stale.
    unlink(paths.socket.c_str());
    FileDescriptor socket = BoundDatagramSocket(paths.socket);
    if (!socket.Valid()) {
        return nullptr;
    }
    // A new socket holds nothing, whatever the count says after an earlier reader died.
    Field(header.unread).store(0);
    return std::make_shared<ReaderEndpoint>(std::move(stateFd), std::move(socket), paths.socket,
                                            Field(header.maxMessageSize).load());
}

// The process's reading end of the queue: the one its other reader handles share, else a new
// one; null when another process reads it. Called with the registry lock and the guard held.
std::shared_ptr<ReaderEndpoint> ReadingEnd(Registry& registry, const OpenedQueue& queue) {
    struct stat file {};
    fstat(queue.stateFd.Get(), &file);
    const FileId id{file.st_dev, file.st_ino};
    std::shared_ptr<ReaderEndpoint> endpoint = registry.m_readers[id].lock();
    if (!endpoint) {
        endpoint = BecomeReader(queue.paths, *queue.header.Get());
        if (endpoint) {
            registry.m_readers[id] = endpoint;
        } else {
            registry.m_readers.erase(id);
        }
    }
    return endpoint;
}

// Sets up the handle's end of the queue (the reading end, or a socket to write with), its
// wake-up descriptor, and its open lock, which makes the name exist. ERROR_SUCCESS, or the error
// the open fails with.
DWORD OpenHandleEnds(Registry& registry, bool reader, OpenedQueue& queue) {
    if (reader) {
        queue.endpoint = ReadingEnd(registry, queue);
    } else {
        queue.writerSocket = NewDatagramSocket();
        if (!queue.writerSocket.Valid()) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    queue.wakeFd = FileDescriptor(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!queue.wakeFd.Valid() || !LockByte(queue.stateFd.Get(), F_RDLCK, kOpenByte, false)) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return ERROR_SUCCESS;
}

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return nullptr;
}

// Undoes a failed open while its guard is held: the reading end goes, and the state file is
// removed unless another handle has the name open. The descriptors close with their owners.
HANDLE Abandon(OpenedQueue& queue, DWORD error) {
    queue.endpoint.reset();
    if (!HeldElsewhere(queue.stateFd.Get(), kOpenByte)) {
        unlink(queue.paths.state.c_str());
    }
    return Fail(error);
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
    if (!ValidOptions(name, options)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::u16string queueName(name);
    if (queueName.size() > kMaxNameLength) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::optional<QueuePaths> paths = PathsFor(queueName);
    if (!paths) {
        return Fail(kErrorAccessDenied);
    }
    const bool reader = options->bReadAccess != FALSE;

    Registry& registry = TheRegistry();
    std::unique_lock registryLock(registry.m_lock);
    OpenedQueue opened;
    opened.paths = std::move(*paths);
    opened.stateFd = OpenGuardedStateFile(opened.paths.state);
    if (!opened.stateFd.Valid()) {
        return Fail(kErrorAccessDenied);
    }
    if (const DWORD error = MapStateFile(*options, opened); error != ERROR_SUCCESS) {
        return Abandon(opened, error);
    }
    if (const DWORD error = OpenHandleEnds(registry, reader, opened); error != ERROR_SUCCESS) {
        return Abandon(opened, error);
    }
    LockByte(opened.stateFd.Get(), F_UNLCK, kGuardByte, false);
    registryLock.unlock();

    const bool existed = opened.existed;
    HANDLE handle = InsertHandle(
        std::make_shared<MsgQueueObject>(std::move(queueName), reader, std::move(opened)));
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
