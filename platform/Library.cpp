// Library loading over the dynamic linker. An HMODULE is the dlopen handle.
//
// A bare name is looked for in two folders only, both fixed by where the running executable
// is: beside it, then in ../lib/kobalt/ (the installed layout: <prefix>/bin and
// <prefix>/lib/kobalt). The dynamic linker's search path (LD_LIBRARY_PATH, ...) is never
// used, so nothing from the environment runs inside the process. The first folder that holds
// the file decides: when that file does not load, the loader's reason goes to the debug output
// and nothing else is tried.
#include "platform/Windows.h"

#include <climits>
#include <cstdint>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Library and entry-point names are ASCII in practice; anything else goes through UTF-8.
std::string ToUtf8(LPCWSTR text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.pop_back(); // the terminator
    return result;
}

// The folder of the running executable, with a trailing slash; empty when unknown.
std::string ExecutableFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return {};
    }
    const std::string exe(path, static_cast<std::size_t>(length));
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

// The installed layout's library folder, relative to the executable's folder.
constexpr const char* kInstalledLibraryFolder = "../lib/kobalt/";

void Report(const std::string& path, const std::string& reason) {
    const std::string line = "Load " + path + ": " + reason;
    const std::u16string wide(line.begin(), line.end());
    NKDbgPrintfW(u"%s", wide.c_str());
}

// Loads `path` (which holds a '/'), reporting why when it fails. Only regular files are
// handed to the loader: opening a FIFO or a device could block or have effects.
void* Open(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        Report(path, "not a regular file");
        return nullptr;
    }
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = dlerror();
        Report(path, reason != nullptr ? reason : "unknown reason");
    }
    return module;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

} // namespace

HMODULE LoadLibraryW(LPCWSTR fileName) {
    if (fileName == nullptr || *fileName == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::string name = ToUtf8(fileName);
    void* module = nullptr;
    if (name.find('/') != std::string::npos) {
        module = Open(name);
    } else {
        if (name.find('.') == std::string::npos) {
            name += ".dll";
        }
        const std::string folder = ExecutableFolder();
        for (const std::string& candidate :
             {folder + name, folder + kInstalledLibraryFolder + name}) {
            if (!folder.empty() && Exists(candidate)) {
                module = Open(candidate);
                break;
            }
        }
    }
    if (module == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HMODULE>(module);
}

// Ordinals (a "name" below 0x10000, as MAKEINTRESOURCE makes) are not supported and fail like
// a missing name.
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
    if (module == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (reinterpret_cast<std::uintptr_t>(procName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* symbol = dlsym(module, ToUtf8(procName).c_str());
    if (symbol == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

// A null module does nothing and returns FALSE with ERROR_INVALID_HANDLE, as does a module the
// dynamic linker does not know.
BOOL FreeLibrary(HMODULE module) {
    if (module == nullptr || dlclose(module) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
