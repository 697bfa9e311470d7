#include "wineprefixes.h"

#include "launcherconfigs.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <dirent.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace platform {

namespace {

// A start-up never waits on more than this, whatever a home holds.
constexpr int MaxPrefixes = 4096;
constexpr int MaxEntries = 4096;
constexpr qint64 MaxConfigBytes = 1 << 20;
constexpr int HeroicDepth = 4;

bool isFolder(const QByteArray &path, struct stat *st = nullptr)
{
    struct stat own;
    struct stat &s = st ? *st : own;
    return stat(path.constData(), &s) == 0 && S_ISDIR(s.st_mode);
}

// The names in a folder, sorted, so that the search order does not depend
// on the order the file system keeps them in.
QByteArrayList entriesOf(const QByteArray &folder)
{
    QByteArrayList names;
    DIR *dir = opendir(folder.constData());
    if (!dir)
        return names;
    while (const dirent *entry = readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << name;
        if (names.size() >= MaxEntries)
            break;
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// The entry of `folder` that Wine opens for `name`: the exact name, else the
// first one equal to it regardless of letter case.
std::optional<QByteArray> entryFor(const QByteArray &folder, const QString &name)
{
    const QByteArray exact = QFile::encodeName(name);
    struct stat st;
    if (stat((folder + '/' + exact).constData(), &st) == 0)
        return exact;
    for (const QByteArray &entry : entriesOf(folder))
        if (name.compare(QFile::decodeName(entry), Qt::CaseInsensitive) == 0)
            return entry;
    return std::nullopt;
}

QByteArray readConfig(const QByteArray &path)
{
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.read(MaxConfigBytes) : QByteArray();
}

class PrefixSearch {
public:
    PrefixSearch(const QString &home, const QString &windowsPath)
        : home_(QFile::encodeName(QDir::cleanPath(home))), windowsPath_(windowsPath)
    {}

    QString run()
    {
        (void)(tryPrefix(home_ + "/.wine") == Outcome::Found || steam() || lutris() || bottles() ||
               heroic() || playOnLinux());
        return found_;
    }

private:
    enum class Outcome { Found, Stop, Prefix, NotPrefix };
    using FolderId = std::pair<dev_t, ino_t>;

    Outcome tryPrefix(const QByteArray &prefix)
    {
        if (budget_ <= 0)
            return Outcome::Stop;
        struct stat drive;
        if (!isFolder(prefix + "/drive_c", &drive))
            return Outcome::NotPrefix;
        // The same prefix reached again through a link or a second listing.
        if (!seenPrefixes_.insert({drive.st_dev, drive.st_ino}).second)
            return Outcome::Prefix;
        --budget_;
        bool found = false;
        const QString prefixName = QFile::decodeName(prefix);
        const QString folder = pathInPrefix(prefixName, windowsPath_, &found);
        if (!found || !isFolder(QFile::encodeName(folder)))
            return Outcome::Prefix;
        found_ = prefixName;
        return Outcome::Found;
    }

    // Each child of `folder` as a prefix; true when the search is over.
    bool tryEach(const QByteArray &folder, const QByteArray &below = {})
    {
        for (const QByteArray &name : entriesOf(folder)) {
            const Outcome outcome = tryPrefix(folder + '/' + name + below);
            if (outcome == Outcome::Found || outcome == Outcome::Stop)
                return true;
        }
        return false;
    }

    // True the first time a folder is entered by any of its names.
    bool firstVisit(const QByteArray &folder)
    {
        struct stat st;
        return isFolder(folder, &st) && seenFolders_.insert({st.st_dev, st.st_ino}).second;
    }

    bool steam()
    {
        for (const char *root : {"/.steam/steam", "/.local/share/Steam",
                                 "/.var/app/com.valvesoftware.Steam/.local/share/Steam",
                                 "/.var/app/com.valvesoftware.Steam/data/Steam",
                                 "/snap/steam/common/.local/share/Steam"}) {
            const QByteArray installation = home_ + root;
            if (!isFolder(installation))
                continue;
            QByteArrayList libraries{installation};
            const QByteArray vdf = readConfig(installation + "/steamapps/libraryfolders.vdf");
            for (const QString &library : launchers::steamLibraryFolders(vdf))
                if (QDir::isAbsolutePath(library))
                    libraries << QFile::encodeName(QDir::cleanPath(library));
            for (const QByteArray &library : libraries)
                if (firstVisit(library) && tryEach(library + "/steamapps/compatdata", "/pfx"))
                    return true;
        }
        return false;
    }

    bool lutris()
    {
        const QString home = QFile::decodeName(home_);
        for (const char *configs : {"/.config/lutris/games", "/.local/share/lutris/games"}) {
            const QByteArray folder = home_ + configs;
            for (const QByteArray &name : entriesOf(folder)) {
                if (!name.endsWith(".yml") && !name.endsWith(".yaml"))
                    continue;
                const QString prefix =
                    launchers::lutrisGamePrefix(readConfig(folder + '/' + name), home);
                if (prefix.isEmpty() || !QDir::isAbsolutePath(prefix))
                    continue;
                const Outcome outcome = tryPrefix(QFile::encodeName(QDir::cleanPath(prefix)));
                if (outcome == Outcome::Found || outcome == Outcome::Stop)
                    return true;
            }
        }
        return tryEach(home_ + "/Games");
    }

    bool bottles()
    {
        return tryEach(home_ + "/.local/share/bottles/bottles") ||
               tryEach(home_ + "/.var/app/com.usebottles.bottles/data/bottles/bottles");
    }

    // Heroic keeps prefixes at any depth below its folder, for instance one
    // folder per store.
    bool heroic() { return heroicBelow(home_ + "/Games/Heroic/Prefixes", 0); }
    bool heroicBelow(const QByteArray &folder, int depth)
    {
        if (depth >= HeroicDepth || !firstVisit(folder))
            return false;
        for (const QByteArray &name : entriesOf(folder)) {
            const QByteArray child = folder + '/' + name;
            switch (tryPrefix(child)) {
            case Outcome::Found:
            case Outcome::Stop:
                return true;
            case Outcome::Prefix:
                break;
            case Outcome::NotPrefix:
                if (heroicBelow(child, depth + 1))
                    return true;
            }
        }
        return false;
    }

    bool playOnLinux() { return tryEach(home_ + "/.PlayOnLinux/wineprefix"); }

    const QByteArray home_;
    const QString windowsPath_;
    std::set<FolderId> seenPrefixes_;
    std::set<FolderId> seenFolders_;
    int budget_ = MaxPrefixes;
    QString found_;
};

} // namespace

QString pathInPrefix(const QString &prefix, const QString &windowsPath, bool *found)
{
    const QStringList names = windowsPath.mid(3).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    QStringList firstNames{names.value(0)};
    if (firstNames[0].compare(QLatin1String("Program Files"), Qt::CaseInsensitive) == 0)
        firstNames << QStringLiteral("Program Files (x86)");
    const QByteArray drive = QFile::encodeName(QDir::cleanPath(prefix)) + "/drive_c";

    // The way in that reaches deepest wins; on a tie the first.
    QByteArray best;
    qsizetype bestDepth = -1;
    for (const QString &first : firstNames) {
        QByteArray path = drive;
        qsizetype depth = 0;
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QString &name = i == 0 ? first : names.at(i);
            std::optional<QByteArray> entry;
            if (depth == i)
                entry = entryFor(path, name);
            if (entry)
                ++depth;
            path += '/' + (entry ? *entry : QFile::encodeName(name));
        }
        if (depth > bestDepth) {
            best = path;
            bestDepth = depth;
        }
        if (depth == names.size())
            break;
    }
    if (found)
        *found = bestDepth == names.size();
    return QFile::decodeName(best);
}

QString findPrefixHolding(const QString &home, const QString &windowsPath)
{
    return PrefixSearch(home, windowsPath).run();
}

} // namespace platform
