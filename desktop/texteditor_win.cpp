#include "texteditor.h"

namespace platform {

bool startTextEditor(const QString &path)
{
    return startProgram(QStringLiteral("notepad.exe"), {path});
}

} // namespace platform
