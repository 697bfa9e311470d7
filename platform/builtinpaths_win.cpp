#include "builtinpaths.h"

namespace platform {

QString hostPath(const QString &windowsPath)
{
    return windowsPath;
}

} // namespace platform
