#pragma once

namespace windowing {

// Whether windows can be shown: on Linux the display server that Qt's
// platform `platform` (as -platform or QT_QPA_PLATFORM name it, or null for
// the default) needs must be named. Elsewhere there is always a desktop.
bool canShowWindows(const char *platform);

// Around the start of the application's display: a display or platform Qt
// cannot open (a display named but not there, a Wayland socket that is gone,
// an unknown QT_QPA_PLATFORM) ends the program with one line on standard
// error, naming what was tried and pointing to --help, and status 2, where
// Qt would abort and leave a core file. Qt's messages meanwhile are held back
// and passed on once the display is open.
void beginOpeningDisplay(const char *programPath);
void endOpeningDisplay();

} // namespace windowing
