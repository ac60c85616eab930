#include "SimLibrary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <dlfcn.h>
#include <unistd.h>

namespace kobalt::sim::test {

SimLibrary& SimLibrary::Get() {
    static SimLibrary library;
    return library;
}

SimLibrary::SimLibrary() {
    // Catch stderr around dlopen: the library reports a bad environment while it loads.
    std::fflush(stderr);
    const int savedStderr = ::dup(STDERR_FILENO);
    std::FILE* capture = std::tmpfile();
    if (savedStderr < 0 || capture == nullptr) {
        ADD_FAILURE() << "cannot capture stderr";
    } else {
        ::dup2(::fileno(capture), STDERR_FILENO);
    }

    m_handle = ::dlopen(KOBALT_SIM_PATH, RTLD_NOW | RTLD_LOCAL);
    const char* error = m_handle == nullptr ? ::dlerror() : nullptr;

    std::fflush(stderr);
    if (savedStderr >= 0 && capture != nullptr) {
        ::dup2(savedStderr, STDERR_FILENO);
        std::rewind(capture);
        char chunk[256];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, capture)) > 0) {
            m_loadMessages.append(chunk, got);
        }
    }
    if (capture != nullptr) {
        std::fclose(capture);
    }
    if (savedStderr >= 0) {
        ::close(savedStderr);
    }
    if (m_handle == nullptr) {
        ADD_FAILURE() << "dlopen " << KOBALT_SIM_PATH << ": " << error;
    }
}

void* SimLibrary::Symbol(const char* name) const {
    return m_handle == nullptr ? nullptr : ::dlsym(m_handle, name);
}

} // namespace kobalt::sim::test
