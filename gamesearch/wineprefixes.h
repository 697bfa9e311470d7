#pragma once

#include <QByteArray>
#include <QString>

// Where the game lives on a machine that runs it under Wine.
namespace gamesearch {

class Asker;

// The host path of the built-in `windowsPath` ("c:\...") inside the Wine
// prefix `prefix`. As under Wine, each name is matched without regard to
// letter case, and "Program Files" is also looked for as "Program Files
// (x86)". The names past the deepest folder that exists stay as written;
// `found` tells whether the whole path exists.
QString pathInPrefix(const QString &prefix, const QString &windowsPath, bool *found = nullptr);

// The same below `folder` standing for the drive: "c:\a\b" is folder/a/b.
QString pathInFolder(const QString &folder, const QString &windowsPath);

// Why the search passed over a place it looked at, or what came of a
// launcher's file it read.
enum class PassedOver {
    NotThere,
    NotPrefix,
    NoLevels,
    Unreadable,
    NotRegularFile,
    TooLarge,
    NamesNoPrefix,
    Loop,
    AlreadySeen,
    Outside,
    OtherFileSystem,
    TimedOut,
    Malformed,
    NoReader,
    Read, // a launcher's file, read for the prefixes it names
};
QString passedOverText(PassedOver why);

// What a search reports as it goes; another thread may read it meanwhile.
class SearchLog {
public:
    virtual ~SearchLog() = default;
    // The place looked at next; false ends the search there.
    virtual bool lookingAt(const QByteArray &place) = 0;
    virtual void passedOver(const QByteArray &place, PassedOver why) = 0;
};

// The launchers whose prefixes are searched, in the order they are taken:
// Wine's own ~/.wine, Steam's Proton, Lutris, Bottles, Heroic, PlayOnLinux.
inline constexpr int LauncherCount = 6;

// Where a search of one launcher's places found the game's folder.
struct PrefixFound {
    QString prefix;
    QString folder; // the host path of the searched folder in that prefix, links resolved
};

// Searches the places of launcher `launcher` (0 to LauncherCount - 1) below
// `home` for the first Wine prefix whose drive holds the folder
// `windowsPath`; empty when none does. The launchers' own lists (Steam's
// libraryfolders.vdf, Lutris's game files) may name prefixes and libraries
// anywhere; every other folder is entered only where it lies inside the home
// (or inside the listed library it is below), on the same file system, and
// only once however many links lead to it. Launcher files are opened without
// waiting and read only when they are regular files of at most 1 MiB. Every
// question to the file system is put through `asker`; one it gives up on is
// reported as timed out, and the search goes on past that place.
PrefixFound searchLauncher(int launcher, const QString &home, const QString &windowsPath,
                           SearchLog &log, Asker &asker);

// The Wine prefix `prefix` alone ($WINEPREFIX), looked into and passed over
// for the same reasons as each prefix a launcher leaves.
PrefixFound searchPrefix(const QString &prefix, const QString &windowsPath, SearchLog &log,
                         Asker &asker);

} // namespace gamesearch
