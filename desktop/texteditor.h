#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace platform {

// Starts the system's text editor on `path` in a window of its own, without
// waiting for it. False when no editor could be started.
bool startTextEditor(const QString &path);

// How programs are started: detached, never through a shell. Tests put a
// recorder here; the previous starter is returned.
using ProgramStarter = std::function<bool(const QString &program, const QStringList &arguments)>;
ProgramStarter setProgramStarter(ProgramStarter starter);

// Starts `program` (looked up on the program search path) through the
// current starter.
bool startProgram(const QString &program, const QStringList &arguments);

} // namespace platform
