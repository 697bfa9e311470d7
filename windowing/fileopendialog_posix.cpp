#include "fileopendialog_p.h"

#include <QFileDialog>

namespace windowing {

void matchPatternsIgnoringCase(QFileDialog &dialog)
{
    // Qt's own dialog: the desktop's may match letter case exactly.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
}

} // namespace windowing
