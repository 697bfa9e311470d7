#include "texteditor.h"

#include <QProcess>
#include <QStandardPaths>
#include <utility>

namespace platform {

namespace {
bool startDetached(const QString &program, const QStringList &arguments)
{
    const QString found = QStandardPaths::findExecutable(program);
    return !found.isEmpty() && QProcess::startDetached(found, arguments);
}

ProgramStarter &starter()
{
    static ProgramStarter current = startDetached;
    return current;
}
} // namespace

ProgramStarter setProgramStarter(ProgramStarter next)
{
    return std::exchange(starter(), next ? std::move(next) : ProgramStarter(startDetached));
}

bool startProgram(const QString &program, const QStringList &arguments)
{
    return starter()(program, arguments);
}

} // namespace platform
