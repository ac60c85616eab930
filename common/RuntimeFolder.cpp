#include "common/RuntimeFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace kobalt::common {
namespace {

// True when `path` names a directory (symbolic links followed) of this user that no one else
// may write to; such a parent cannot have our folder swapped under it.
bool TrustedParent(const char* path) {
    if (path == nullptr || path[0] != '/') {
        return false;
    }
    struct stat info {};
    return ::stat(path, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string Describe(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

} // namespace

std::vector<std::string> RuntimeFolderCandidates() {
    std::vector<std::string> candidates;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (TrustedParent(runtime)) {
        candidates.push_back(std::string(runtime) + "/kobalt");
    }
    const char* home = std::getenv("HOME");
    if (TrustedParent(home)) {
        candidates.push_back(std::string(home) + "/.kobalt-run");
    }
    candidates.push_back("/tmp/kobalt-" + std::to_string(::geteuid()));
    std::erase_if(candidates,
                  [](const std::string& path) { return path.size() > kLongestRuntimeFolder; });
    return candidates;
}

std::string CheckPrivateFolder(const std::string& path, FolderAction action) {
    if (action == FolderAction::Create && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return Describe("cannot create " + path);
    }
    // lstat: a symbolic link is refused, wherever it points.
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return Describe("cannot inspect " + path);
    }
    if (!S_ISDIR(info.st_mode)) {
        return path + " is not a directory";
    }
    if (info.st_uid != ::geteuid()) {
        return path + " belongs to another user";
    }
    // Anyone else who could write there may have left files behind.
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return path + " is writable by others";
    }
    if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) {
        return Describe("cannot make " + path + " private");
    }
    return {};
}

RuntimeFolder PrepareRuntimeFolder() {
    RuntimeFolder result;
    for (const std::string& candidate : RuntimeFolderCandidates()) {
        std::string problem = CheckPrivateFolder(candidate, FolderAction::Create);
        if (problem.empty()) {
            result.path = candidate;
            result.problem.clear();
            return result;
        }
        result.problem += (result.problem.empty() ? "" : "; ") + problem;
    }
    if (result.problem.empty()) {
        result.problem = "no folder for runtime files";
    }
    return result;
}

std::vector<std::string> ExistingRuntimeFolders() {
    std::vector<std::string> folders;
    for (const std::string& candidate : RuntimeFolderCandidates()) {
        if (CheckPrivateFolder(candidate, FolderAction::LookOnly).empty()) {
            folders.push_back(candidate);
        }
    }
    return folders;
}

} // namespace kobalt::common
