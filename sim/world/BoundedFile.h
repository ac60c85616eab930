// Reading files the user names (world files, vCard files) without trusting them: a folder, a
// FIFO, a device or a /proc file must neither hang, nor grow without end, nor throw.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace kobalt::sim {

// Largest world or vCard file read, in bytes.
inline constexpr std::size_t kMaxWorldFileBytes = std::size_t{64} << 20;

enum class FileReadError {
    None,
    CannotOpen, // open failed (missing, no permission, ...)
    NotRegular, // a folder, FIFO, device or socket
    TooLarge,   // more than the limit; reading stopped one byte past it
    CannotRead, // read failed part way (an I/O error, /proc/self/mem)
};

struct [[nodiscard]] FileRead {
    FileReadError error = FileReadError::None;
    std::string bytes;   // the whole file when error is None; empty otherwise
    std::string problem; // "cannot read: REASON", "not a regular file", ...; empty when read

    bool Ok() const { return error == FileReadError::None; }
};

// Reads all of the regular file at `path`, at most `maxBytes`. Opens without blocking (a FIFO
// or device never waits for a peer), checks the opened file itself, and counts what it reads
// rather than trusting st_size (/proc files say 0 and may be endless).
FileRead ReadBoundedFile(const std::string& path, std::size_t maxBytes);

// Where the world loader gets the files a world names; tests and fuzz targets hold them in
// memory.
class FileSource {
public:
    virtual ~FileSource() = default;
    virtual FileRead Read(const std::string& path, std::size_t maxBytes) const = 0;
};

// Reads from the file system with ReadBoundedFile.
class DiskFiles final : public FileSource {
public:
    FileRead Read(const std::string& path, std::size_t maxBytes) const override {
        return ReadBoundedFile(path, maxBytes);
    }
};

// Files held in memory by path (tests, fuzz targets); `fallback`, when set, answers every
// other path. The limit applies as on disk.
class MemoryFiles final : public FileSource {
public:
    std::map<std::string, std::string> files;
    const std::string* fallback = nullptr;

    FileRead Read(const std::string& path, std::size_t maxBytes) const override {
        const auto it = files.find(path);
        const std::string* bytes = it != files.end() ? &it->second : fallback;
        if (bytes == nullptr) {
            return {FileReadError::CannotOpen, {}, "cannot read: No such file or directory"};
        }
        if (bytes->size() > maxBytes) {
            return {FileReadError::TooLarge,
                    {},
                    "too large (more than " + std::to_string(maxBytes) + " bytes)"};
        }
        return {FileReadError::None, *bytes, {}};
    }
};

} // namespace kobalt::sim
