#include "common/DebugChannels.h"

namespace kobalt::common {

bool DebugChannelOn(const char* value, std::string_view channel) {
    if (value == nullptr) {
        return false;
    }
    bool on = false;
    std::string_view rest(value);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string_view entry = rest.substr(0, comma);
        rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
        bool set = true;
        if (!entry.empty() && (entry.front() == '+' || entry.front() == '-')) {
            set = entry.front() == '+';
            entry.remove_prefix(1);
        }
        if (entry == channel || entry == "all") {
            on = set;
        }
    }
    return on;
}

} // namespace kobalt::common
