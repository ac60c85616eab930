// A second console for the control tests: loads KOBALT.dll, says "ready", and exits normally
// when its stdin closes.
#include <cstdio>
#include <dlfcn.h>
#include <unistd.h>

int main() {
    if (::dlopen(KOBALT_SIM_PATH, RTLD_NOW | RTLD_LOCAL) == nullptr) {
        std::printf("dlopen failed: %s\n", ::dlerror());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    char c = 0;
    while (::read(STDIN_FILENO, &c, 1) > 0) {
    }
    return 0;
}
