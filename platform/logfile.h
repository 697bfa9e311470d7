#pragma once

#include <QByteArray>
#include <QString>
#include <limits>
#include <optional>

#ifndef _WIN32
#include <functional>
#include <sys/types.h>
#endif

namespace platform {

// The whole contents of the file at `path`, or nothing when it cannot be read
// in full: missing, not a regular file (a folder, a pipe, a device would block
// or never end), unreadable, too large for memory, or changed in size while
// being read, or larger than `largest` bytes. Opened and closed within the
// call.
std::optional<QByteArray> readWholeFile(const QString &path,
                                        qint64 largest = std::numeric_limits<qint64>::max());

#ifndef _WIN32
namespace detail {
// Stands in for read(2) on the log's descriptor when set, so that tests can
// make a log fail, shrink or grow in the middle of a read.
using ReadFunction = std::function<ssize_t(int fd, void *data, size_t size)>;
ReadFunction &logReadFunction();
} // namespace detail
#endif

} // namespace platform
