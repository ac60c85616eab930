// Stands in for a KOBALT.dll that exports every entry point but KOBALT_HFAP_GetAudioStatus.
// Each export takes no arguments and returns its 1-based slot number, so a caller can tell
// which export a slot holds. Only the no-argument slots may be called through.
#include "sdk/SdkEntryPoints.h"

namespace {
#define KOBALT_TEST_INDEX(name, fn, failure) kIndexOf_##name,
enum : int { KOBALT_SDK_ENTRY_POINTS(KOBALT_TEST_INDEX) };
#undef KOBALT_TEST_INDEX
} // namespace

// Renames the withheld export; the ## operands below still see the real name.
#define KOBALT_HFAP_GetAudioStatus KOBALT_HFAP_GetAudioStatus_Withheld

#define KOBALT_TEST_EXPORT(name, fn, failure)                                                      \
    extern "C" __attribute__((visibility("default"))) int name() {                                 \
        return kIndexOf_##name + 1;                                                                \
    }
KOBALT_SDK_ENTRY_POINTS(KOBALT_TEST_EXPORT)
#undef KOBALT_TEST_EXPORT
