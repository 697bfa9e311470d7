#include "fonts.h"

namespace windowing {

QStringList dialogFaces(const QString &desktopFace)
{
    // Windows' dialog faces first. Wine asks for Tahoma, and where it lacks
    // that font it draws a serif face instead: the sans-serif faces a Linux
    // system has follow.
    return QStringLiteral("Segoe UI,Tahoma,Microsoft Sans Serif,Arial,Liberation Sans,"
                          "DejaVu Sans,Nimbus Sans")
               .split(u',')
           << desktopFace;
}

} // namespace windowing
