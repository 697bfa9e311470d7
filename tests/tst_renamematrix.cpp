#include "caserename.h"
#include "rename.h"
#include "support.h"

#include <QDirIterator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <atomic>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#endif

using namespace platform;

namespace {
#ifdef _WIN32
constexpr bool OnWindows = true;
#else
constexpr bool OnWindows = false;
#endif
// The ways the primitive takes on POSIX, each as a file system lacking the
// better ones leaves it.
constexpr int Ways = OnWindows ? 1 : 3;
const char *const WayNames[] = {"", "link, ", "last resort, "};

void useWay(int way)
{
#ifndef _WIN32
    detail::fallbackSeam().exclusiveUnsupported = way > 0;
    detail::fallbackSeam().linkUnsupported = way > 1;
#endif
    Q_UNUSED(way)
}

std::filesystem::path native(const QString &name)
{
    return std::filesystem::path(name.toStdU16String());
}

// Each entry "name/" for a folder or "name = bytes" for a file.
void make(const QStringList &files)
{
    for (const QString &file : files)
        QVERIFY(file.endsWith('/')
                    ? QDir().mkpath(file)
                    : writeFile(file.section(" = ", 0, 0), file.section(" = ", 1).toLatin1()));
}

// Every entry under the current folder, as make() takes them, sorted.
QStringList tree()
{
    QStringList all;
    QDirIterator it(".", QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = it.next().mid(2);
        all << (it.fileInfo().isDir() ? name + "/" : name + " = " + readFile(name));
    }
    all.sort();
    return all;
}

// `files` after `from`, and all it holds, got the name `to`.
QStringList renamed(QStringList files, const QString &from, QString to)
{
    if (to.endsWith('/'))
        to.chop(1);
    for (QString &file : files)
        if (file.startsWith(from + " = ") || file.startsWith(from + "/"))
            file.replace(0, from.size(), to);
    files.sort();
    return files;
}
} // namespace

// The rename primitive on real files in a fresh folder, made the current one so
// that names resolve as they do in the program, on whichever file system
// renamematrix.sh puts it (VR_SCRATCH). Each case checks the code the user
// sees and every entry of the folder, byte for byte.
class TestRenameMatrix : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    QString home = QDir::currentPath();
    // FAT through FUSE, whose driver would lose a file over names beyond ASCII
    // and what a folder holds on renaming it: these must be refused.
    const bool fuseFat = qEnvironmentVariableIsSet("VR_FUSE_FAT");
    bool caseless = false; // as Windows and FAT are

private slots:
    void initTestCase()
    {
        init();
        make({"probe = "});
        caseless = QFileInfo::exists("PROBE");
        cleanup();
    }
    void init()
    {
        dir = std::make_unique<QTemporaryDir>(qEnvironmentVariable("VR_SCRATCH", QDir::tempPath()) +
                                              "/vr-XXXXXX");
        QVERIFY(dir->isValid() && QDir::setCurrent(dir->path()));
    }
    void cleanup()
    {
        useWay(0);
#ifndef _WIN32
        detail::fallbackSeam().beforeFallback = {};
#endif
        QDir::setCurrent(home);
        dir.reset();
    }

    void renames_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        // On success `from` now has the name `to`, else nothing changed.
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("orRefused"); // a code the file system may refuse with instead
        const int refusedName = OnWindows ? BadFileName : RenameOk;
        const int notOnFat = OnWindows ? RenameOk : BadFileName; // exFAT and FAT refuse them too
        const int notOnFuseFat = fuseFat ? BadFileName : RenameOk;
        const int folderRefused = fuseFat ? PermissionDenied : RenameOk;
        const QStringList level{"levl2131.DAT = level 2131", "other.DAT = other"};
        const QStringList folder{"levl2131.DAT/", "levl2131.DAT/in = in"};
        const QString src = "levl2131.DAT";
        // Set by the runner where it could: an empty folder on another file
        // system, a read-only folder holding "kept".
        const QString other = qEnvironmentVariable("VR_OTHER_DISK");
        const QString readOnly = qEnvironmentVariable("VR_READ_ONLY");
        QString longPath = "levl1.DAT";
        for (int i = 0; i < 40; ++i)
            longPath.prepend(QString(200, 'p') + "/");
        for (int way = 0; way < Ways; ++way) {
            const auto row = [&](const char *title, const QStringList &files, const QString &from,
                                 const QString &to, int code, int orRefused = RenameOk) {
                QTest::addRow("%s%s", WayNames[way], title)
                    << way << files << from << to << code << orRefused;
            };
            row("renames", level, src, "levl2001.DAT", RenameOk);
            row("source missing", level, "levl9.DAT", "levl2001.DAT", FileNotFound);
            row("target present", level, src, "other.DAT", FileAlreadyExists);
            row("target is a folder", {"levl2131.DAT = x", "levl2001.DAT/", "levl2001.DAT/in = in"},
                src, "levl2001.DAT", FileAlreadyExists);
            row("source is a folder", folder, src, "levl2001.DAT", RenameOk, folderRefused);
            row("folder onto a file", {"levl2131.DAT/", "levl2001.DAT = kept"}, src, "levl2001.DAT",
                FileAlreadyExists);
            row("missing source folder", level, "gone/" + src, "levl2001.DAT", PathNotFound);
            row("missing target folder", level, src, "gone/levl2001.DAT", PathNotFound);
            row("over-long name", level, src, QString(300, 'x'), BadFileName);
            row("over-long path", level, src, longPath, OnWindows ? PathNotFound : BadFileName);
            row("NUL", level, src, QString("levl") + QChar(0) + ".DAT", BadFileName);
            for (const char *to : {"levl?.DAT", "levl*.DAT", "levl<1>.DAT", "levl|.DAT", "l\".DAT"})
                row(to, level, src, to, refusedName, notOnFat);
            row("accent", level, src, QString::fromUtf8("levl\xc3\xa9.DAT"), RenameOk,
                notOnFuseFat);
            row("kanji", level, src, QString::fromUtf8("levl\xe6\x97\xa5.DAT"), RenameOk,
                notOnFuseFat);
            // Once, as before: FAT through FUSE hangs on further case-only renames.
            if (way == 0)
                row("case only", level, src, "levl2131.dat", RenameOk);
            if (way == 0 && !caseless)
                row("case only, both there", {"levl2131.DAT = a", "levl2131.dat = b"}, src,
                    "levl2131.dat", FileAlreadyExists);
            if (!other.isEmpty()) {
                row("file to another disk", level, src, other + "/l.DAT", RenameAcrossDisks);
                row("folder to another disk", folder, src, other + "/l.DAT", RenameAcrossDisks,
                    folderRefused);
            }
            if (!readOnly.isEmpty())
                row("read-only", level, readOnly + "/kept", readOnly + "/l.DAT", PermissionDenied);
            // The platform decides; either way nothing is lost.
            row("equal names", level, src, src, OnWindows ? RenameOk : FileAlreadyExists);
            if (!OnWindows) {
                row("file to a name ending in a slash", level, src, "levl2001.DAT/", PathNotFound);
                row("folder to a name ending in a slash", folder, src, "levl2001.DAT/", RenameOk,
                    folderRefused);
            }
        }
    }
    void renames()
    {
        QFETCH(int, way);
        QFETCH(QStringList, files);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, code);
        QFETCH(int, orRefused);
        make(files);
        const QStringList before = tree();
        useWay(way);
        const int got = renameNoReplace(native(from), native(to));
        if (orRefused != RenameOk && got == orRefused)
            code = got;
        QCOMPARE(got, code);
        QCOMPARE(tree(), code == RenameOk ? renamed(before, from, to) : before);
        QVERIFY(qEnvironmentVariable("VR_OTHER_DISK").isEmpty() ||
                QDir(qEnvironmentVariable("VR_OTHER_DISK")).isEmpty()); // nothing copied there
    }

    // The game's Windows sees names without regard to letter case; the program's
    // renames follow it, and still never replace a file.
    void caseRules_data()
    {
        QTest::addColumn<QStringList>("files"); // each holding its own name
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("source"); // the file that now has the name `to`
        if (caseless)
            QSKIP("the file system applies these rules itself");
        const auto row = [](const char *title, const QStringList &files, const char *to, int code,
                            const char *source = "levl1.DAT") {
            QTest::newRow(title) << files << "levl1.DAT" << to << code << source;
        };
        row("exact", {"levl1.DAT"}, "levl2.DAT", 0);
        row("source in another case", {"levl1.dat"}, "levl2.DAT", 0, "levl1.dat");
        row("source in two other cases", {"levl1.dat", "LEVL1.DAT"}, "levl2.DAT",
            AmbiguousFileName);
        row("exact source beside a case variant", {"levl1.DAT", "levl1.dat"}, "levl2.DAT", 0);
        row("target in another case", {"levl1.dat", "LEVL2.dat"}, "levl2.DAT", FileAlreadyExists);
        row("case only", {"levl1.DAT"}, "levl1.dat", 0);
        row("case only, both there", {"levl1.DAT", "levl1.dat"}, "levl1.Dat", FileAlreadyExists);
        row("target in another folder named as the source", {"levl1.DAT", "sub/levl1.DAT"},
            "sub/levl1.dat", FileAlreadyExists);
        row("source missing in every case", {"levl2.dat"}, "levl2.DAT", FileNotFound);
    }
    void caseRules()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, code);
        QFETCH(QString, source);
        QVERIFY(QDir().mkpath("sub"));
        for (const QString &file : files)
            make({file + " = " + file});
        const QStringList before = tree();
        QCOMPARE(renameIgnoringCase(native(from), native(to)), code);
        QCOMPARE(tree(), code == RenameOk ? renamed(before, source, to) : before);
    }

#ifndef _WIN32
    // Another process creates the target just after a better way stepped
    // aside: the next way refuses rather than replace it.
    void targetAppearsBeforeTheFallback()
    {
        make({"level = level", "folder/"});
        for (const int way : {1, 2})
            for (const char *source : {"level", "folder"}) {
                int called = 0;
                detail::fallbackSeam().beforeFallback = [&] {
                    if (++called == way)
                        QVERIFY(writeFile("target", "intruder"));
                };
                useWay(way);
                QCOMPARE(renameNoReplace(source, "target"), int(FileAlreadyExists));
                QVERIFY(called >= way); // a folder steps aside from the link too
                QCOMPARE(tree(), QStringList({"folder/", "level = level", "target = intruder"}));
                QVERIFY(QFile::remove("target"));
            }
    }

    void race_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("no-replace") << 0;
        QTest::newRow("link") << 1;
        QTest::newRow("last resort") << 2;
    }
    // Two other programs write records to the target name while the level file
    // is renamed onto it and back: one appends (as fopen "a" does), one
    // creates the name exclusively; a refused rename moves their file aside.
    // The level file must keep its bytes and every record must be in some
    // file, once. Only the last resort may lose records, and only ones written
    // into a file a writer created in the moment between its check and rename.
    void race()
    {
        QFETCH(int, way);
        make({"a = "});
        bool unsupported = false;
        if (way < 2)
            (way == 0 ? detail::renameExclusive : detail::renameByLink)("a", "b", unsupported);
        if (unsupported)
            QSKIP("this file system lacks that way");
        if (way == 2 && fuseFat)
            QSKIP("that driver repeats, drops and hangs on concurrent writers by itself");
        make({"levl3000.DAT = level 3000\n", "spilled/"});
        useWay(way);
        const auto record = [](int side, int n) {
            return QString("%1%2").arg(QChar("AB"[side])).arg(n, 6, 10, QChar('0'));
        };
        // The files each writer created, and the file each record went into.
        std::set<ino_t> created[2];
        std::vector<ino_t> fileOf[2];
        std::atomic<int> running = 0;
        int renames = 0;
        const auto writer = [&](std::stop_token stop, int side) {
            ++running;
            while (!stop.stop_requested()) {
                int fd = side == 0 ? open("levl3001.DAT", O_WRONLY | O_APPEND | O_CLOEXEC) : -1;
                const bool creating = fd < 0;
                if (creating)
                    fd = open("levl3001.DAT", O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC,
                              0644);
                struct stat file;
                if (fd < 0 || fstat(fd, &file) != 0)
                    continue;
                if (creating)
                    created[side].insert(file.st_ino);
                if (write(fd, qPrintable(record(side, fileOf[side].size()) + "\n"), 8) == 8)
                    fileOf[side].push_back(file.st_ino);
                close(fd);
            }
        };
        {
            std::jthread appender(writer, 0), creator(writer, 1);
            while (running < 2)
                std::this_thread::yield();
            for (int i = 0; i < 300; ++i) {
                const int code = renameNoReplace("levl3000.DAT", "levl3001.DAT");
                if (code == FileAlreadyExists) {
                    std::rename("levl3001.DAT", qPrintable("spilled/" + QString::number(i)));
                    continue;
                }
                QCOMPARE(code, int(RenameOk));
                QCOMPARE(renameNoReplace("levl3001.DAT", "levl3000.DAT"), int(RenameOk));
                ++renames;
            }
        }
        QSet<QString> found;
        for (const QString &entry : tree()) {
            QStringList records = entry.section(" = ", 1).split('\n', Qt::SkipEmptyParts);
            if (entry.startsWith("levl3000.DAT"))
                QCOMPARE(records.takeFirst(), QString("level 3000"));
            for (const QString &r : records) {
                QVERIFY2(r.size() == 7 && !found.contains(r), qPrintable(r)); // whole, once
                found.insert(r);
            }
        }
        int lost = 0;
        for (const int side : {0, 1})
            for (int n = 0; n < int(fileOf[side].size()); ++n)
                if (!found.contains(record(side, n))) {
                    const ino_t file = fileOf[side][n];
                    QVERIFY2(way == 2 && (created[0].contains(file) || created[1].contains(file)),
                             qPrintable("lost " + record(side, n)));
                    ++lost;
                }
        qInfo("%d of 300 renames, %zu appended, %zu created, %d lost in the gap", renames,
              fileOf[0].size(), fileOf[1].size(), lost);
    }
#endif
};

QTEST_GUILESS_MAIN(TestRenameMatrix)
#include "tst_renamematrix.moc"
