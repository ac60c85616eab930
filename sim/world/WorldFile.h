// The world file: the devices of the simulated radio, one record a line (docs/phone.md).
//
//   # comment
//   device 66:55:44:33:22:11 "Pixel 7" hf,a2dp,avrcp,spp,pbap paired in-range
//
// A line is a keyword and its fields in the word syntax of Words.h. Each keyword is one kind of
// record; kinds for a phone's contacts, call logs, media player, dial-up tables and the
// adapter's settings will join `device` as further keywords.
#pragma once

#include "sim/Status.h"
#include "sim/pim/PimWorld.h"
#include "sim/world/World.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

// Longest device name, in bytes of UTF-8: what a Bluetooth name can hold.
inline constexpr std::size_t kMaxNameBytes = 248;

struct WorldParse {
    World world;                    // the devices read; empty when the text is malformed
    int line = 0;                   // 1-based line of the first problem; 0 when there is none
    std::string problem;            // what is wrong on that line
    PimWorld pim;                   // the phone's contacts and call logs; empty when malformed
    std::vector<std::string> notes; // "LINE: ..." for each text cut to fit its field
};

// Reads a whole world file. The first malformed line ends the reading.
// `directory` is where the file lies, for the files it names (vcard), which come from `files`
// (the file system when none is given).
WorldParse ParseWorld(std::string_view text, const std::string& directory = {});
WorldParse ParseWorld(std::string_view text, const std::string& directory, const FileSource& files);

// A world file read from `files` (at most kMaxWorldFileBytes) and parsed. `problem` is
// "PATH: REASON" when it cannot be read, or "PATH:LINE: REASON" when it is malformed; then the
// world and the phone's data are empty.
struct WorldFileLoad {
    WorldParse parse;
    std::string problem; // empty when the world was read
};
WorldFileLoad LoadWorldFile(const std::string& path, const FileSource& files);

// The fields of a device record after its keyword: ADDR NAME SERVICES [paired|unpaired]
// [in-range|out-of-range]; unpaired and in range unless said. Also the arguments of the control
// command add-device.
Result<Device> ParseDeviceFields(const std::vector<std::string>& fields);

// `device ADDR "NAME" SERVICES paired|unpaired in-range|out-of-range`, as ParseWorld reads it.
std::string FormatDevice(const Device& device);

// The built-in world, in the file's syntax.
std::string_view DefaultWorldText();

} // namespace kobalt::sim
