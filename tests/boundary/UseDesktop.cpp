// A front end's use of kobalt_desktop: the desktop, the device services and the house helpers
// link without the console, the framework or the platform on the include path.
#include "common/Utf8.h"
#include "platform/Desktop.h"
#include "platform/DeviceServices.h"

#include <cstdio>

int main() {
    const kobalt::desktop::Snapshot snapshot = kobalt::desktop::TakeSnapshot();
    std::printf("%zu windows, time scale %g, %zu UTF-16 units\n", snapshot.windows.size(),
                kobalt::device::TimeScale(),
                kobalt::common::Utf8ToUtf16Replacing("\xC3\xA9").size());
    return 0;
}
