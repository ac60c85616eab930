#include "common/TraceSink.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>

namespace kobalt::common {

std::string TraceRecord(std::uint64_t monotonicNs, std::string_view line) {
    std::string record = std::to_string(monotonicNs);
    record += ' ';
    record.append(line.substr(0, kMaxTraceRecord - std::min(record.size(), kMaxTraceRecord)));
    return record;
}

ParsedTraceRecord ParseTraceRecord(std::string_view record) {
    const std::size_t blank = record.find(' ');
    if (blank == 0 || blank == std::string_view::npos || blank > 20) {
        return {std::nullopt, record};
    }
    std::uint64_t ns = 0;
    const char* end = record.data() + blank;
    const auto [at, error] = std::from_chars(record.data(), end, ns);
    if (error != std::errc() || at != end) {
        return {std::nullopt, record};
    }
    return {ns, record.substr(blank + 1)};
}

FileDescriptor OpenTraceSink(const char* value, std::string& problem) {
    problem.clear();
    if (value == nullptr || *value == '\0') {
        return {};
    }
    const std::string_view text(value);
    int fd = -1;
    const auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), fd);
    if (error != std::errc() || at != text.data() + text.size() || fd < 0) {
        problem = std::string(kTraceSinkVariable) + ": not a descriptor number";
        return {};
    }
    struct stat info {};
    int type = 0;
    int domain = 0;
    socklen_t length = sizeof type;
    socklen_t domainLength = sizeof domain;
    if (::fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode) ||
        ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_SEQPACKET ||
        ::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &domainLength) != 0 || domain != AF_UNIX) {
        problem = std::string(kTraceSinkVariable) + ": descriptor " + std::to_string(fd) +
                  " is not a local packet socket";
        return {};
    }
    FileDescriptor copy(::fcntl(fd, F_DUPFD_CLOEXEC, 3));
    if (!copy.Valid()) {
        problem = std::string(kTraceSinkVariable) + ": " + std::strerror(errno);
    }
    return copy;
}

std::uint64_t MonotonicNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(now.tv_nsec);
}

} // namespace kobalt::common
