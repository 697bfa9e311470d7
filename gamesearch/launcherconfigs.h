#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the game launchers of Linux desktops say about where Wine prefixes
// live, read from the text of their files. Nothing here touches the disk.
namespace platform::launchers {

// The library folders that a Steam `libraryfolders.vdf` lists, in its order;
// empty when the text is not a well-formed list. Both the current form (a
// block per library holding "path") and the older one ("1" "/path") count.
QStringList steamLibraryFolders(const QByteArray &vdf);

// The `prefix:` of the `game:` section of a Lutris game configuration, with a
// leading "~" made `home`; empty when the configuration names none.
QString lutrisGamePrefix(const QByteArray &yaml, const QString &home);

} // namespace platform::launchers
