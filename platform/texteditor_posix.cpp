#include "texteditor.h"

namespace platform {

bool startTextEditor(const QString &path)
{
    // The desktop's opener starts whatever editor the user chose for text.
    return startProgram(QStringLiteral("xdg-open"), {path});
}

} // namespace platform
