#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace platform {

// The groups of a file in the desktop entry format (desktop entries and the
// MIME defaults, mimeapps.list): group name, then key, then the raw value.
using DesktopGroups = QHash<QString, QHash<QString, QString>>;
DesktopGroups readDesktopFile(const QString &path);

// A string value with its escapes (\s \n \t \r \\) resolved.
QString desktopString(const QString &raw);

// The program and arguments of a desktop entry's Exec value that open
// `file`: quoting resolved, %f %F %u %U replaced by the path as one argument
// (added at the end when the entry names no file), %i by the icon, %c by the
// name, %k by the entry's own file, %% by "%". Empty for a malformed value.
QStringList execCommand(const QString &exec, const QString &file, const DesktopGroups &entry = {},
                        const QString &entryPath = {});

// The desktop entries that open `mimeType`, the user's default first: those
// the MIME defaults name, then the associations they add, then those the
// desktop entries declare (mimeinfo.cache), without the removed ones.
QStringList applicationsFor(const QString &mimeType);

// Where the desktop entry with this id lives; empty if nowhere.
QString desktopEntryPath(const QString &id);

} // namespace platform
