#include "desktopentry.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace platform {

namespace {
// The value's list items: split at ';', where "\;" is a ';' of the item.
QStringList desktopList(const QString &raw)
{
    QStringList items;
    QString item;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw.at(i) == u'\\' && i + 1 < raw.size() && raw.at(i + 1) == u';') {
            item += u';';
            ++i;
        } else if (raw.at(i) == u';') {
            items << item;
            item.clear();
        } else {
            item += raw.at(i);
        }
    }
    if (!item.isEmpty())
        items << item;
    items.removeAll(QString());
    return items;
}

// The names of the MIME defaults files in each folder, the current desktop's
// own first.
QStringList mimeappsNames()
{
    QStringList names;
    const QStringList desktops =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts);
    for (const QString &desktop : desktops)
        names << desktop.toLower() + QStringLiteral("-mimeapps.list");
    names << QStringLiteral("mimeapps.list");
    return names;
}

QStringList applicationFolders()
{
    QStringList folders;
    for (const QString &data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << data + QStringLiteral("/applications");
    return folders;
}
} // namespace

DesktopGroups readDesktopFile(const QString &path)
{
    DesktopGroups groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return groups;
    QString group;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0 || group.isEmpty())
            continue;
        // A key given twice keeps its first value.
        auto &keys = groups[group];
        const QString key = line.left(equals).trimmed();
        if (!keys.contains(key))
            keys.insert(key, line.mid(equals + 1).trimmed());
    }
    return groups;
}

QString desktopString(const QString &raw)
{
    QString value;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw.at(i) != u'\\' || i + 1 == raw.size()) {
            value += raw.at(i);
            continue;
        }
        switch (raw.at(++i).unicode()) {
        case u's':
            value += u' ';
            break;
        case u'n':
            value += u'\n';
            break;
        case u't':
            value += u'\t';
            break;
        case u'r':
            value += u'\r';
            break;
        case u'\\':
            value += u'\\';
            break;
        default:
            value += u'\\';
            value += raw.at(i);
            break;
        }
    }
    return value;
}

QStringList execCommand(const QString &exec, const QString &file, const DesktopGroups &entry,
                        const QString &entryPath)
{
    const QHash<QString, QString> fields = entry.value(QStringLiteral("Desktop Entry"));
    const QString command = desktopString(exec);
    QStringList arguments;
    QString word;
    bool inWord = false;
    bool quoted = false;
    bool namesFile = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command.at(i);
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < command.size() &&
                       QStringLiteral("\"`$\\").contains(command.at(i + 1))) {
                word += command.at(++i);
            } else {
                word += c;
            }
        } else if (c == u'"') {
            quoted = inWord = true;
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inWord)
                arguments << word;
            word.clear();
            inWord = false;
        } else if (c == u'%' && i + 1 < command.size()) {
            const QChar code = command.at(++i);
            if (QStringLiteral("fFuU").contains(code)) {
                word += file;
                namesFile = inWord = true;
            } else if (code == u'i') {
                const QString icon = fields.value(QStringLiteral("Icon"));
                if (!icon.isEmpty() && !inWord)
                    arguments << QStringLiteral("--icon") << desktopString(icon);
            } else if (code == u'c') {
                word += desktopString(fields.value(QStringLiteral("Name")));
                inWord = true;
            } else if (code == u'k') {
                word += entryPath;
                inWord = true;
            } else if (code == u'%') {
                word += u'%';
                inWord = true;
            }
            // %d %D %n %N %v %m are deprecated and dropped.
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        return {};
    if (inWord)
        arguments << word;
    if (arguments.isEmpty())
        return {};
    if (!namesFile)
        arguments << file;
    return arguments;
}

QStringList applicationsFor(const QString &mimeType)
{
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    folders += applicationFolders();
    QStringList defaults, added, removed;
    for (const QString &folder : std::as_const(folders)) {
        for (const QString &name : mimeappsNames()) {
            const DesktopGroups groups = readDesktopFile(folder + u'/' + name);
            defaults +=
                desktopList(groups.value(QStringLiteral("Default Applications")).value(mimeType));
            added +=
                desktopList(groups.value(QStringLiteral("Added Associations")).value(mimeType));
            removed +=
                desktopList(groups.value(QStringLiteral("Removed Associations")).value(mimeType));
        }
    }
    QStringList declared;
    for (const QString &folder : applicationFolders())
        declared += desktopList(readDesktopFile(folder + QStringLiteral("/mimeinfo.cache"))
                                    .value(QStringLiteral("MIME Cache"))
                                    .value(mimeType));
    QStringList all;
    for (const QString &id : defaults + added + declared)
        if (!all.contains(id) && (!removed.contains(id) || defaults.contains(id)))
            all << id;
    return all;
}

QString desktopEntryPath(const QString &id)
{
    for (const QString &folder : applicationFolders()) {
        // An id stands for its path below the folder with '/' turned into '-'.
        QString relative = id;
        for (qsizetype dash = -1;;) {
            const QString path = folder + u'/' + relative;
            if (QFile::exists(path))
                return path;
            dash = relative.indexOf(u'-', dash + 1);
            if (dash < 0)
                break;
            relative[dash] = u'/';
        }
    }
    return {};
}

} // namespace platform
