#include "fonts.h"

namespace windowing {

QStringList dialogFaces(const QString &desktopFace)
{
    return {desktopFace};
}

} // namespace windowing
