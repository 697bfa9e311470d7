#pragma once

#include <QString>

// Where the game lives on a machine that runs it under Wine.
namespace platform {

// The host path of the built-in `windowsPath` ("c:\...") inside the Wine
// prefix `prefix`. As under Wine, each name is matched without regard to
// letter case, and "Program Files" is also looked for as "Program Files
// (x86)". The names past the deepest folder that exists stay as written;
// `found` tells whether the whole path exists.
QString pathInPrefix(const QString &prefix, const QString &windowsPath, bool *found = nullptr);

// The first Wine prefix under `home` whose drive holds the folder
// `windowsPath`, looked for where Wine, Steam's Proton, Lutris, Bottles,
// Heroic and PlayOnLinux keep their prefixes, in that order; empty when none
// does. Silent, and bounded: each library and each folder searched below is
// entered once whatever links lead to it, and at most 4096 prefixes are
// looked into.
QString findPrefixHolding(const QString &home, const QString &windowsPath);

} // namespace platform
