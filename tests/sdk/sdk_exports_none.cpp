// Stands in for a KOBALT.dll that exports none of the entry points, only near misses that an
// inexact look-up would take for KOBALT_Init.
#define KOBALT_TEST_EXPORT extern "C" __attribute__((visibility("default")))

KOBALT_TEST_EXPORT int KOBALT_init() {
    return 0;
}
KOBALT_TEST_EXPORT int KOBALT_Init_() {
    return 0;
}
