#pragma once

#include <optional>

namespace commandline {

// Runs what the program's arguments ask for without a window and returns the
// exit status: 0 when it was done, 1 when a rename failed, 2 for a usage
// error or for no display to show the window on. Returns nothing when they
// ask for the window (no argument, or only Qt's own window options) and
// there is a display for it.
std::optional<int> run(int argc, char *argv[]);

} // namespace commandline
