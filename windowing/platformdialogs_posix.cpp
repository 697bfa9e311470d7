#include "platformdialogs.h"

#include <QFileDialog>

namespace windowing {

QStringList dialogFaces(const QString &desktopFace)
{
    return {desktopFace};
}

void matchPatternsIgnoringCase(QFileDialog &dialog)
{
    // Qt's own dialog: the desktop's may match letter case exactly.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
}

} // namespace windowing
