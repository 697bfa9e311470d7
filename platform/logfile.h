#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace platform {

// The whole contents of the file at `path`, or nothing when it cannot be read
// in full: missing, not a regular file (a folder, a pipe, a device would block
// or never end), unreadable, too large for memory, or changed in size while
// being read. Opened and closed within the call.
std::optional<QByteArray> readWholeFile(const QString &path);

} // namespace platform
