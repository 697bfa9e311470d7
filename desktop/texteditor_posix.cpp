#include "texteditor.h"

#include "desktopentry.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

namespace {
// The entry's command for `path`, or nothing if the entry cannot run here.
QStringList editorCommand(const QString &id, const QString &path)
{
    const QString entryPath = desktopEntryPath(id);
    if (entryPath.isEmpty())
        return {};
    const DesktopGroups entry = readDesktopFile(entryPath);
    const auto fields = entry.value(QStringLiteral("Desktop Entry"));
    const auto isTrue = [&fields](const char *key) {
        return fields.value(QLatin1String(key)) == QLatin1String("true");
    };
    if (fields.value(QStringLiteral("Type")) != QLatin1String("Application") || isTrue("Hidden") ||
        isTrue("Terminal"))
        return {};
    const QString tryExec = desktopString(fields.value(QStringLiteral("TryExec")));
    if (!tryExec.isEmpty() && QStandardPaths::findExecutable(tryExec).isEmpty())
        return {};
    return execCommand(fields.value(QStringLiteral("Exec")), path, entry, entryPath);
}
} // namespace

bool startTextEditor(const QString &path)
{
    // The user's editor for plain text, started directly: the desktop's
    // opener would refuse a log that does not exist yet, which the editor
    // creates when the user saves.
    for (const QString &id : applicationsFor(QStringLiteral("text/plain"))) {
        const QStringList command = editorCommand(id, path);
        if (!command.isEmpty() && startProgram(command.first(), command.mid(1)))
            return true;
    }
    // A desktop without MIME defaults may still open an existing log.
    return QFileInfo::exists(path) && startProgram(QStringLiteral("xdg-open"), {path});
}

} // namespace platform
