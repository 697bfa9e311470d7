#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;

namespace windowing {

// The faces the dialog font is drawn in, best first, on a desktop whose own
// face is `desktopFace`.
QStringList dialogFaces(const QString &desktopFace);

// Lets the file-open dialog match its patterns regardless of letter case, as
// the game's Windows does, so that Renames.txt is listed under *.TXT.
void matchPatternsIgnoringCase(QFileDialog &dialog);

} // namespace windowing
