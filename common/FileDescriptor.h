// The one owner of an open file descriptor: closes it once, when the owner goes.
#pragma once

#include <unistd.h>
#include <utility>

namespace kobalt::common {

class FileDescriptor {
public:
    FileDescriptor() = default;
    // Takes `fd` (-1 for none) into this owner.
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { Reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            Reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    bool Valid() const { return m_fd >= 0; }
    int Get() const { return m_fd; }

    // Closes the descriptor held, if any.
    void Reset() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

private:
    int m_fd = -1; // -1 when none is held
};

} // namespace kobalt::common
