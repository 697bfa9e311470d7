#include "builtinpaths.h"

#include "wineprefixes.h"

#include <QDir>

namespace platform {

namespace {
// The prefix the built-in paths are taken from: $WINEPREFIX when set, as
// Wine itself does; else the first prefix holding the levels folder; else
// ~/.wine, where the folder would be made by a plain Wine install.
QString gamePrefix()
{
    const QString winePrefix = qEnvironmentVariable("WINEPREFIX");
    if (!winePrefix.isEmpty())
        return winePrefix;
    // Searched once per home, so that the levels folder and the log path
    // agree, and the viewer's every load costs nothing.
    static QString searchedHome;
    static QString found;
    const QString home = QDir::homePath();
    if (found.isNull() || home != searchedHome) {
        searchedHome = home;
        found = findPrefixHolding(home, QString::fromUtf16(LevelsFolder));
        if (found.isEmpty())
            found = home + QStringLiteral("/.wine");
    }
    return found;
}
} // namespace

QString hostPath(const QString &windowsPath)
{
    static const QString drive = QStringLiteral("c:\\");
    if (!windowsPath.startsWith(drive, Qt::CaseInsensitive))
        return windowsPath;
    return pathInPrefix(gamePrefix(), windowsPath);
}

} // namespace platform
