// Loads KOBALT.dll as the console does, with its diagnostics on stdout, starts the stack once
// and says "init RESULT". A library that hangs or aborts while loading never says it.
#include "sdk/KobaltAbi.h"

#include <cstdio>
#include <dlfcn.h>
#include <unistd.h>

int main() {
    ::dup2(STDOUT_FILENO, STDERR_FILENO);
    void* library = ::dlopen(KOBALT_SIM_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::printf("dlopen failed: %s\n", ::dlerror());
        return 1;
    }
    const auto init = reinterpret_cast<KOBALT_Fn_Void>(::dlsym(library, "KOBALT_Init"));
    if (init == nullptr) {
        std::printf("no KOBALT_Init\n");
        return 1;
    }
    std::printf("init %d\n", init());
    std::fflush(stdout);
    return 0;
}
