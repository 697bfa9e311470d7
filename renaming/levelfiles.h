#pragma once

#include "rename.h"

#include <QString>

namespace renaming {

// The files of a level, in the order the Rename command renames them, each
// with whether the main window ticks it at start.
struct LevelFileKind {
    const char16_t *extension;
    bool initiallyTicked;
};
inline constexpr LevelFileKind LevelFileKinds[] = {
    {u".DAT", true}, {u".HDR", true}, {u".VER", true}, {u".INF", false}};

// "levl" + number + extension, exactly as typed: no trimming, no padding, no
// check. The name carries no folder, so it resolves against the current one.
QString levelFileName(const QString &number, const QString &extension);

// What a rename message says after " Failed ".
QString failureReason(renaming::RenameCode code);

// The message of one rename: "... OK" for code 0, else "... Failed " + reason.
QString renameMessage(const QString &from, const QString &to, renaming::RenameCode code);

// One rename of a level file with the game's rules, never replacing a file,
// and the message that reports it.
struct RenameOutcome {
    renaming::RenameCode code;
    QString message;
};
RenameOutcome renameLevelFile(const QString &from, const QString &to);

} // namespace renaming
