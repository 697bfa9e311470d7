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

bool startTextEditor(const QString &path)
{
#ifdef _WIN32
    return starter()(QStringLiteral("notepad.exe"), {path});
#else
    // The desktop's opener starts whatever editor the user chose for text.
    return starter()(QStringLiteral("xdg-open"), {path});
#endif
}

} // namespace platform
