#pragma once

#include <QByteArray>
#include <QString>
#include <limits>
#include <optional>

namespace platform {

// The whole contents of the file at `path`, or nothing when it cannot be read
// in full: missing, not a regular file (a folder, a pipe, a device would block
// or never end), unreadable, too large for memory, or changed in size while
// being read, or larger than `largest` bytes. Opened and closed within the
// call.
std::optional<QByteArray> readWholeFile(const QString &path,
                                        qint64 largest = std::numeric_limits<qint64>::max());

} // namespace platform
