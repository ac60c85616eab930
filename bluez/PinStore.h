// The pairing agent's PIN, kept across runs in the user's configuration folder:
// $XDG_CONFIG_HOME/kobalt/bluez-pin, else ~/.config/kobalt/bluez-pin. The file holds the PIN
// alone (1 to 16 printable ASCII bytes, an optional newline). A missing, unreadable or
// malformed file gives "0000" and a problem to report; it is never trusted further.
#pragma once

#include <string>
#include <string_view>

namespace kobalt::bluez {

inline constexpr std::string_view kDefaultPin = "0000";
inline constexpr std::size_t kMaxPinBytes = 16;

// Whether `pin` may be a PIN: 1 to 16 printable ASCII bytes.
bool IsValidPin(std::string_view pin);

// The file of the PIN from the environment; empty when neither variable names a folder.
std::string PinFilePath();

struct PinLoad {
    std::string pin;     // the stored PIN, or kDefaultPin
    std::string problem; // why the file was not used; empty when it was, or when there is none
};

// Reads at most a few bytes of `path`, which must be a regular file.
PinLoad LoadPin(const std::string& path);

// Writes `pin` to `path` (creating its folder, mode 0600, replaced in one rename). Returns the
// problem, empty on success.
std::string StorePin(const std::string& path, std::string_view pin);

} // namespace kobalt::bluez
