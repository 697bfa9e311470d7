#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace desktop {

// Starts the system's text editor on `path`, which need not exist yet, in a
// window of its own, without waiting for it. Calls `failed` when no editor
// starts: at once, or from the event loop when the editor's launcher gives up
// within moments of starting.
void startTextEditor(const QString &path, std::function<void()> failed);

#ifdef _WIN32
// How notepad.exe is started: detached, never through a shell. Tests put a
// recorder here; the previous starter is returned.
using ProgramStarter = std::function<bool(const QString &program, const QStringList &arguments)>;
ProgramStarter setProgramStarter(ProgramStarter starter);
#endif

} // namespace desktop
