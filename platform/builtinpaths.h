#pragma once

#include <QString>

namespace platform {

// The game's levels folder, made the current directory at start-up.
inline constexpr char16_t LevelsFolder[] = u"c:\\Program Files\\Quenmark\\Vantorel\\levels";
// The renames log that the viewer starts with and the editor opens.
inline constexpr char16_t DefaultLogPath[] =
    u"c:\\Program Files\\Quenmark\\Vantorel\\levels\\Renames.txt";

// A built-in Windows path as this machine reaches it. On Windows it stands as
// it is, or under "c:\Program Files (x86)" where only that copy is there;
// elsewhere the game lives in a Wine prefix, so "c:\..." is looked up
// under $WINEPREFIX/drive_c (default ~/.wine), with '/' between folders.
QString hostPath(const QString &windowsPath);

} // namespace platform
