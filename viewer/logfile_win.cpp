#include "logfile.h"

#include <QFile>
#include <QFileInfo>
#include <new>

namespace viewer {

std::optional<QByteArray> readWholeFile(const QString &path, qint64 largest)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    try {
        const qint64 size = file.size();
        if (size > largest)
            return std::nullopt;
        // The log as it stood when it was opened, or up to the end found
        // where it was cut short meanwhile.
        QByteArray bytes(size, Qt::Uninitialized);
        const qint64 done = file.read(bytes.data(), size);
        if (done < 0)
            return std::nullopt;
        bytes.truncate(done);
        return bytes;
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
}

} // namespace viewer
