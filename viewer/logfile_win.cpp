#include "logfile.h"

#include <QFile>
#include <QFileInfo>
#include <new>

namespace platform {

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
        QByteArray bytes(size, Qt::Uninitialized);
        if (file.read(bytes.data(), size) != size)
            return std::nullopt;
        char extra;
        if (file.read(&extra, 1) != 0)
            return std::nullopt;
        return bytes;
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
}

} // namespace platform
