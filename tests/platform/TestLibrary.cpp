// Loaded by LibraryTest through LoadLibraryW.
extern "C" __attribute__((visibility("default"))) int PlatformTestAnswer() {
    return 42;
}
