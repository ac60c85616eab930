#include "frontend/shell/LineReader.h"

#include "common/RuntimeFolder.h"
#include "frontend/shell/Completion.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <readline/history.h>
#include <readline/readline.h>

namespace kobalt::shell {

namespace {

constexpr int kHistoryLines = 1000;
constexpr off_t kLargestHistoryFile = 1 << 20;
// Plain input: a line longer than this is taken as it is.
constexpr std::size_t kLongestPlainLine = 1 << 20;

// readline's callbacks are plain functions: they reach the one reader through these. All are
// constant-initialised: a reader may be made during static initialisation.
const LineReader::Completer* g_completer = nullptr;
std::string* g_line = nullptr; // the reader's line once one has come
bool g_haveLine = false;
bool g_ended = false;
// Set by the SIGINT handler, which runs on whichever thread the signal finds (the console's,
// often) and read by the reader's: a lock-free atomic, safe in a handler and across threads.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);
struct sigaction g_oldInterrupt {};

void OnLine(char* text) {
    if (text == nullptr) {
        g_ended = true;
    } else {
        if (g_line != nullptr) {
            *g_line = text;
            g_haveLine = true;
        }
        std::free(text);
    }
    // Off until the command has run, so its output does not mix with a prompt.
    rl_callback_handler_remove();
}

void OnInterrupt(int) {
    g_interrupted.store(true, std::memory_order_relaxed);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return prefix.size() <= text.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// Tab: completes the word as far as the candidates agree; a single candidate gets a blank
// after it. When nothing can be added, the candidates are listed under the line.
int CompleteKey(int, int) {
    if (g_completer == nullptr || !*g_completer) {
        return 0;
    }
    const std::string line(rl_line_buffer, static_cast<std::size_t>(rl_point));
    const auto [start, candidates] = (*g_completer)(line);
    if (candidates.empty() || start > line.size()) {
        rl_ding();
        return 0;
    }
    const std::string typed = line.substr(start);
    const std::string replacement =
        candidates.size() == 1 ? candidates.front() + ' ' : CommonPrefix(candidates);
    // A caption gains its opening quote: "ST" may become "\"START\"".
    const bool extends =
        StartsWithNoCase(replacement, typed) ||
        (replacement.starts_with('"') && StartsWithNoCase(replacement, '"' + typed));
    if (candidates.size() == 1 || (replacement.size() > typed.size() && extends)) {
        rl_begin_undo_group();
        rl_delete_text(static_cast<int>(start), rl_point);
        rl_point = static_cast<int>(start);
        rl_insert_text(replacement.c_str());
        rl_end_undo_group();
        return 0;
    }
    std::vector<char*> matches;
    matches.push_back(const_cast<char*>(typed.c_str()));
    std::size_t longest = 0;
    for (const std::string& candidate : candidates) {
        matches.push_back(const_cast<char*>(candidate.c_str()));
        longest = std::max(longest, candidate.size());
    }
    matches.push_back(nullptr);
    rl_display_match_list(matches.data(), static_cast<int>(candidates.size()),
                          static_cast<int>(longest));
    rl_forced_update_display();
    return 0;
}

// Creates the folders of `path` that are missing, each 0700.
bool MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

// A regular file of ours (or none yet), never a link, FIFO or device: safe to hand to readline.
bool UsableHistoryFile(const std::string& path, bool create) {
    const int fd =
        ::open(path.c_str(),
               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const bool usable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                        info.st_uid == ::geteuid() && info.st_size <= kLargestHistoryFile &&
                        ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return usable;
}

} // namespace

std::string LineReader::HistoryPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string folder;
    if (state != nullptr && state[0] == '/') {
        folder = std::string(state) + "/kobalt";
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        folder = std::string(home) + "/.local/state/kobalt";
    } else {
        return {};
    }
    return folder + "/shell-history";
}

LineReader::LineReader(std::string prompt, Completer completer) : m_prompt(std::move(prompt)) {
    m_interactive = ::isatty(STDIN_FILENO) != 0 && ::isatty(STDOUT_FILENO) != 0;
    if (!m_interactive) {
        return;
    }
    m_completer = std::move(completer);
    g_completer = &m_completer;
    g_line = &m_line;
    g_haveLine = false;
    g_ended = false;
    rl_readline_name = "KOBALTDemo";
    // Ctrl-C clears the line (see Read) instead of ending the console without closing it.
    rl_catch_signals = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &g_oldInterrupt);
    using_history();
    stifle_history(kHistoryLines);
    const std::string path = HistoryPath();
    if (!path.empty()) {
        const std::string folder = path.substr(0, path.rfind('/'));
        if (MakeFolders(folder) &&
            common::CheckPrivateFolder(folder, common::FolderAction::LookOnly).empty() &&
            UsableHistoryFile(path, true)) {
            m_historyPath = path;
            read_history(path.c_str());
        }
    }
}

LineReader::~LineReader() {
    Finish();
}

void LineReader::Finish() {
    if (!m_interactive) {
        return;
    }
    m_interactive = false;
    Remove();
    if (!m_historyPath.empty() && UsableHistoryFile(m_historyPath, true)) {
        write_history(m_historyPath.c_str());
        history_truncate_file(m_historyPath.c_str(), kHistoryLines);
    }
    ::sigaction(SIGINT, &g_oldInterrupt, nullptr);
    g_completer = nullptr;
    g_line = nullptr;
}

void LineReader::Install() {
    if (!m_installed) {
        rl_callback_handler_install(m_prompt.c_str(), OnLine);
        // Bound after readline has read its init file, which would otherwise bind Tab anew.
        rl_bind_key('\t', CompleteKey);
        m_installed = true;
    }
}

void LineReader::Remove() {
    if (m_installed) {
        rl_callback_handler_remove();
        m_installed = false;
    }
}

LineReader::Status LineReader::Read(std::chrono::milliseconds timeout, std::string& line) {
    if (m_interactive) {
        Install();
        if (g_interrupted.exchange(false, std::memory_order_relaxed)) {
            // Drops what was typed and starts afresh on a new line, as a shell does. The undo
            // list goes first and the history position returns past the newest line: were the
            // line recalled from history, accepting the next line would otherwise "undo" that
            // entry into what this replacement left, an empty line.
            rl_callback_sigcleanup();
            rl_free_line_state();
            rl_replace_line("", 1);
            rl_point = 0;
            history_set_pos(history_length);
            std::fputs("^C\n", rl_outstream);
            std::fflush(rl_outstream);
            rl_on_new_line();
            rl_redisplay();
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, static_cast<int>(timeout.count())) > 0) {
            rl_callback_read_char();
        }
        if (g_ended) {
            m_installed = false; // OnLine took it away
            std::fputs("\n", rl_outstream);
            std::fflush(rl_outstream);
            return Status::End;
        }
        if (g_haveLine) {
            m_installed = false;
            line = std::move(m_line);
            g_haveLine = false;
            if (!line.empty() && (history_length == 0 ||
                                  line != history_get(history_base + history_length - 1)->line)) {
                add_history(line.c_str());
            }
            return Status::Line;
        }
        return Status::Idle;
    }
    for (;;) {
        const std::size_t end = m_pending.find('\n');
        if (end != std::string::npos || m_pending.size() > kLongestPlainLine ||
            (m_inputEnded && !m_pending.empty())) {
            const std::size_t cut = std::min(end, m_pending.size());
            line = m_pending.substr(0, cut);
            m_pending.erase(0, cut == m_pending.size() ? cut : cut + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return Status::Line;
        }
        if (m_inputEnded) {
            return Status::End;
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, static_cast<int>(timeout.count())) <= 0) {
            return Status::Idle;
        }
        char chunk[4096];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            return Status::Idle;
        }
        if (n <= 0) {
            m_inputEnded = true;
            continue;
        }
        m_pending.append(chunk, static_cast<std::size_t>(n));
    }
}

void LineReader::Print(const std::vector<std::string>& lines) {
    if (lines.empty()) {
        return;
    }
    std::string text;
    for (const std::string& line : lines) {
        text += line + '\n';
    }
    if (!m_installed) {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
        return;
    }
    // Clears the prompt's line, prints, and draws the prompt with what was typed under it.
    rl_clear_visible_line();
    std::fputs(text.c_str(), rl_outstream);
    std::fflush(rl_outstream);
    rl_on_new_line();
    rl_redisplay();
}

} // namespace kobalt::shell
