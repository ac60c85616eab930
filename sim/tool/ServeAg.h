// kobalt-phone serve-ag: a simulated phone of its own whose hands-free audio gateway listens on
// a unix stream socket, for hands-free implementations to connect to (docs/phone.md).
#pragma once

#include <string_view>
#include <vector>

namespace kobalt::sim {

// Runs until SIGTERM or SIGINT, or until its socket file is removed or replaced. `args` are
// the words after `serve-ag`. Exit status: 0 after a clean end, 2 on usage or start problems.
int ServeAg(const std::vector<std::string_view>& args);

} // namespace kobalt::sim
