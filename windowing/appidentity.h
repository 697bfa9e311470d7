#pragma once

#include <QString>

namespace windowing {

// Caption of the main window and title of every message box.
inline QString applicationTitle()
{
    return QStringLiteral("Vantorel Renamer");
}

} // namespace windowing
