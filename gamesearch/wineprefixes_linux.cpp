#include "wineprefixes.h"

#include "launcherconfigs.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

// A name of a Windows path, in the two forms the look-up compares.
struct Name {
    QString text;
    QByteArray bytes;
};

// Equal regardless of letter case, as Wine compares names. Letters of plain
// ASCII compare byte by byte; from the first other character on, Unicode's
// rules decide.
bool sameIgnoringCase(const char *entry, const Name &name)
{
    const char *a = entry;
    const char *b = name.bytes.constData();
    for (; *a && *b; ++a, ++b) {
        const unsigned char x = *a, y = *b;
        if ((x | y) & 0x80)
            return name.text.compare(QFile::decodeName(entry), Qt::CaseInsensitive) == 0;
        const unsigned char lower = x | 0x20;
        if (x != y && (lower != (y | 0x20) || lower < 'a' || lower > 'z'))
            return false;
    }
    return *a == *b;
}

// A folder held open while a path is walked down, so that each step costs
// one read of the folder and no look-up of the path above it. Read with
// getdents64 itself: opendir would ask twice more about each folder.
class OpenFolder {
public:
    OpenFolder() = default;
    OpenFolder(int base, const char *name)
        : fd_(openat(base, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {}
    OpenFolder(OpenFolder &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    OpenFolder &operator=(OpenFolder &&other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~OpenFolder()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    explicit operator bool() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // The entry that Wine opens for `name`: the exact name, else the first in
    // byte order that equals it regardless of letter case.
    std::optional<QByteArray> entryFor(const Name &name)
    {
        std::optional<QByteArray> found;
        alignas(dirent64) char buffer[8192];
        ssize_t size;
        while ((size = getdents64(fd_, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < size;) {
                const auto *entry = reinterpret_cast<const dirent64 *>(buffer + at);
                at += entry->d_reclen;
                if (name.bytes == entry->d_name)
                    return name.bytes;
                if (!sameIgnoringCase(entry->d_name, name))
                    continue;
                const QByteArray candidate(entry->d_name);
                if (!found || candidate < *found)
                    found = candidate;
            }
        }
        return found;
    }

private:
    int fd_ = -1;
};

// The names of a built-in "c:\..." path, and the ways into it: "Program
// Files" also as "Program Files (x86)".
struct WindowsPath {
    explicit WindowsPath(const QString &path)
    {
        const QStringList texts = path.mid(3).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
        for (const QString &text : texts)
            names.push_back({text, QFile::encodeName(text)});
        if (!texts.isEmpty() &&
            texts[0].compare(QLatin1String("Program Files"), Qt::CaseInsensitive) == 0) {
            const QString x86 = QStringLiteral("Program Files (x86)");
            otherFirst = Name{x86, QFile::encodeName(x86)};
        }
    }
    std::vector<Name> names;
    std::optional<Name> otherFirst;
};

// Where `path` is below `drive`, and whether all of it is there; `hasDrive`
// tells whether `drive` itself is a folder.
QByteArray pathBelow(const QByteArray &drive, const WindowsPath &path, bool *found,
                     bool *hasDrive = nullptr)
{
    const qsizetype count = qsizetype(path.names.size());
    if (hasDrive)
        *hasDrive = true;
    // The way in that reaches deepest wins; on a tie the first.
    QByteArray best = drive;
    qsizetype bestDepth = count == 0 ? 0 : -1;
    for (int way = 0; count > 0 && way < (path.otherFirst ? 2 : 1); ++way) {
        QByteArray here = drive;
        qsizetype depth = 0;
        OpenFolder folder;
        for (qsizetype i = 0; i < count; ++i) {
            const Name &name = i == 0 && way == 1 ? *path.otherFirst : path.names[size_t(i)];
            const bool last = i + 1 == count;
            std::optional<QByteArray> entry;
            if (i == 0 && !last) {
                // Nearly always there as written: one step instead of a read.
                folder = OpenFolder(AT_FDCWD, (drive + '/' + name.bytes).constData());
                if (folder) {
                    entry = name.bytes;
                } else if (OpenFolder top(AT_FDCWD, drive.constData()); top) {
                    entry = top.entryFor(name);
                    if (entry)
                        folder = OpenFolder(top.fd(), entry->constData());
                } else if (hasDrive) {
                    *hasDrive = false;
                }
            } else if (i == 0) {
                if (OpenFolder top(AT_FDCWD, drive.constData()); top)
                    entry = top.entryFor(name);
            } else if (depth == i && folder) {
                entry = folder.entryFor(name);
                folder =
                    entry && !last ? OpenFolder(folder.fd(), entry->constData()) : OpenFolder();
            }
            if (entry && depth == i)
                ++depth;
            here += '/' + (entry ? *entry : name.bytes);
        }
        if (hasDrive && !*hasDrive)
            break;
        if (depth > bestDepth) {
            best = here;
            bestDepth = depth;
        }
        if (depth == count)
            break;
    }
    if (found)
        *found = bestDepth == count;
    return best;
}

// Read without QFile: the search may run before the application object
// exists, on a thread of its own, where a QObject would claim to be the
// program's main thread.
QByteArray readConfig(const QByteArray &path)
{
    QByteArray text;
    const int fd = open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[16384];
    ssize_t n;
    while (text.size() < MaxConfigBytes && (n = read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            text.clear();
            break;
        }
        text.append(buffer, n);
    }
    close(fd);
    return text;
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
        // The same prefix named again, by a game configuration and a listing.
        if (seenPrefixes_.contains(prefix))
            return Outcome::Prefix;
        bool found = false;
        bool hasDrive = true;
        const QByteArray folder = pathBelow(prefix + "/drive_c", windowsPath_, &found, &hasDrive);
        if (!hasDrive)
            return Outcome::NotPrefix;
        seenPrefixes_.insert(prefix);
        --budget_;
        if (!found || !isFolder(folder))
            return Outcome::Prefix;
        found_ = QFile::decodeName(prefix);
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
    const WindowsPath windowsPath_;
    QSet<QByteArray> seenPrefixes_;
    std::set<FolderId> seenFolders_;
    int budget_ = MaxPrefixes;
    QString found_;
};

} // namespace

QString pathInPrefix(const QString &prefix, const QString &windowsPath, bool *found)
{
    const QByteArray drive = QFile::encodeName(QDir::cleanPath(prefix)) + "/drive_c";
    return QFile::decodeName(pathBelow(drive, WindowsPath(windowsPath), found));
}

QString findPrefixHolding(const QString &home, const QString &windowsPath)
{
    return PrefixSearch(home, windowsPath).run();
}

} // namespace platform
