#include "pictures.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>

namespace windowing {

QIcon applicationIcon()
{
    QIcon icon;
    const QDir icons(QStringLiteral(":/icons"));
    for (const QString &name : icons.entryList({QStringLiteral("*.png")}, QDir::Files))
        icon.addFile(icons.filePath(name));
    return icon;
}

QPixmap picture(const QString &path, QSize size, qreal devicePixelRatio)
{
    // One file is decoded, the one the size needs: the doubled one only where
    // the plain one would be enlarged. A picture is made smaller, never larger.
    const QFileInfo file(path);
    const QString doubled =
        file.path() + u'/' + file.completeBaseName() + QStringLiteral("@2x.") + file.suffix();
    const QSize wanted = size * devicePixelRatio;
    const auto within = [](QSize inner, QSize outer) { return inner.boundedTo(outer) == inner; };
    const bool enlarged = !within(wanted, QImageReader(path).size()); // its header alone
    QPixmap pixmap(enlarged && QFileInfo::exists(doubled) ? doubled : path);
    if (!within(pixmap.size(), wanted))
        pixmap = pixmap.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // As large as asked for, as far as the file's pixels go.
    pixmap.setDevicePixelRatio(std::max(1.0, qreal(pixmap.width()) / size.width()));
    return pixmap;
}

} // namespace windowing
