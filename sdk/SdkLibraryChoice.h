// Which KOBALT.dll the console loads, as the front end chose it from the command line
// (--sdk sim|bluez|PATH) before the SDK binding's static initialisation.
//
// Header only, so the front ends can show the choice without linking the console. Set once,
// before any thread that reads it starts.
#pragma once

#include <string>

namespace kobalt::sdk {

struct SdkLibraryChoice {
    std::u16string path = u"KOBALT.dll"; // a bare name: beside the program, then ../lib/kobalt/
    std::string label = "sim";           // "sim", "bluez" or the path given
};

inline SdkLibraryChoice& ChosenSdkLibrary() {
    static SdkLibraryChoice choice;
    return choice;
}

} // namespace kobalt::sdk
