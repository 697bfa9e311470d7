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
// elsewhere the game lives in a Wine prefix: $WINEPREFIX when set, else the
// first prefix of the user's that holds the levels folder (see
// wineprefixes.h), else ~/.wine. Its folders are matched as Wine matches them.
QString hostPath(const QString &windowsPath);

// Starts looking for the game's prefix on a thread of its own, so that the
// search runs while Qt starts; the first hostPath waits for its answer. On
// Windows there is nothing to look for.
void beginGameSearch();

} // namespace platform
