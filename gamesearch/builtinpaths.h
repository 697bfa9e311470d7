#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

namespace platform {

// The game's levels folder, made the current directory at start-up.
inline constexpr char16_t LevelsFolder[] = u"c:\\Program Files\\Quenmark\\Vantorel\\levels";
// The renames log that the viewer starts with and the editor opens.
inline constexpr char16_t DefaultLogPath[] =
    u"c:\\Program Files\\Quenmark\\Vantorel\\levels\\Renames.txt";

// Where the game's levels folder is on this machine, and how that was found.
struct GameFolder {
    // The host path of the levels folder; where none was found, the one the
    // game would have in Wine's default prefix.
    QString levels;
    bool found = false;
    // Each place looked at before it, in order, as "place: why it was passed
    // over" (not there, not a Wine prefix, no levels folder, unreadable, ...).
    QStringList trail;
    QString prefix; // the Wine prefix the paths are taken from, if any

    // A built-in Windows path as this machine reaches it: below the levels
    // folder, from the folder found, names matched as Wine matches them.
    QString hostPath(const QString &windowsPath) const;
    bool operator==(const GameFolder &) const = default;
};

// How long the main window's load waits for the game search at most. A search
// that has not answered by then counts as finding nothing (see gameFolder).
inline constexpr std::chrono::milliseconds SearchWait{200};

// Looks for the game to the end, however long that takes: on Windows in
// "c:\Program Files" and then "c:\Program Files (x86)"; elsewhere in
// $WINEPREFIX when set, else in the prefixes the launchers leave (see
// wineprefixes.h), else the levels folder is the one in ~/.wine.
GameFolder findGame();

// Starts the search for the game on threads of its own, so that it runs while
// Qt starts. Nothing to do on Windows.
void beginGameSearch();

// The game folder the program uses: the answer of the search begun for this
// home and $WINEPREFIX (begun now if none was), waited for until SearchWait
// after its start at most. A search that has not answered by then, stuck on
// a file system that does not answer, is passed over as finding nothing, and
// its late answer is never taken: the folder stays the one the window shows.
// Each launcher is searched on a thread of its own; where one has not
// answered in time, the first later one that found the game is taken.
GameFolder gameFolder();

// gameFolder().hostPath(windowsPath).
QString hostPath(const QString &windowsPath);

} // namespace platform
