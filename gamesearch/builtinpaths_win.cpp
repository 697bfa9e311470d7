#include "builtinpaths.h"

#include "samename.h"

#include <QFileInfo>

namespace gamesearch {

namespace {
bool exists(const QString &path)
{
    return QFileInfo::exists(path);
}

QString folderOf(const QString &path)
{
    return path.left(qMax(0, path.lastIndexOf(QLatin1Char('\\'))));
}

QString windowsHostPath(const QString &windowsPath)
{
    // A 32-bit game on 64-bit Windows lives under "Program Files (x86)". The
    // built-in path stands unless only that copy of it, or of the folder it
    // names a file in, is there.
    static const QString programFiles = QStringLiteral("c:\\Program Files\\");
    static const QString programFilesX86 = QStringLiteral("c:\\Program Files (x86)\\");
    if (!renaming::sameNameIgnoringCase(windowsPath.left(programFiles.size()), programFiles))
        return windowsPath;
    const QString x86 = programFilesX86 + windowsPath.mid(programFiles.size());
    if (exists(windowsPath))
        return windowsPath;
    if (exists(x86))
        return x86;
    if (!exists(folderOf(windowsPath)) && exists(folderOf(x86)))
        return x86;
    return windowsPath;
}
} // namespace

GameFolder findGame(const QString &, const QString &, std::chrono::milliseconds)
{
    GameFolder game;
    const QString levels = QString::fromUtf16(LevelsFolder);
    game.levels = windowsHostPath(levels);
    game.log = windowsHostPath(QString::fromUtf16(DefaultLogPath));
    game.found = QFileInfo(game.levels).isDir();
    const QString x86 = QStringLiteral("c:\\Program Files (x86)") + levels.mid(16);
    for (const QString &place : {levels, x86}) {
        if (game.found && place == game.levels)
            break;
        game.trail << place + QStringLiteral(": not there");
    }
    return game;
}

} // namespace gamesearch
