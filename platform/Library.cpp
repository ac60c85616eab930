// Library loading over the dynamic linker. An HMODULE is the dlopen handle.
#include "platform/Windows.h"

#include <climits>
#include <cstdint>
#include <dlfcn.h>
#include <string>
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

void* Open(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
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
        if (!folder.empty() && access((folder + name).c_str(), F_OK) == 0) {
            module = Open(folder + name);
        }
        if (module == nullptr) {
            module = Open(name);
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
