// The one folder of a user's runtime files: named message queues and control sockets.
//
// Candidates, in order:
//   1. $XDG_RUNTIME_DIR/kobalt, when XDG_RUNTIME_DIR is an absolute path to a directory of this
//      user that no one else may write to;
//   2. $HOME/.kobalt-run, when HOME is an absolute path to a directory of this user that no one
//      else may write to;
//   3. /tmp/kobalt-EUID, the last resort: another user may have taken that name first.
// A candidate is usable when it is (or can be created as) a real directory, not a symbolic
// link, owned by the effective user and writable by no one else; group and other read access is
// taken away. A candidate longer than kLongestRuntimeFolder is skipped, so every socket name
// fits. No other user can create or replace the first two; a process that creates files and
// one that looks for them apply the same order, so both settle on the first usable candidate.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kobalt::common {

// Leaves 64 bytes of a socket address (108) for "/" and the longest file name in the folder.
inline constexpr std::size_t kLongestRuntimeFolder = 44;

// The candidate folders for the present environment, most preferred first; never empty, since
// the last resort always fits.
[[nodiscard]] std::vector<std::string> RuntimeFolderCandidates();

enum class FolderAction { Create, LookOnly };

// Why `path` cannot serve as a private folder of this user, or an empty string when it can.
// With FolderAction::Create a missing folder is created with mode 0700.
[[nodiscard]] std::string CheckPrivateFolder(const std::string& path, FolderAction action);

struct RuntimeFolder {
    std::string path;    // empty when no candidate is usable
    std::string problem; // why not, candidate by candidate, when `path` is empty
};

// The first usable candidate, created when missing. For processes that make files there.
[[nodiscard]] RuntimeFolder PrepareRuntimeFolder();

// Every candidate that already exists and is usable, in order, without creating any. For
// processes that look for files other processes made.
[[nodiscard]] std::vector<std::string> ExistingRuntimeFolders();

} // namespace kobalt::common
