#include "builtinpaths.h"

#include <QDir>

namespace platform {

QString hostPath(const QString &windowsPath)
{
    static const QString drive = QStringLiteral("c:\\");
    if (!windowsPath.startsWith(drive, Qt::CaseInsensitive))
        return windowsPath;
    QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (prefix.isEmpty())
        prefix = QDir::homePath() + QStringLiteral("/.wine");
    prefix = QDir::cleanPath(prefix);
    QString rest = windowsPath.mid(drive.size());
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return prefix + QStringLiteral("/drive_c/") + rest;
}

} // namespace platform
