// Loads the library named by argv[1] with LoadLibraryW and prints "loaded" or "failed", then
// the debug output. The library tests run copies of it from folders of their own.
#include "platform/DeviceServices.h"
#include "platform/Windows.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string name = argv[1];
    const std::u16string wide(name.begin(), name.end());
    std::puts(LoadLibraryW(wide.c_str()) != nullptr ? "loaded" : "failed");
    for (const std::u16string& line : kobalt::device::DebugLines()) {
        std::puts(std::string(line.begin(), line.end()).c_str());
    }
    return 0;
}
