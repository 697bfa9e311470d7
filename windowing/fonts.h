#pragma once

#include <QString>
#include <QStringList>

// The font the windows are drawn in.
namespace windowing {

// The windows' fixed layouts are drawn for an 8-point dialog font, which
// stands in for the desktop's ordinary font sizes: a desktop font of up to 10
// points is drawn at 8, in its own family; a larger one is the user's choice of
// large fonts and is kept, and the layouts grow with it. The rule holds for the
// font the application starts with and for every later one, as a platform
// theme may set its font once the program runs (qt6ct does) and the user may
// change it.
void useDialogFont();

// The faces the dialog font is drawn in, best first, on a desktop whose own
// face is `desktopFace`.
QStringList dialogFaces(const QString &desktopFace);

} // namespace windowing
