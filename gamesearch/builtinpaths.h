#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

namespace gamesearch {

// The game's levels folder, made the current directory at start-up.
inline constexpr char16_t LevelsFolder[] = u"c:\\Program Files\\Quenmark\\Vantorel\\levels";
// The renames log that the viewer starts with and the editor opens.
inline constexpr char16_t DefaultLogPath[] =
    u"c:\\Program Files\\Quenmark\\Vantorel\\levels\\Renames.txt";

// Where the game's levels folder is on this machine, and how that was found.
struct GameFolder {
    // The host path of the levels folder, spelled as the current directory
    // spells it (its links resolved); where none was found, the one the game
    // would have in Wine's default prefix.
    QString levels;
    // The host path of the renames log, the default log path as this machine
    // reaches it: in the levels folder, its name matched as Wine matches it.
    QString log;
    bool found = false;
    // Each place looked at before it, in order, as "place: why it was passed
    // over" (not there, not a Wine prefix, no levels folder, unreadable, ...).
    QStringList trail;
    QString prefix; // the Wine prefix the paths are taken from, if any

    bool operator==(const GameFolder &) const = default;
};

// How long one place the search looks at (a folder, a launcher's file) may
// keep it waiting before it is passed over as timed out. A slow disk answers
// every request within moments, however many it takes; a disk woken from
// sleep answers within the few seconds it takes to spin up, a USB disk
// behind a sleeping hub within about ten. A place silent this long is not
// coming back (an unplugged network drive, a hung FUSE mount).
inline constexpr std::chrono::milliseconds StallLimit = std::chrono::seconds(20);

// Looks for the game to the end, in this process, however long that takes:
// on Windows in "c:\Program Files" and then "c:\Program Files (x86)";
// elsewhere in `winePrefix` when it is not empty, else in the prefixes the
// launchers leave below `home` (see wineprefixes.h), else the levels folder
// is the one in `home`'s ~/.wine. Only a place that keeps it waiting longer
// than `stallLimit` is passed over, as timed out.
GameFolder findGame(const QString &home, const QString &winePrefix,
                    std::chrono::milliseconds stallLimit = StallLimit);

// Makes the game's levels folder, as the search answered it, the current one,
// where the level file names resolve. A levels folder that was not found is
// no error, and is not asked for (its file system may be the one that did not
// answer): the renames then act where the program was started.
void enterLevelsFolder(const GameFolder &game);

// Under Wine: what findGame answers when it finds nothing, without asking any
// file system: the paths the game would have in the default prefix, as
// written.
GameFolder gameNotFound(const QString &home, const QString &winePrefix);

} // namespace gamesearch
