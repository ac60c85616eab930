// A library that announces being loaded: its constructor creates the file named by
// KOBALT_TEST_MARKER. Placed where the loader must never look.
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

__attribute__((constructor)) static void AnnounceLoad() {
    if (const char* marker = std::getenv("KOBALT_TEST_MARKER"); marker != nullptr) {
        const int fd = ::open(marker, O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

extern "C" __attribute__((visibility("default"))) int PlatformTestAnswer() {
    return 7;
}
