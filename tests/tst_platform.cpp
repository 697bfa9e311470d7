#include "builtinpaths.h"
#include "logfile.h"
#include "support.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using viewer::readWholeFile;

namespace {
// Takes from this thread, and the threads it starts, root's right to read and
// search what its modes forbid, while the guard lives; nothing where `needed`
// is false or the thread is no root.
auto asUserWhere(bool needed)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct rights[2] = {};
    const bool taken = needed && syscall(SYS_capget, &header, rights) == 0;
    const __u32 effective = rights[0].effective;
    if (taken) {
        rights[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &header, rights);
    }
    return qScopeGuard([=]() mutable {
        if (!taken)
            return;
        rights[0].effective = effective;
        syscall(SYS_capset, &header, rights);
    });
}

// What a scratch home holds, entry by entry ("@/" in a path or text is the home).
struct Entry {
    enum Kind {
        Folder,
        File,       // `text` its contents
        Link,       // to `text`
        Fifo,       //
        Pipe,       // a link to a pipe that has a writer
        Hung,       // a file system that never answers
        Slowly,     // the folder, each request answered late
        Unlistable, // a folder that can be entered but not listed
        WinePrefix, // $WINEPREFIX
    } kind;
    QString path;
    QString text = {};
};
using Home = QList<Entry>;
Entry folder(const QString &path)
{
    return {Entry::Folder, path};
}
Entry file(const QString &path, const QString &text)
{
    return {Entry::File, path, text};
}
Entry linkTo(const QString &path, const QString &target)
{
    return {Entry::Link, path, target};
}
Entry fifo(const QString &path)
{
    return {Entry::Fifo, path};
}
Entry pipeLink(const QString &path)
{
    return {Entry::Pipe, path};
}
Entry hung(const QString &path)
{
    return {Entry::Hung, path};
}
Entry slowly(const QString &path)
{
    return {Entry::Slowly, path};
}
Entry unlistable(const QString &path)
{
    return {Entry::Unlistable, path};
}
Entry winePrefix(const QString &path)
{
    return {Entry::WinePrefix, path};
}
} // namespace
Q_DECLARE_METATYPE(Entry)

const QString levels = "drive_c/Program Files/Quenmark/Vantorel/levels";

// The platform layer on Linux: reading the log, and finding the game.
class TestPlatform : public QObject {
    Q_OBJECT
    const RunScratch run{"tst_platform"};
private slots:
    // Reading the log whole: nothing a user can type may block, run forever or
    // read what is no regular file, no descriptor is ever left open, and a log
    // another program appends to reads as it stood, every time.
    void reads_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind :
             {"log", "empty", "link -> log", "over the limit", "missing", "folder", "fifo",
              "fifo with a writer", "link -> entry", "link -> nowhere", "/dev/zero", "/dev/null",
              "/dev/stdin", "/proc/self/status", "unreadable", "growing"})
            QTest::newRow(kind) << kind;
    }
    void reads()
    {
        QFETCH(QString, kind);
        const bool read = QStringList{"log", "empty", "link -> log"}.contains(kind);
        constexpr int Largest = 100000;
        QTemporaryDir dir;
        const QString log = dir.filePath("log"), entry = dir.filePath("entry");
        QVERIFY(writeFile(log, QByteArray(Largest, 'x')));
        QString name = kind.startsWith('/') ? kind : kind == "log" ? log : entry;
        if (kind == "empty" || kind == "over the limit")
            QVERIFY(writeFile(name, QByteArray(kind == "empty" ? 0 : Largest + 1, 'x')));
        else if (kind == "folder")
            QVERIFY(QDir().mkdir(name));
        else if (kind.startsWith("fifo"))
            QCOMPARE(mkfifo(QFile::encodeName(name).constData(), 0600), 0);
        else if (kind.startsWith("link"))
            QVERIFY(QFile::link(dir.filePath(kind.section("-> ", 1)), name));
        if (kind == "growing") {
            QVERIFY(writeFile(log, QByteArray(Largest / 2, 'x')));
            std::atomic<bool> appended = false;
            std::jthread appender([&] {
                for (QFile file(log); file.size() < Largest && file.open(QIODevice::Append);)
                    file.write("yyyyyyyyyyyyyyyy"), file.close();
                appended = true;
            });
            for (bool done = false; !done;) { // once more after the appender is done
                done = appended;
                const auto text = readWholeFile(log, Largest);
                QVERIFY(text && text->startsWith(QByteArray(Largest / 2, 'x')));
                QVERIFY(readFile(log).startsWith(*text));
            }
            return;
        }
        if (kind == "unreadable")
            QVERIFY(writeFile(name, "x") && QFile::setPermissions(name, QFile::WriteOwner));
        const auto asUser = asUserWhere(kind == "unreadable"); // root reads what it may not
        QFile writer(name);
        if (kind == "fifo with a writer")
            QVERIFY(writer.open(QIODevice::ReadWrite));
        const qsizetype descriptors = QDir("/proc/self/fd").entryList().size();
        QCOMPARE(readWholeFile(name, Largest), read ? std::optional(readFile(name)) : std::nullopt);
        QCOMPARE(QDir("/proc/self/fd").entryList().size(), descriptors);
    }

    // Where the program finds the game, over scratch home folders laid out as
    // Wine, Steam, Lutris, Bottles, Heroic and PlayOnLinux leave them.
    void levelsFolder_data()
    {
        QTest::addColumn<Home>("home");
        QTest::addColumn<QString>("found");     // the prefix, or the whole path of the levels
        QTest::addColumn<QStringList>("trail"); // lines of the search's trail, in order
        const auto game = [](const QString &prefix) { return folder(prefix + "/" + levels); };
        const auto vdf = [](const QStringList &paths) {
            QString text = "\"libraryfolders\"\n{";
            for (int i = 0; i < paths.size(); ++i)
                text += QString("\n\t\"%1\"\t{ \"path\"\t\"%2\"\n\t\"apps\" { \"9\" \"1\" } }")
                            .arg(QString::number(i), paths[i]);
            return text + "\n}\n";
        };
        const QString steam = ".local/share/Steam", proton = "/steamapps/compatdata/2201/pfx";
        const QString libraries = steam + "/steamapps/libraryfolders.vdf";
        const QString games = "games" + proton, pol = ".PlayOnLinux/wineprefix/vantorel";
        const auto row = [](const QString &name, const Home &home, const QString &found,
                            const QStringList &trail = {}) {
            QTest::newRow(qPrintable(name)) << home << found << trail;
        };
        row("nowhere", {folder(".wine/drive_c"), folder(steam + proton + "/drive_c")}, ".wine",
            {"@/.wine: no levels folder", "@/.steam/steam: not there",
             "@/" + steam + proton + ": no levels folder", "@/Games: not there"});
        row("wine first", {game(".wine"), game(steam + proton)}, ".wine");
        const QString flatpak = ".var/app/com.valvesoftware.Steam/";
        for (const QString &root :
             QStringList{".steam/steam", steam, flatpak + steam, flatpak + "data/Steam",
                         "snap/steam/common/" + steam})
            row("steam in " + root,
                {folder(root + "/steamapps/compatdata/7/pfx/drive_c"), game(root + proton)},
                root + proton);
        row("second library, listed twice, through a link, past loops",
            {folder(steam + "/steamapps/compatdata/1/pfx/drive_c"), game(games),
             linkTo(".steam/steam", "@/" + steam), linkTo("lib", "@/games"),
             linkTo("self", "@/self"),
             linkTo(steam + "/steamapps/compatdata/loop", "@/" + steam + "/steamapps"),
             file(libraries, vdf({"@/self", "@/" + steam, "@/games", "@/lib", "@/games/"}))},
            games, {"@/self: loop", "@/" + steam + ": already looked at"});
        // One spelling of the folder, as the current directory spells it: links resolved.
        row("a Steam home reached through its link",
            {linkTo(".steam/steam", "@/" + steam), game(steam + proton)}, steam + proton);
        row("older list",
            {game(games),
             file(libraries, R"("LibraryFolders" { "ContentStatsID" "-1" "1" "@/games" })")},
            games);
        row("malformed list",
            {game(games), game(pol), file(libraries, vdf({"@/games"}).chopped(3))}, pol);
        row("unreadable list", {game(games), game(pol), folder(libraries)}, pol,
            {"@/" + libraries + ": not a regular file"});
        row("launcher files that would block",
            {game(games), game(pol), fifo(libraries), fifo(".config/lutris/games/a.yml"),
             pipeLink(".config/lutris/games/b.yml")},
            pol,
            {"@/" + libraries + ": not a regular file",
             "@/.config/lutris/games/a.yml: not a regular file",
             "@/.config/lutris/games/b.yml: "
             "not a regular file"});
        Home many = {game(steam + "/steamapps/compatdata/9999/pfx"),
                     folder(steam + "/x/pfx/drive_c")};
        for (int i = 0; i < 4096; ++i) // a count that once dropped the game
            many << linkTo(steam + "/steamapps/compatdata/" + QString::number(1000 + i),
                           "@/" + steam + "/x");
        row("more prefixes than any cap", many, steam + "/steamapps/compatdata/9999/pfx");
        row("steam before lutris", {game("Games/vantorel"), game(steam + proton)}, steam + proton);
        row("lutris configuration",
            {game("wine/vantorel"), game("Games/other"),
             file(".config/lutris/games/other.yml", "game:\n  exe: x.exe\nwine: {}\n"),
             file(".local/share/lutris/games/vantorel-1.yml",
                  "system:\n  prefix: /elsewhere\ngame:\n  exe: ~/wine/vantorel/drive_c/v.exe\n"
                  "  prefix: '~/wine/vantorel'   # kept\n")},
            "wine/vantorel", {"@/.config/lutris/games/other.yml: names no prefix"});
        const QString bottles = "bottles/bottles/Games",
                      sandbox = ".var/app/com.usebottles.bottles/data/";
        row("lutris before bottles", {game(".local/share/" + bottles), game("Games/vantorel")},
            "Games/vantorel");
        row("bottles in a sandbox", {game(sandbox + bottles), game(pol)}, sandbox + bottles);
        // The launchers' own files, as their writers write them.
        row("lutris: the prefix above the exe's drive_c, a folded line",
            {game("jeux/vantorel"),
             file(".config/lutris/games/vantorel.yml",
                  "game:\n  exe: '@/jeux/vantorel/drive_c/Program Files/Quenmark"
                  "/Vantorel/\n    vantorel.exe'\n")},
            "jeux/vantorel", {"@/.config/lutris/games/vantorel.yml: read"});
        row("lutris in a sandbox, a doubled quote, escapes",
            {folder("Tom Clancy's: old/drive_c"), game("Jo\u00e3o/Vantorel"),
             file(".var/app/net.lutris.Lutris/config/lutris/games/a.yml",
                  "game:\n  prefix: '@/Tom Clancy''s: old'\n"),
             file(".var/app/net.lutris.Lutris/data/lutris/games/b.yml",
                  "game:\n  prefix: \"@/Jo\\xE3o/Vantorel\"\n")},
            "Jo\u00e3o/Vantorel",
            {"@/Tom Clancy's: old: no levels folder",
             "@/.var/app/net.lutris.Lutris/data/lutris/games/b.yml: read"});
        const QString data = ".local/share/bottles/";
        row("bottles at a custom path, and a bottle made elsewhere",
            {folder("media/Bottles/other/drive_c"), game("mnt/vantorel"), game(pol),
             file(data + "data.yml", "custom_bottles_path: @/media/Bottles\n"),
             file("media/Bottles/vantorel/placeholder.yml", "Path: @/mnt/vantorel\n")},
            "mnt/vantorel",
            {"@/" + data + "data.yml: read", "@/media/Bottles/other: no levels folder",
             "@/media/Bottles/vantorel/placeholder.yml: read"});
        const QString heroicFiles = ".var/app/com.heroicgameslauncher.hgl/config/heroic/";
        const QString defaults =
            R"({"defaultSettings": {"defaultWinePrefix": "~/games/heroic/prefixes/default"}})";
        row("heroic: a game's own file, then the defaults",
            {game("stray"), game("games/heroic/prefixes/default/Vantorel"),
             file(heroicFiles + "GamesConfig/a1.json", R"({"a1": {"winePrefix": "@/stray"}})"),
             file(heroicFiles + "config.json", defaults)},
            "stray",
            {"@/.config/heroic/GamesConfig: not there",
             "@/" + heroicFiles + "GamesConfig/a1.json: read"});
        row("heroic: the default prefixes folder its config.json names",
            {game("games/heroic/prefixes/default/Vantorel"), game(pol),
             file(".config/heroic/config.json", defaults)},
            "games/heroic/prefixes/default/Vantorel",
            {"@/games/heroic/prefixes/default: not a Wine prefix"});
        row("steam's other library list",
            {game(games), game(pol), file(steam + "/config/libraryfolders.vdf", vdf({"@/games"}))},
            games, {"@/" + libraries + ": not there"});
        const QString heroic = "Games/Heroic/Prefixes/";
        row("heroic, deep, past a loop",
            {linkTo(heroic + "default/loop", "@/" + heroic),
             folder(heroic + "default/other/drive_c"), game(heroic + "default/vantorel"),
             game(pol)},
            heroic + "default/vantorel",
            {"@/" + heroic + "default/loop: already looked at",
             "@/" + heroic + "default/other: no levels folder"});
        row("links out of the places searched",
            {linkTo(heroic.chopped(1), "/"), linkTo(".local/share/bottles/bottles/other", "@/.."),
             game(pol)},
            pol,
            {"@/.local/share/bottles/bottles/other: leads outside the places searched",
             "@/" + heroic.chopped(1) + ": leads outside the places searched"});
        row("a library on a file system that never answers",
            {game(pol), hung("hung"), file(libraries, vdf({"@/hung"})), hung(heroic + "net")}, pol,
            {"@/hung/steamapps/compatdata: timed out",
             "@/" + heroic + "net: on another file system"});
        row("the next library after one that never answers",
            {game(pol), game(games), hung("hung"), file(libraries, vdf({"@/hung", "@/games"}))},
            games, {"@/hung/steamapps/compatdata: timed out"});
        Home slow = {game(games), game("Games/older"), file(libraries, vdf({"@/games"})),
                     slowly("games")};
        for (int i = 0; i < 40; ++i)
            slow << folder("games/steamapps/compatdata/" + QString::number(100 + i) +
                           "/pfx/drive_c");
        row("a slow library of many prefixes, looked into at once", slow, games);
        const QString copied = ".local/share/bottles/bottles/copied";
        row("a folder on the way that can be entered but not listed",
            {game(copied), unlistable(copied + "/drive_c/Program Files")}, copied);
        row("any letter case, x86",
            {folder(".wine/drive_c/Program Files/Quenmark"),
             folder(".wine/drive_c/PROGRAM FILES (X86)/quenmark/VANTOREL/Levels")},
            ".wine/drive_c/PROGRAM FILES (X86)/quenmark/VANTOREL/Levels");
        row("WINEPREFIX wins",
            {game(".wine"), folder("mine/drive_c/program files"), winePrefix("@/mine")},
            "mine/drive_c/program files/Quenmark/Vantorel/levels", {"@/mine: no levels folder"});
    }
    void levelsFolder()
    {
        QFETCH(Home, home);
        QFETCH(QString, found);
        QFETCH(QStringList, trail);
        QTemporaryDir scratch;
        const QString root = QFileInfo(scratch.path()).canonicalFilePath() + "/";
        const auto placed = [&](const Entry &entry) { return root + entry.path; };
        const auto has = [&](Entry::Kind kind) {
            return std::any_of(home.begin(), home.end(),
                               [&](const Entry &e) { return e.kind == kind; });
        };
        QString winePrefix;
        int pipeEnds[2], fuse = -1;
        QVERIFY(pipe2(pipeEnds, O_CLOEXEC) == 0);
        std::vector<std::unique_ptr<SlowMount>> slow;
        const auto closeAll = qScopeGuard([&] {
            for (const Entry &entry : home)
                if (entry.kind == Entry::Hung)
                    umount2(QFile::encodeName(placed(entry)).constData(), MNT_DETACH);
                else if (entry.kind == Entry::Unlistable) // the scratch home's removal lists it
                    QFile::setPermissions(placed(entry), QFile::Permissions(0x7700));
            for (int fd : {pipeEnds[0], pipeEnds[1], fuse})
                close(fd); // the search stuck on the mount gets an error and stops
            slow.clear();
        });
        for (const Entry &entry : home) {
            const QString path = placed(entry), text = QString(entry.text).replace("@/", root);
            if (entry.kind != Entry::WinePrefix && entry.kind != Entry::Slowly &&
                entry.kind != Entry::Unlistable)
                QVERIFY(QDir().mkpath(entry.kind == Entry::Folder || entry.kind == Entry::Hung
                                          ? path
                                          : QFileInfo(path).path()));
            switch (entry.kind) {
            case Entry::Folder:
            case Entry::Slowly:
            case Entry::Unlistable:
                break;
            case Entry::File:
                QVERIFY(writeFile(path, text.toUtf8()));
                break;
            case Entry::Link:
                QVERIFY(QFile::link(text, path));
                break;
            case Entry::Fifo:
                QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
                break;
            case Entry::Pipe:
                QVERIFY(QFile::link("/proc/self/fd/" + QString::number(pipeEnds[0]), path));
                break;
            case Entry::Hung:
                if (fuse < 0)
                    fuse = open("/dev/fuse", O_RDWR | O_CLOEXEC);
                if (mount("hung", QFile::encodeName(path).constData(), "fuse", 0,
                          qPrintable(QString("fd=%1,rootmode=40000,user_id=%2,group_id=%3")
                                         .arg(fuse)
                                         .arg(getuid())
                                         .arg(getgid()))) != 0)
                    QSKIP("A FUSE mount of the test's own needs /dev/fuse and the right to mount");
                break;
            case Entry::WinePrefix:
                winePrefix = QString(entry.path).replace("@/", root);
                break;
            }
        }
        // Once all is written: folders shown slowly at their own place, and modes.
        for (const Entry &entry : home) {
            if (entry.kind == Entry::Unlistable)
                QCOMPARE(chmod(QFile::encodeName(placed(entry)).constData(), 0311), 0);
            if (entry.kind != Entry::Slowly)
                continue;
#ifdef SLOWFS
            QVERIFY(QDir().rename(placed(entry), placed(entry) + ".slow"));
            slow.push_back(
                std::make_unique<SlowMount>(placed(entry) + ".slow", placed(entry), "20"));
            if (!slow.back()->mounted())
                QSKIP("A FUSE mount of the test's own needs /dev/fuse and the right to mount");
#else
            QSKIP("The slow disk needs libfuse 3 (libfuse3-dev) when the tests are built");
#endif
        }
        // Root reads what its modes forbid: the search runs without that right.
        const auto asUser = asUserWhere(has(Entry::Unlistable));
        // Where a place never answers, the search gives up on it sooner than it would.
        const gamesearch::GameFolder game = gamesearch::findGame(
            scratch.path(), winePrefix,
            has(Entry::Hung) ? std::chrono::milliseconds(500) : gamesearch::StallLimit);
        QCOMPARE(game.levels, root + found + (found.contains("drive_c") ? "" : "/" + levels));
        qsizetype at = 0;
        for (QString line : trail) {
            at = game.trail.indexOf(line.replace("@/", root), at);
            QVERIFY2(at >= 0, qPrintable(line + " not in the trail:\n" + game.trail.join('\n')));
        }
        // The log follows the levels folder that was found.
        QCOMPARE(game.log, game.levels + "/Renames.txt");
#ifdef SLOWFS
        // A cold disk answers a folder of prefixes in the time of a few requests.
        for (const auto &mount : slow)
            QVERIFY2(mount->peak() >= 8, "the prefixes were looked into one after another");
#endif
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
