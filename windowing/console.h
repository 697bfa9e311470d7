#pragma once

namespace windowing {

// Lets the program, built as a windowed one, write to the console it was
// started from: on Windows such a program has none of its own, so output
// that no one redirected goes to the starting console, if there is one.
// Elsewhere every program has its starter's streams and nothing changes.
void useStartingConsole();

// Whether windows can be shown: on Linux the display server that Qt's
// platform `platform` (as -platform or QT_QPA_PLATFORM name it, or null for
// the default) needs must be named. Elsewhere there is always a desktop.
bool canShowWindows(const char *platform);

} // namespace windowing
