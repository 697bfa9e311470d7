#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// The program's pictures.
namespace windowing {

// The application icon in every size the program carries, so that title
// bars, task switchers and dense screens each get a sharp one.
QIcon applicationIcon();

// The picture at `path` for `size` device-independent pixels on a screen of
// `devicePixelRatio`, taken from its twice-as-large "@2x" file where that is
// sharper.
QPixmap picture(const QString &path, QSize size, qreal devicePixelRatio);

} // namespace windowing
