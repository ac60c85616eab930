#include "frontend/monkey/EventLedger.h"

#include "common/FileDescriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kobalt::monkey {

namespace {

std::size_t Index(EventKind kind) {
    return static_cast<std::size_t>(kind);
}

// PIM events may be dropped by design; the handled ones must still follow the trace's order.
bool MayDrop(EventKind kind) {
    return kind == EventKind::Pim;
}

// Owns one descriptor and closes it on every path.

// The arguments of a call line, split at the top level ", " (quoted texts and records kept
// whole); nullopt when the line is not `name(...)`.
std::optional<std::vector<std::string_view>> Arguments(std::string_view call) {
    const std::size_t open = call.find('(');
    if (open == std::string_view::npos || call.empty() || call.back() != ')') {
        return std::nullopt;
    }
    std::string_view inner = call.substr(open + 1, call.size() - open - 2);
    std::vector<std::string_view> args;
    std::size_t start = 0;
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < inner.size(); ++i) {
        const char c = inner[i];
        if (quoted) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}') {
            --depth;
        } else if (c == ',' && depth == 0 && i + 1 < inner.size() && inner[i + 1] == ' ') {
            args.push_back(inner.substr(start, i - start));
            start = i + 2;
            ++i;
        }
    }
    args.push_back(inner.substr(start));
    return args;
}

std::string Quote(std::string_view line) {
    constexpr std::size_t kLongest = 160;
    std::string text(line.substr(0, kLongest));
    if (line.size() > kLongest) {
        text += "...";
    }
    return text;
}

} // namespace

const char* EventKindName(EventKind kind) {
    switch (kind) {
    case EventKind::Connect:
        return "connect";
    case EventKind::Pair:
        return "pair";
    case EventKind::Discovery:
        return "discovery";
    case EventKind::HandsFree:
        return "hands-free";
    case EventKind::Pim:
        return "pim";
    case EventKind::Count:
        break;
    }
    return "?";
}

std::optional<EventKind> CallKind(std::string_view call) {
    struct Name {
        std::string_view prefix;
        EventKind kind;
    };
    static constexpr Name kNames[] = {
        {"ConnectEventCallback(", EventKind::Connect},
        {"PairEventCallback(", EventKind::Pair},
        {"DiscoveryCallback(", EventKind::Discovery},
        {"HfEventCallback(", EventKind::HandsFree},
        {"PimCallback(", EventKind::Pim},
    };
    for (const Name& name : kNames) {
        if (call.starts_with(name.prefix)) {
            return name.kind;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> TraceCallback(std::string_view line) {
    constexpr std::string_view kArrow = "-> ";
    if (!line.starts_with(kArrow)) {
        return std::nullopt;
    }
    line.remove_prefix(kArrow.size());
    if (!CallKind(line)) {
        return std::nullopt;
    }
    return line;
}

bool SameEvent(std::string_view trace, std::string_view handled) {
    if (trace == handled) {
        return true;
    }
    if (handled.find('?') == std::string_view::npos ||
        trace.substr(0, trace.find('(')) != handled.substr(0, handled.find('('))) {
        return false;
    }
    const auto made = Arguments(trace);
    const auto seen = Arguments(handled);
    if (!made || !seen || made->size() != seen->size()) {
        return false;
    }
    for (std::size_t i = 0; i < made->size(); ++i) {
        const std::string_view m = (*made)[i];
        const std::string_view h = (*seen)[i];
        if (h == "?" ? (m == "0" || m == "null") : m != h) {
            return false;
        }
    }
    return true;
}

void TraceParser::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            m_partial.append(bytes);
            return;
        }
        m_partial.append(bytes.substr(0, end));
        bytes.remove_prefix(end + 1);
        if (std::optional<std::string_view> call = TraceCallback(m_partial)) {
            m_calls.emplace_back(*call);
        }
        m_partial.clear();
    }
}

std::vector<std::string> TraceParser::Take() {
    return std::exchange(m_calls, {});
}

TraceStatus TraceFile::Update() {
    // Non-blocking, so that a FIFO named as the trace cannot stall the check.
    common::FileDescriptor file(::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (file.Get() < 0) {
        m_problem = m_path + ": " + std::strerror(errno);
        return TraceStatus::Unreadable;
    }
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        m_problem = m_path + ": not a regular file";
        return TraceStatus::Unreadable;
    }
    if (static_cast<std::uint64_t>(info.st_size) < m_offset) {
        m_problem = m_path + ": the trace shrank (truncated or replaced)";
        return TraceStatus::Unreadable;
    }
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::pread(file.Get(), buffer, sizeof buffer, static_cast<off_t>(m_offset));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_problem = m_path + ": " + std::strerror(errno);
            return TraceStatus::Unreadable;
        }
        if (n == 0) {
            return TraceStatus::Ok;
        }
        m_offset += static_cast<std::uint64_t>(n);
        m_parser.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
}

TraceStatus CreateTrace(const std::string& path) {
    common::FileDescriptor file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0600));
    return file.Get() >= 0 ? TraceStatus::Ok : TraceStatus::Unreadable;
}

void HandledLog::Add(std::string_view line) {
    std::lock_guard lock(m_mutex);
    m_lines.emplace_back(line);
}

std::vector<std::string> HandledLog::Take() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_lines, {});
}

void EventLedger::AddCallbacks(const std::vector<std::string>& calls) {
    for (const std::string& call : calls) {
        if (std::optional<EventKind> kind = CallKind(call)) {
            m_kinds[Index(*kind)].made.push_back(call);
            ++m_made[Index(*kind)];
        }
    }
}

void EventLedger::AddHandled(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (std::optional<EventKind> kind = CallKind(line)) {
            m_kinds[Index(*kind)].handled.push_back(line);
            ++m_handled[Index(*kind)];
        }
    }
}

bool EventLedger::CaughtUp(const EventCounts& made) const {
    for (std::size_t i = 0; i < kEventKinds; ++i) {
        if (!MayDrop(static_cast<EventKind>(i)) && m_handled[i] < made[i]) {
            return false;
        }
    }
    return true;
}

std::string EventLedger::Check(const EventCounts& made) {
    std::string problems;
    const auto add = [&](EventKind kind, const std::string& problem) {
        problems +=
            std::string(problems.empty() ? "" : "; ") + EventKindName(kind) + ": " + problem;
    };
    for (std::size_t i = 0; i < kEventKinds; ++i) {
        const auto kind = static_cast<EventKind>(i);
        Sequences& s = m_kinds[i];
        if (MayDrop(kind)) {
            while (!s.handled.empty()) {
                std::size_t at = 0;
                while (at < s.made.size() && !SameEvent(s.made[at], s.handled.front())) {
                    ++at;
                }
                if (at == s.made.size()) {
                    add(kind, "handled " + Quote(s.handled.front()) + " after event " +
                                  std::to_string(s.matched) +
                                  ", but the SDK made no such event after that one");
                    break;
                }
                // The ones skipped were dropped while their dialog was closed or closing.
                s.made.erase(s.made.begin(), s.made.begin() + static_cast<std::ptrdiff_t>(at + 1));
                s.handled.pop_front();
                s.matched += at + 1;
            }
            continue;
        }
        bool differs = false;
        while (!s.made.empty() && !s.handled.empty()) {
            if (!SameEvent(s.made.front(), s.handled.front())) {
                add(kind, "event " + std::to_string(s.matched + 1) + " was " +
                              Quote(s.made.front()) + " but the console handled " +
                              Quote(s.handled.front()));
                differs = true;
                break;
            }
            s.made.pop_front();
            s.handled.pop_front();
            ++s.matched;
        }
        if (differs) {
            continue;
        }
        if (!s.handled.empty()) {
            add(kind, "handled " + Quote(s.handled.front()) + " as event " +
                          std::to_string(s.matched + 1) + ", which the SDK never made");
        } else if (s.matched < made[i]) {
            add(kind, std::to_string(made[i] - s.matched) + " of " + std::to_string(made[i]) +
                          " events never handled, from " + Quote(s.made.front()));
        }
    }
    return problems;
}

} // namespace kobalt::monkey
