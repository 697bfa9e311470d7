#pragma once

#include "appversion.h"

#include <QString>

namespace windowing {

// Caption of the main window and title of every message box.
inline QString applicationTitle()
{
    return QStringLiteral("Vantorel Renamer");
}

// The program's version, from the one number the build sets.
struct Version {
    qint16 major;
    qint16 minor;
    qint16 revision;
};
inline constexpr Version ApplicationVersion = {VR_VERSION_MAJOR, VR_VERSION_MINOR,
                                               VR_VERSION_PATCH};

// The version's three numbers joined by ".".
inline QString versionNumber(const Version &version)
{
    return QString::number(version.major) + u'.' + QString::number(version.minor) + u'.' +
           QString::number(version.revision);
}

} // namespace windowing
