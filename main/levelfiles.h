#pragma once

#include "rename.h"

#include <QString>

namespace renaming {

// "levl" + number + extension, exactly as typed: no trimming, no padding, no
// check. The name carries no folder, so it resolves against the current one.
QString levelFileName(const QString &number, const QString &extension);

// What a rename message says after " Failed ".
QString failureReason(platform::RenameCode code);

// The message of one rename: "... OK" for code 0, else "... Failed " + reason.
QString renameMessage(const QString &from, const QString &to, platform::RenameCode code);

} // namespace renaming
