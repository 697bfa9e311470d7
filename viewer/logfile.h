#pragma once

#include <QByteArray>
#include <QString>
#include <limits>
#include <optional>

namespace viewer {

// The contents of the file at `path` as they stood when it was opened (what
// is appended meanwhile is left for the next read; a file cut short meanwhile
// gives what was there), or nothing when it cannot be read: missing, not a
// regular file (a folder, a pipe, a device would block or never end),
// unreadable, too large for memory, or larger than `largest` bytes. Opened
// and closed within the call.
std::optional<QByteArray> readWholeFile(const QString &path,
                                        qint64 largest = std::numeric_limits<qint64>::max());

} // namespace viewer
