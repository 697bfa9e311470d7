#include "builtinpaths.h"

#include "wineprefixes.h"

#include <QDir>

#include <future>
#include <system_error>

namespace platform {

namespace {
// The prefix that a search of `home` settles on: the first holding the
// levels folder, else ~/.wine, where a plain Wine install would make it.
QString searchedPrefix(const QString &home)
{
    const QString found = findPrefixHolding(home, QString::fromUtf16(LevelsFolder));
    return found.isEmpty() ? home + QStringLiteral("/.wine") : found;
}

// One search per home, so that the levels folder and the log path agree and
// the viewer's every load costs nothing.
struct Search {
    QString home;
    std::shared_future<QString> prefix;
};

Search &search()
{
    static Search search;
    return search;
}

// The prefix the built-in paths are taken from: $WINEPREFIX when set, as
// Wine itself does, else the searched one.
QString gamePrefix()
{
    const QString winePrefix = qEnvironmentVariable("WINEPREFIX");
    if (!winePrefix.isEmpty())
        return winePrefix;
    const QString home = QDir::homePath();
    Search &current = search();
    if (!current.prefix.valid() || current.home != home)
        current = {home, std::async(std::launch::deferred, searchedPrefix, home).share()};
    return current.prefix.get();
}
} // namespace

void beginGameSearch()
{
    if (!qEnvironmentVariableIsEmpty("WINEPREFIX"))
        return;
    const QString home = QDir::homePath();
    try {
        search() = {home, std::async(std::launch::async, searchedPrefix, home).share()};
    } catch (const std::system_error &) {
        // No thread to spare: the first hostPath searches by itself.
    }
}

QString hostPath(const QString &windowsPath)
{
    static const QString drive = QStringLiteral("c:\\");
    if (!windowsPath.startsWith(drive, Qt::CaseInsensitive))
        return windowsPath;
    return pathInPrefix(gamePrefix(), windowsPath);
}

} // namespace platform
