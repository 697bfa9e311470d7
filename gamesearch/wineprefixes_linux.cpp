#include "wineprefixes.h"

#include "asker.h"
#include "launcherconfigs.h"
#include "samename.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace gamesearch {

namespace {

constexpr qint64 MaxConfigBytes = 1 << 20;
constexpr int HeroicDepth = 4;

bool isFolder(const QByteArray &path, struct stat *st = nullptr)
{
    struct stat own;
    struct stat &s = st ? *st : own;
    return stat(path.constData(), &s) == 0 && S_ISDIR(s.st_mode);
}

// A name of a Windows path, as the file system spells it.
struct Name {
    QByteArray bytes;
};

// A folder held while a path is walked down, so that each step costs one
// look-up and no look-up of the path above it. Held by path only: a folder
// that can be entered but not listed (no read permission, as in some copied
// prefixes) is still walked by its exact names.
class OpenFolder {
public:
    OpenFolder() = default;
    OpenFolder(int base, const char *name)
        : fd_(openat(base, name, O_PATH | O_DIRECTORY | O_CLOEXEC))
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

    // The entry that Wine opens for `name`: the exact name where it is there,
    // else the first in byte order that equals it regardless of letter case.
    // Read with getdents64 itself: opendir would ask twice more of the folder.
    std::optional<QByteArray> entryFor(const Name &name) const
    {
        struct stat st;
        if (fstatat(fd_, name.bytes.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            return name.bytes;
        if (errno != ENOENT)
            return std::nullopt;
        const int listing = openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (listing < 0)
            return std::nullopt;
        std::optional<QByteArray> found;
        alignas(dirent64) char buffer[8192];
        ssize_t size;
        while ((size = getdents64(listing, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < size;) {
                const auto *entry = reinterpret_cast<const dirent64 *>(buffer + at);
                at += entry->d_reclen;
                if (!renaming::sameNameIgnoringCase(QByteArrayView(entry->d_name),
                                                    QByteArrayView(name.bytes)))
                    continue;
                const QByteArray candidate(entry->d_name);
                if (!found || candidate < *found)
                    found = candidate;
            }
        }
        close(listing);
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
            names.push_back({QFile::encodeName(text)});
        if (!texts.isEmpty() && renaming::sameNameIgnoringCase(texts[0], u"Program Files")) {
            const QString x86 = QStringLiteral("Program Files (x86)");
            otherFirst = Name{QFile::encodeName(x86)};
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
                } else if (errno == EACCES) { // a drive that cannot be entered
                    if (hasDrive)
                        *hasDrive = false;
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

// Why a place that could not be opened is passed over.
PassedOver failure(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return PassedOver::Unreadable;
    case ELOOP:
        return PassedOver::Loop;
    default:
        return PassedOver::NotThere;
    }
}

// A launcher's file. Opened without waiting and read only when it is a
// regular file: a FIFO or a device (a link to /dev/stdin) would hold the
// search at the open or at the first read. The launchers' files are a few
// kilobytes; anything larger is not one of them.
std::optional<QByteArray> readConfig(const QByteArray &path, PassedOver *why)
{
    const int fd = open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *why = failure(errno);
        return std::nullopt;
    }
    std::optional<QByteArray> text;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *why = PassedOver::NotRegularFile;
    } else if (st.st_size > MaxConfigBytes) {
        *why = PassedOver::TooLarge;
    } else {
        // Read without QFile: the search runs on threads of its own, where
        // a QObject would claim to be the program's main thread.
        text.emplace();
        char buffer[16384];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) != 0) {
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 || text->size() + n > MaxConfigBytes) {
                *why = n < 0 ? PassedOver::Unreadable : PassedOver::TooLarge;
                text.reset();
                break;
            }
            text->append(buffer, n);
        }
    }
    close(fd);
    return text;
}

// A folder the search walks, as its links resolve: what it holds must lie
// inside it and on its file system.
struct Place {
    QByteArray real;
    dev_t device = 0;
    ino_t inode = 0;

    bool holds(const QByteArray &path) const
    {
        return path == real ||
               (path.startsWith(real) && (real.endsWith('/') || path.at(real.size()) == '/'));
    }
};

// Where `path` leads, found without asking its file system anything it would
// have to answer itself (a network share or FUSE mount that hangs): the open
// only looks the path up, and the kernel answers for the rest.
std::optional<Place> placeOf(const QByteArray &path, PassedOver *why)
{
    const int fd = open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *why = failure(errno);
        return std::nullopt;
    }
    Place place;
    struct statx sx;
    if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_INO, &sx) == 0) {
        place.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
        place.inode = sx.stx_ino;
    }
    char real[PATH_MAX];
    const ssize_t size =
        readlink(("/proc/self/fd/" + QByteArray::number(fd)).constData(), real, sizeof real);
    close(fd);
    if (size > 0 && size < qsizetype(sizeof real) && real[0] == '/') {
        place.real = QByteArray(real, size);
    } else if (char *resolved = realpath(path.constData(), nullptr)) {
        place.real = resolved;
        free(resolved);
    } else {
        *why = failure(errno);
        return std::nullopt;
    }
    return place;
}

// A folder's entries, sorted so that the search order does not depend on the
// order the file system keeps them in, with what readdir says they are.
struct Entry {
    QByteArray name;
    unsigned char type;
    bool operator<(const Entry &other) const { return name < other.name; }
};

std::optional<std::vector<Entry>> entriesOf(const QByteArray &folder, PassedOver *why)
{
    DIR *dir = opendir(folder.constData());
    if (!dir) {
        *why = failure(errno);
        return std::nullopt;
    }
    std::vector<Entry> entries;
    while (const dirent *entry = readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            entries.push_back({name, entry->d_type});
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end());
    return entries;
}

// What a look into a would-be Wine prefix found, before the search's own
// rules (each prefix once) are applied.
struct PrefixLook {
    enum Kind { Found, NoLevels, NoDrive } kind = NoDrive;
    PassedOver why = PassedOver::NotThere; // for NoDrive
    QByteArray folder;                     // for Found: as its links resolve
};

PrefixLook lookInto(const QByteArray &prefix, const WindowsPath &path)
{
    PrefixLook look;
    bool found = false;
    bool hasDrive = true;
    const QByteArray folder = pathBelow(prefix + "/drive_c", path, &found, &hasDrive);
    if (!hasDrive) {
        struct stat st;
        look.why = stat(prefix.constData(), &st) != 0 ? failure(errno)
                   : isFolder(prefix + "/drive_c")    ? PassedOver::Unreadable
                                                      : PassedOver::NotPrefix;
        return look;
    }
    if (!found || !isFolder(folder)) {
        look.kind = PrefixLook::NoLevels;
        return look;
    }
    look.kind = PrefixLook::Found;
    // One spelling of the folder wherever it is shown: as the current
    // directory spells it, its links resolved.
    char *resolved = realpath(folder.constData(), nullptr);
    look.folder = resolved ? QByteArray(resolved) : folder;
    free(resolved);
    return look;
}

// What a folder's child is, found on a thread of the asker.
struct ChildLook {
    std::optional<PassedOver> leaves; // why it is not looked into
    PrefixLook look;
};

// The search of one launcher's places. Its bounds are those places, each
// walked once, and the depth of Heroic's folders; no count of prefixes,
// which would drop the game silently wherever it sorts past the count. Every
// question to the file system goes through the asker: a place that does not
// answer within its stall limit is passed over as timed out, and the search
// goes on past it. What is reported, and in which order, is decided here on
// one thread, so that it never depends on which answer came first.
class PrefixSearch {
public:
    PrefixSearch(const QString &home, const QString &windowsPath, SearchLog &log, Asker &asker)
        : home_(QFile::encodeName(QDir::cleanPath(home))),
          windowsPath_(std::make_shared<const WindowsPath>(windowsPath)), log_(log), asker_(asker)
    {}

    PrefixFound run(int launcher)
    {
        const std::optional<Place> home = placeAt(home_);
        if (!home)
            return {};
        home_place_ = *home;
        switch (launcher) {
        case 0:
            // Wine's own prefix, wherever its link leads, as Wine takes it.
            tryPrefix(home_ + "/.wine");
            break;
        case 1:
            steam();
            break;
        case 2:
            lutris();
            break;
        case 3:
            bottles();
            break;
        case 4:
            heroic();
            break;
        default:
            walk(home_ + "/.PlayOnLinux/wineprefix");
        }
        return found_;
    }

    // The prefix `prefix` alone, as each one a launcher leaves is looked into.
    PrefixFound runOn(const QByteArray &prefix)
    {
        tryPrefix(prefix);
        return found_;
    }

private:
    enum class Outcome { Found, Stop, Prefix, NotPrefix };
    // What a folder's child that is no prefix may still lead to; true when
    // the search is over.
    using Orphans = std::function<bool(const QByteArray &child)>;

    // What `look` (a question of the file system about `place` that says
    // why it found nothing) answers, put through the asker; where nothing,
    // why is said in the trail.
    template <class T>
    std::optional<T> asked(const QByteArray &place,
                           std::optional<T> (*look)(const QByteArray &, PassedOver *))
    {
        using Answer = std::pair<std::optional<T>, PassedOver>;
        const std::optional<Answer> answer = asker_.ask<Answer>([place, look] {
            PassedOver why = PassedOver::NotThere;
            std::optional<T> found = look(place, &why);
            return Answer(std::move(found), why);
        });
        if (!answer || !answer->first)
            log_.passedOver(place, answer ? answer->second : PassedOver::TimedOut);
        return answer ? answer->first : std::nullopt;
    }

    // Where `path` leads.
    std::optional<Place> placeAt(const QByteArray &path) { return asked(path, placeOf); }

    std::optional<std::vector<Entry>> listing(const QByteArray &folder)
    {
        return asked(folder, entriesOf);
    }

    std::optional<QByteArray> config(const QByteArray &file) { return asked(file, readConfig); }

    // The search's rules on what a look into `prefix` found (nothing: it did
    // not answer): each prefix counts once, the first found ends the search.
    Outcome take(const QByteArray &prefix, const std::optional<PrefixLook> &look)
    {
        // The same prefix named again, by a game configuration and a listing.
        if (seenPrefixes_.contains(prefix)) {
            log_.passedOver(prefix, PassedOver::AlreadySeen);
            return Outcome::Prefix;
        }
        if (!look) {
            log_.passedOver(prefix, PassedOver::TimedOut);
            return Outcome::Prefix;
        }
        switch (look->kind) {
        case PrefixLook::NoDrive:
            log_.passedOver(prefix, look->why);
            return look->why == PassedOver::NotPrefix ? Outcome::NotPrefix : Outcome::Prefix;
        case PrefixLook::NoLevels:
            seenPrefixes_.insert(prefix);
            log_.passedOver(prefix, PassedOver::NoLevels);
            return Outcome::Prefix;
        case PrefixLook::Found:
            break;
        }
        seenPrefixes_.insert(prefix);
        found_ = {QFile::decodeName(prefix), QFile::decodeName(look->folder)};
        return Outcome::Found;
    }

    Outcome tryPrefix(const QByteArray &prefix)
    {
        if (!log_.lookingAt(prefix))
            return Outcome::Stop;
        if (seenPrefixes_.contains(prefix))
            return take(prefix, PrefixLook());
        const auto path = windowsPath_;
        return take(prefix,
                    asker_.ask<PrefixLook>([prefix, path] { return lookInto(prefix, *path); }));
    }

    // The place at `path`, entered the first time any of its names leads to
    // it, and only inside `scope` (where not a launcher's list names it).
    std::optional<Place> enter(const QByteArray &path, const Place *scope)
    {
        if (!log_.lookingAt(path))
            return std::nullopt;
        std::optional<Place> place = placeAt(path);
        if (!place)
            return std::nullopt;
        PassedOver why = PassedOver::AlreadySeen;
        if (scope && !scope->holds(place->real))
            why = PassedOver::Outside, place.reset();
        else if (scope && place->device != scope->device)
            why = PassedOver::OtherFileSystem, place.reset();
        else if (!seenFolders_.insert({place->device, place->inode}).second)
            place.reset();
        if (!place)
            log_.passedOver(path, why);
        return place;
    }

    // Each child of the folder `path` (with `below` added) as a prefix, and
    // down to `depth` folders below it the children that are none, each of
    // which `orphans` may also look into (Bottles' placeholders); true when
    // the search is over. The folder is entered only inside `scope` (the
    // home where not given), and what it holds only where it stays there.
    // The children are looked into all at once and taken in order.
    bool walk(const QByteArray &path, const Place *scope = nullptr, int depth = 1,
              const QByteArray &below = {}, const Orphans &orphans = {})
    {
        const std::optional<Place> folder = enter(path, scope ? scope : &home_place_);
        if (!folder)
            return false;
        const std::optional<std::vector<Entry>> entries = listing(path);
        if (!entries)
            return false;
        // Below a library, or a launcher's folder walked deeper, the bounds
        // are those of the library or the launcher's folder.
        const Place &bounds = scope ? *scope : *folder;
        // Looks not yet begun are dropped once this folder's walk is over.
        const auto done = std::make_shared<std::atomic<bool>>(false);
        const auto cancel = qScopeGuard([&] { *done = true; });
        std::vector<std::pair<QByteArray, Asker::Pending<ChildLook>>> children;
        for (const Entry &entry : *entries) {
            if (entry.type != DT_DIR && entry.type != DT_LNK && entry.type != DT_UNKNOWN)
                continue; // a file beside the prefixes
            QByteArray child = path + '/' + entry.name + below;
            auto look = asker_.put<ChildLook>(
                [child, type = entry.type, bounds, path = windowsPath_, done] {
                    ChildLook look;
                    if (*done)
                        return look;
                    look.leaves = leavesPlace(child, type, bounds);
                    if (!look.leaves)
                        look.look = lookInto(child, *path);
                    return look;
                });
            children.emplace_back(std::move(child), std::move(look));
        }
        for (const auto &[child, pending] : children) {
            if (!log_.lookingAt(child))
                return true;
            const std::optional<ChildLook> look = asker_.await(pending);
            if (look && look->leaves) {
                log_.passedOver(child, *look->leaves);
                continue;
            }
            switch (take(child, look ? std::optional(look->look) : std::nullopt)) {
            case Outcome::Found:
            case Outcome::Stop:
                return true;
            case Outcome::Prefix:
                break;
            case Outcome::NotPrefix:
                if (orphans && orphans(child))
                    return true;
                if (depth > 1 && walk(child, &bounds, depth - 1))
                    return true;
            }
        }
        return false;
    }

    // Why `child`, an entry (of readdir type `type`) of a folder walked
    // inside `bounds`, is not looked into: a link leading out of the bounds,
    // a mount of another file system. One question of the kernel for a plain
    // folder; its file system is never asked.
    static std::optional<PassedOver> leavesPlace(const QByteArray &child, unsigned char type,
                                                 const Place &bounds)
    {
        struct statx sx;
        if (statx(AT_FDCWD, child.constData(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_TYPE,
                  &sx) != 0)
            return failure(errno);
        dev_t device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
        if (type != DT_DIR || S_ISLNK(sx.stx_mode)) {
            PassedOver why;
            const std::optional<Place> place = placeOf(child, &why);
            if (!place)
                return why;
            if (!bounds.holds(place->real))
                return PassedOver::Outside;
            device = place->device;
        }
        if (device != bounds.device)
            return PassedOver::OtherFileSystem;
        return std::nullopt;
    }

    // What a launcher's file names, once read: the trail says of each file
    // read what came of it.
    template <class Named> bool read(const QByteArray &file, Named &&named)
    {
        if (!log_.lookingAt(file))
            return false;
        const std::optional<QByteArray> text = config(file);
        if (!text)
            return false;
        launchers::Reading reading = launchers::Reading::Parsed;
        const bool names = named(*text, &reading);
        log_.passedOver(file, reading == launchers::Reading::Malformed  ? PassedOver::Malformed
                              : reading == launchers::Reading::NoReader ? PassedOver::NoReader
                              : names                                   ? PassedOver::Read
                                      : PassedOver::NamesNoPrefix);
        return names;
    }

    // The prefixes a launcher's file names, in turn; true when the search is over.
    bool tryNamed(const QStringList &prefixes)
    {
        for (const QString &prefix : prefixes) {
            const Outcome outcome = tryPrefix(QFile::encodeName(prefix));
            if (outcome == Outcome::Found || outcome == Outcome::Stop)
                return true;
        }
        return false;
    }

    // The launcher's files in `folder` whose names end in one of `endings`.
    QByteArrayList files(const QByteArray &folder, std::initializer_list<const char *> endings)
    {
        QByteArrayList found;
        if (!log_.lookingAt(folder))
            return found;
        for (const Entry &entry : listing(folder).value_or(std::vector<Entry>()))
            for (const char *ending : endings)
                if (entry.name.endsWith(ending) && entry.name.size() > qsizetype(strlen(ending)))
                    found << folder + '/' + entry.name;
        return found;
    }

    void steam()
    {
        for (const char *root : {"/.steam/steam", "/.local/share/Steam",
                                 "/.var/app/com.valvesoftware.Steam/.local/share/Steam",
                                 "/.var/app/com.valvesoftware.Steam/data/Steam",
                                 "/snap/steam/common/.local/share/Steam"}) {
            const QByteArray installation = home_ + root;
            if (!log_.lookingAt(installation))
                return;
            if (!placeAt(installation))
                continue;
            // The installation's own library, then those its two lists name,
            // which may be anywhere: another disk, a network share.
            if (walkLibrary(installation, &home_place_))
                return;
            QStringList lists[2];
            for (int i = 0; i < 2; ++i)
                read(installation + (i == 0 ? "/steamapps" : "/config") + "/libraryfolders.vdf",
                     [&](const QByteArray &text, launchers::Reading *reading) {
                         lists[i] = launchers::steamLibraryFolders(text, reading);
                         return !lists[i].isEmpty();
                     });
            const QStringList libraries =
                launchers::steamLibraries(QFile::decodeName(installation), lists[0], lists[1]);
            for (const QString &library : libraries.mid(1))
                if (walkLibrary(QFile::encodeName(library), nullptr))
                    return;
        }
    }

    bool walkLibrary(const QByteArray &library, const Place *scope)
    {
        const std::optional<Place> place = enter(library, scope);
        return place && walk(library + "/steamapps/compatdata", &*place, 1, "/pfx");
    }

    // A folder a launcher's file names, walked wherever it is, within itself.
    bool walkNamed(const QByteArray &folder, int depth = 1, const Orphans &orphans = {})
    {
        if (!log_.lookingAt(folder))
            return true;
        const std::optional<Place> place = placeAt(folder);
        return place && walk(folder, &*place, depth, {}, orphans);
    }

    void lutris()
    {
        const QString home = QFile::decodeName(home_);
        for (const char *configs : {"/.config/lutris/games", "/.local/share/lutris/games",
                                    "/.var/app/net.lutris.Lutris/config/lutris/games",
                                    "/.var/app/net.lutris.Lutris/data/lutris/games"}) {
            for (const QByteArray &file : files(home_ + configs, {".yml", ".yaml"})) {
                QString prefix;
                if (read(file,
                         [&](const QByteArray &text, launchers::Reading *reading) {
                             prefix = launchers::lutrisGamePrefix(text, home, reading);
                             return !prefix.isEmpty();
                         }) &&
                    tryNamed({prefix}))
                    return;
            }
        }
        walk(home_ + "/Games");
    }

    // Bottles keeps its bottles in its own folder, or in the one its data.yml
    // names instead; a bottle made elsewhere leaves a placeholder.yml there
    // that names the bottle's folder, the prefix.
    void bottles()
    {
        const Orphans placeholder = [this](const QByteArray &child) {
            QString prefix;
            if (!read(child + "/placeholder.yml",
                      [&](const QByteArray &text, launchers::Reading *reading) {
                          prefix = launchers::bottlePlaceholderPath(text, reading);
                          return !prefix.isEmpty();
                      }))
                return false;
            return tryNamed({prefix});
        };
        for (const char *base :
             {"/.local/share/bottles", "/.var/app/com.usebottles.bottles/data/bottles"}) {
            QString custom;
            if (read(home_ + base + "/data.yml",
                     [&](const QByteArray &text, launchers::Reading *reading) {
                         custom = launchers::bottlesCustomPath(text, reading);
                         return !custom.isEmpty();
                     }) &&
                walkNamed(QFile::encodeName(custom), 1, placeholder))
                return;
            if (walk(home_ + base + "/bottles", nullptr, 1, {}, placeholder))
                return;
        }
    }

    // Heroic names each game's prefix in the game's own file, and the default
    // ones in config.json; its default prefixes folder comes last.
    void heroic()
    {
        const QString home = QFile::decodeName(home_);
        for (const char *configs :
             {"/.config/heroic", "/.var/app/com.heroicgameslauncher.hgl/config/heroic"}) {
            const QByteArray folder = home_ + configs;
            for (const QByteArray &file : files(folder + "/GamesConfig", {".json"})) {
                const QString game =
                    QFile::decodeName(file.mid(file.lastIndexOf('/') + 1).chopped(5));
                QStringList prefixes;
                if (read(file,
                         [&](const QByteArray &text, launchers::Reading *reading) {
                             prefixes = launchers::heroicGamePrefixes(text, game, home, reading);
                             return !prefixes.isEmpty();
                         }) &&
                    tryNamed(prefixes))
                    return;
            }
            launchers::HeroicDefaults defaults;
            read(folder + "/config.json", [&](const QByteArray &text, launchers::Reading *reading) {
                defaults = launchers::heroicDefaults(text, home, reading);
                return !defaults.prefixes.isEmpty() || !defaults.prefixesFolder.isEmpty();
            });
            if (tryNamed(defaults.prefixes))
                return;
            if (defaults.prefixesFolder.isEmpty())
                continue;
            // Older versions keep one prefix there for every game.
            const QByteArray prefixes = QFile::encodeName(defaults.prefixesFolder);
            switch (tryPrefix(prefixes)) {
            case Outcome::Found:
            case Outcome::Stop:
                return;
            case Outcome::NotPrefix:
                if (walkNamed(prefixes, HeroicDepth))
                    return;
                break;
            case Outcome::Prefix:
                break;
            }
        }
        // Heroic keeps prefixes at any depth below its folder, for instance
        // one folder per store.
        walk(home_ + "/Games/Heroic/Prefixes", {}, HeroicDepth);
    }

    using FolderId = std::pair<dev_t, ino_t>;

    QByteArray home_;
    const std::shared_ptr<const WindowsPath> windowsPath_;
    SearchLog &log_;
    Asker &asker_;
    Place home_place_;
    QSet<QByteArray> seenPrefixes_;
    std::set<FolderId> seenFolders_;
    PrefixFound found_;
};

} // namespace

QString pathInPrefix(const QString &prefix, const QString &windowsPath, bool *found)
{
    const QByteArray drive = QFile::encodeName(QDir::cleanPath(prefix)) + "/drive_c";
    return QFile::decodeName(pathBelow(drive, WindowsPath(windowsPath), found));
}

QString pathInFolder(const QString &folder, const QString &windowsPath)
{
    return QFile::decodeName(
        pathBelow(QFile::encodeName(QDir::cleanPath(folder)), WindowsPath(windowsPath), nullptr));
}

QString passedOverText(PassedOver why)
{
    switch (why) {
    case PassedOver::NotThere:
        return QStringLiteral("not there");
    case PassedOver::NotPrefix:
        return QStringLiteral("not a Wine prefix");
    case PassedOver::NoLevels:
        return QStringLiteral("no levels folder");
    case PassedOver::Unreadable:
        return QStringLiteral("unreadable");
    case PassedOver::NotRegularFile:
        return QStringLiteral("not a regular file");
    case PassedOver::TooLarge:
        return QStringLiteral("too large");
    case PassedOver::NamesNoPrefix:
        return QStringLiteral("names no prefix");
    case PassedOver::Loop:
        return QStringLiteral("loop");
    case PassedOver::AlreadySeen:
        return QStringLiteral("already looked at");
    case PassedOver::Outside:
        return QStringLiteral("leads outside the places searched");
    case PassedOver::OtherFileSystem:
        return QStringLiteral("on another file system");
    case PassedOver::TimedOut:
        return QStringLiteral("timed out");
    case PassedOver::Malformed:
        return QStringLiteral("does not parse");
    case PassedOver::NoReader:
        return QStringLiteral("not read: no YAML reader (libyaml) on this system");
    case PassedOver::Read:
        return QStringLiteral("read");
    }
    return {};
}

PrefixFound searchLauncher(int launcher, const QString &home, const QString &windowsPath,
                           SearchLog &log, Asker &asker)
{
    return PrefixSearch(home, windowsPath, log, asker).run(launcher);
}

PrefixFound searchPrefix(const QString &prefix, const QString &windowsPath, SearchLog &log,
                         Asker &asker)
{
    return PrefixSearch({}, windowsPath, log, asker)
        .runOn(QFile::encodeName(QDir::cleanPath(prefix)));
}

} // namespace gamesearch
