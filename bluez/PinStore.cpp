#include "bluez/PinStore.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kobalt::bluez {
namespace {

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Creates `folder` and its missing parents, owner-only.
bool MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

} // namespace

bool IsValidPin(std::string_view pin) {
    if (pin.empty() || pin.size() > kMaxPinBytes) {
        return false;
    }
    for (const char c : pin) {
        if (c < 0x21 || c > 0x7e) {
            return false;
        }
    }
    return true;
}

std::string PinFilePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/kobalt/bluez-pin";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.config/kobalt/bluez-pin";
    }
    return {};
}

PinLoad LoadPin(const std::string& path) {
    PinLoad load{std::string(kDefaultPin), {}};
    if (path.empty()) {
        return load;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) {
            load.problem = Errno(path);
        }
        return load;
    }
    struct stat info {};
    char buffer[kMaxPinBytes + 2];
    ssize_t length = -1;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        load.problem = path + ": not a regular file";
    } else if ((length = read(fd, buffer, sizeof buffer)) < 0) {
        load.problem = Errno(path);
    }
    close(fd);
    if (!load.problem.empty()) {
        return load;
    }
    std::string_view text(buffer, static_cast<std::size_t>(length));
    if (text.ends_with('\n')) {
        text.remove_suffix(1);
    }
    if (!IsValidPin(text)) {
        load.problem = path + ": not a PIN of 1 to 16 printable characters";
        return load;
    }
    load.pin = std::string(text);
    return load;
}

std::string StorePin(const std::string& path, std::string_view pin) {
    if (path.empty()) {
        return "no configuration folder (neither XDG_CONFIG_HOME nor HOME is set)";
    }
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) {
        return Errno(path.substr(0, slash));
    }
    const std::string temporary = path + ".new";
    const int fd =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return Errno(temporary);
    }
    const std::string text = std::string(pin) + "\n";
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(temporary.c_str(), path.c_str()) != 0) {
        std::string problem = Errno(path);
        unlink(temporary.c_str());
        return problem;
    }
    return {};
}

} // namespace kobalt::bluez
