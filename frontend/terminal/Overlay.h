// The front end's own panels drawn over the desktop: the key list (F1) and the question before
// quitting. They lie over the windows, never over the status line.
#pragma once

#include "frontend/terminal/Renderer.h"

#include <string>
#include <vector>

namespace kobalt::terminal {

// A framed panel with `lines` in the middle of the rows above the status line, cut to fit. The
// terminal's cursor is hidden while it shows.
void DrawPanel(Frame& frame, const std::string& title, const std::vector<std::string>& lines);

} // namespace kobalt::terminal
