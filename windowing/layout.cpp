#include "layout.h"

#include <QLabel>

namespace windowing {

void widenToCaption(QWidget &control)
{
    const int needed = control.sizeHint().width();
    QRect geometry = control.geometry();
    if (needed <= geometry.width())
        return;
    const auto *label = qobject_cast<const QLabel *>(&control);
    if (label && (label->alignment() & Qt::AlignRight))
        geometry.setLeft(geometry.right() + 1 - needed);
    else
        geometry.setWidth(needed);
    control.setGeometry(geometry);
}

} // namespace windowing
