#include "caserename.h"
#include "support.h"

#include <QDirIterator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#endif

using namespace platform;

namespace {
constexpr bool OnWindows = std::filesystem::path::preferred_separator == '\\';
// The ways of the primitive on POSIX, each as a file system lacking the better
// ones leaves it; then the program's renames, with the game's letter-case rules.
constexpr int Ways = OnWindows ? 1 : 3, CaseRules = 3;
const char *const WayNames[] = {"", "link, ", "last resort, ", "ignoring case, "};

void useWay(int way)
{
#ifndef _WIN32
    detail::fallbackSeam().exclusiveUnsupported = way > 0;
    detail::fallbackSeam().linkUnsupported = way > 1;
#endif
    Q_UNUSED(way)
}

// Each entry "name/" a folder or "name = bytes" a file.
void make(const QStringList &files)
{
    for (const QString &file : files)
        file.endsWith('/')
            ? QDir().mkpath(file)
            : writeFile(file.section(" = ", 0, 0), file.section(" = ", 1).toLatin1());
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

// On success `source` has the name `to`, else nothing changed; the file system
// may refuse with `orRefused` instead of `code`.
struct Case {
    int way;
    QStringList files;
    QString from, to;
    int code, orRefused;
    QString source;
    int intrudeAt = 0; // another process creates `to` as the primitive calls its next way
};
} // namespace
Q_DECLARE_METATYPE(Case)

// The rename primitive on real files in a fresh current folder, on whichever
// file system renamematrix.sh puts it (VR_SCRATCH): the code the user sees and
// every entry of the folder, byte for byte.
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
#ifndef _WIN32
        detail::fallbackSeam() = {};
#endif
        QDir::setCurrent(home);
        dir.reset();
    }

    void renames_data()
    {
        QTest::addColumn<Case>("c");
        const int refusedName = OnWindows ? BadFileName : RenameOk;
        const int notOnFat = OnWindows ? RenameOk : BadFileName; // exFAT and FAT refuse them too
        const int notOnFuseFat = fuseFat ? BadFileName : RenameOk;
        const int folderRefused = fuseFat ? PermissionDenied : RenameOk;
        const QStringList level{"levl2131.DAT = level 2131", "other.DAT = other"};
        const QStringList folder{"levl2131.DAT/", "levl2131.DAT/in = in"};
        const QString src = "levl2131.DAT";
        // Where the runner could: an empty folder on another disk, a read-only one holding "kept".
        const QString other = qEnvironmentVariable("VR_OTHER_DISK");
        const QString readOnly = qEnvironmentVariable("VR_READ_ONLY");
        const QString longPath = QString(QString(200, 'p') + "/").repeated(40) + "levl1.DAT";
        for (int way = 0; way < Ways; ++way) {
            const auto row = [&](const char *title, const QStringList &files, const QString &from,
                                 const QString &to, int code, int orRefused = RenameOk,
                                 int intrudeAt = 0) {
                QTest::addRow("%s%s", WayNames[way], title)
                    << Case{way, files, from, to, code, orRefused, from, intrudeAt};
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
            for (const char *to : {"levl\xc3\xa9.DAT", "levl\xe6\x97\xa5.DAT"})
                row(to, level, src, QString::fromUtf8(to), RenameOk, notOnFuseFat);
            // Once: FAT through FUSE hangs on further case-only renames.
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
            if (way > 0) { // the next way refuses rather than replace it
                row("target appears", level, src, "levl2001.DAT", FileAlreadyExists, 0, way);
                row("target appears for a folder", {"levl2131.DAT/"}, src, "t", FileAlreadyExists,
                    0, way);
            }
            if (!OnWindows) {
                row("file to a name ending in a slash", level, src, "levl2001.DAT/", PathNotFound);
                row("folder to a name ending in a slash", folder, src, "levl2001.DAT/", RenameOk,
                    folderRefused);
            }
        }
        // Where the file system ignores case itself, these are its own rules.
        const auto caseRow = [&](const char *title, const QStringList &files, const char *to,
                                 int code, const char *source = "levl1.DAT") {
            QStringList entries{"sub/"}; // each file holds its own name
            for (const QString &file : files)
                entries << file + " = " + file;
            if (!caseless)
                QTest::addRow("%s%s", WayNames[CaseRules], title)
                    << Case{CaseRules, entries, "levl1.DAT", to, code, 0, source};
        };
        caseRow("exact", {"levl1.DAT"}, "levl2.DAT", 0);
        caseRow("source in another case", {"levl1.dat"}, "levl2.DAT", 0, "levl1.dat");
        caseRow("source in two other cases", {"levl1.dat", "LEVL1.DAT"}, "levl2.DAT",
                AmbiguousFileName);
        caseRow("exact source beside a case variant", {"levl1.DAT", "levl1.dat"}, "levl2.DAT", 0);
        caseRow("target in another case", {"levl1.dat", "LEVL2.dat"}, "levl2.DAT",
                FileAlreadyExists);
        caseRow("case only", {"levl1.DAT"}, "levl1.dat", 0);
        caseRow("case only, both there", {"levl1.DAT", "levl1.dat"}, "levl1.Dat",
                FileAlreadyExists);
        caseRow("target in another folder named as the source", {"levl1.DAT", "sub/levl1.DAT"},
                "sub/levl1.dat", FileAlreadyExists);
        caseRow("source missing in every case", {"levl2.dat"}, "levl2.DAT", FileNotFound);
    }
    void renames()
    {
        QFETCH(Case, c);
        make(c.files);
        const QStringList before = tree();
        useWay(c.way == CaseRules ? 0 : c.way);
#ifndef _WIN32
        detail::fallbackSeam().beforeFallback = [&, calls = 0]() mutable {
            if (++calls == c.intrudeAt)
                QVERIFY(writeFile(c.to, "intruder"));
        };
#endif
        const auto native = [](const QString &n) {
            return std::filesystem::path(n.toStdU16String());
        };
        const int got = (c.way == CaseRules ? renameIgnoringCase : renameNoReplace)(native(c.from),
                                                                                    native(c.to));
        QCOMPARE(got, c.orRefused != RenameOk && got == c.orRefused ? got : c.code);
        QStringList wanted = before + QStringList(c.intrudeAt ? 1 : 0, c.to + " = intruder");
        for (QString &entry : wanted)
            if (got == RenameOk &&
                (entry.startsWith(c.source + " = ") || entry.startsWith(c.source + "/")))
                entry.replace(0, c.source.size(), c.to.chopped(c.to.endsWith('/')));
        wanted.sort();
        // Where case is ignored a case-only rename may keep the old spelling.
        if (caseless && c.from.compare(c.to, Qt::CaseInsensitive) == 0 && tree() == before)
            wanted = before;
        QCOMPARE(tree(), wanted);
        const QString other = qEnvironmentVariable("VR_OTHER_DISK");
        QVERIFY(other.isEmpty() || QDir(other).isEmpty()); // nothing copied there
    }

#ifndef _WIN32
    void race_data()
    {
        QTest::addColumn<int>("way");
        int way = 0;
        for (const char *name : {"no-replace", "link", "last resort"})
            QTest::newRow(name) << way++;
    }
    // Another program appends records to the target name (creating it as
    // fopen "a" does) while the level file is renamed onto it and back; a
    // refused rename moves its file aside. The level file keeps its bytes and
    // every record is in some file, once; only the last resort may lose
    // records, and only ones in a file the writer created between its check
    // and its rename.
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
        const auto record = [](int n) { return QString("%1").arg(n, 7, 10, QChar('0')); };
        QSet<ino_t> created;       // by the writer
        std::vector<ino_t> fileOf; // of each record
        std::atomic<bool> started = false;
        {
            std::jthread appender([&](std::stop_token stop) {
                for (started = true; !stop.stop_requested();) {
                    int fd = open("levl3001.DAT", O_WRONLY | O_APPEND | O_CLOEXEC);
                    const bool creating = fd < 0;
                    if (creating)
                        fd = open("levl3001.DAT",
                                  O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
                    struct stat file;
                    if (fd < 0 || fstat(fd, &file) != 0)
                        continue;
                    if (creating)
                        created.insert(file.st_ino);
                    if (write(fd, qPrintable(record(fileOf.size()) + "\n"), 8) == 8)
                        fileOf.push_back(file.st_ino);
                    close(fd);
                }
            });
            while (!started)
                std::this_thread::yield();
            for (int i = 0; i < 300; ++i) {
                const int code = renameNoReplace("levl3000.DAT", "levl3001.DAT");
                if (code == FileAlreadyExists)
                    std::rename("levl3001.DAT", qPrintable("spilled/" + QString::number(i)));
                else
                    QCOMPARE(QList({code, renameNoReplace("levl3001.DAT", "levl3000.DAT")}),
                             QList({0, 0}));
            }
        }
        QStringList records;
        for (const QString &entry : tree())
            records += entry.section(" = ", 1).split('\n', Qt::SkipEmptyParts);
        QVERIFY(readFile("levl3000.DAT").startsWith("level 3000\n") &&
                records.removeOne("level 3000"));
        const QSet<QString> found(records.begin(), records.end());
        QCOMPARE(found.size(), records.size()); // none twice
        QVERIFY(std::ranges::all_of(records, [](const QString &r) { return r.size() == 7; }));
        for (int n = 0; n < int(fileOf.size()); ++n)
            QVERIFY2(found.contains(record(n)) || (way == 2 && created.contains(fileOf[n])),
                     qPrintable("lost " + record(n)));
        qInfo("%zu records", fileOf.size());
    }
#endif
};

QTEST_GUILESS_MAIN(TestRenameMatrix)
#include "tst_renamematrix.moc"
