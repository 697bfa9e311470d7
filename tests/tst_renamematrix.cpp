#include "caserename.h"
#include "support.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <latch>
#include <thread>
#include <unistd.h>
#endif

using namespace renaming;

namespace {
constexpr bool OnWindows = std::filesystem::path::preferred_separator == '\\';
// The ways of the primitive on POSIX, each as a file system lacking the better
// ones leaves it; then the program's renames, with the game's letter-case rules.
constexpr int Ways = OnWindows ? 1 : 3, CaseRules = 3;
const char *const WayNames[] = {"", "link, ", "last resort, ", "ignoring case, "};
const QString Source = "levl2131.DAT";
const QStringList Level{Source + " = level 2131", "other.DAT = other"};

// Each entry "name/" a folder, "name = bytes" a file, "name" a file holding its name.
void make(const QStringList &files)
{
    for (const QString &file : files)
        file.endsWith('/')
            ? QDir().mkpath(file)
            : writeFile(file.section(" = ", 0, 0), file.section(" = ", -1).toLatin1());
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
    QString from, to, source;
    int code, orRefused, intrudeAt; // before which fallback another process creates `to`
};
} // namespace
Q_DECLARE_METATYPE(Case)

// The rename primitive on real files in a fresh current folder, on whichever
// file system renamematrix.sh puts it (VR_SCRATCH): the code the user sees and
// every entry of the folder, byte for byte.
class TestRenameMatrix : public QObject {
    Q_OBJECT
    const RunScratch run{"tst_renamematrix"};
    std::unique_ptr<QTemporaryDir> dir;
    QString home = QDir::currentPath();
    // FAT through FUSE, whose driver damages the file system or loses files in
    // renames: each rename of a source that is there must be refused.
    const bool fuseFat = qEnvironmentVariableIsSet("VR_FUSE_FAT");
    // Where the runner could: an empty folder on another disk, a read-only one holding "kept".
    const QString other = qEnvironmentVariable("VR_OTHER_DISK");
    const QString readOnly = qEnvironmentVariable("VR_READ_ONLY");
    const QString scratch = qEnvironmentVariable("VR_SCRATCH", QDir::tempPath()) + "/vr-XXXXXX";
    const bool caseless = [this] { // as Windows and FAT are
        const QTemporaryDir probe(scratch);
        return writeFile(probe.filePath("probe"), "") && QFileInfo::exists(probe.filePath("PROBE"));
    }();

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>(scratch);
        QVERIFY(dir->isValid() && QDir::setCurrent(dir->path()));
    }
    void cleanup()
    {
        QDir::setCurrent(home);
        dir.reset();
    }

    void renames_data()
    {
        QTest::addColumn<Case>("c");
        const int refusedName = OnWindows ? BadFileName : RenameOk;
        const int notOnFat = OnWindows ? RenameOk : BadFileName; // exFAT and FAT refuse them too
        const QStringList folder{"levl2131.DAT/", "levl2131.DAT/in = in"};
        const QString &src = Source, dst = "levl2001.DAT";
        const QString longPath = QString(QString(200, 'p') + "/").repeated(40) + "levl1.DAT";
        for (int way = 0; way < Ways; ++way) {
            const auto row = [&](const char *title, const QString &to, int code,
                                 int orRefused = RenameOk, const QStringList &files = Level,
                                 const QString &from = Source, int intrudeAt = 0) {
                QTest::addRow("%s%s", WayNames[way], title)
                    << Case{way, files, from, to, from, code, orRefused, intrudeAt};
            };
            row("renames", dst, RenameOk);
            row("source missing", dst, FileNotFound, 0, Level, "levl9.DAT");
            row("target present", "other.DAT", FileAlreadyExists);
            row("target is a folder", dst, FileAlreadyExists, 0,
                {src + " = x", dst + "/", dst + "/in = in"});
            row("source is a folder", dst, RenameOk, 0, folder);
            row("folder onto a file", dst, FileAlreadyExists, 0, {src + "/", dst + " = kept"});
            row("missing source folder", dst, PathNotFound, 0, Level, "gone/" + src);
            row("missing target folder", "gone/" + dst, PathNotFound);
            row("over-long name", QString(300, 'x'), BadFileName);
            row("over-long path", longPath, OnWindows ? PathNotFound : BadFileName);
            row("NUL", QString("levl") + QChar(0) + ".DAT", BadFileName);
            for (const char *to : {"levl?.DAT", "levl*.DAT", "levl<1>.DAT", "levl|.DAT", "l\".DAT"})
                row(to, to, refusedName, notOnFat);
            for (const char *to : {"levl\xc3\xa9.DAT", "levl\xe6\x97\xa5.DAT"})
                row(to, QString::fromUtf8(to), RenameOk);
            if (way == 0)
                row("case only", "levl2131.dat", RenameOk);
            if (way == 0 && !caseless)
                row("case only, both there", "levl2131.dat", FileAlreadyExists, 0,
                    {src + " = a", "levl2131.dat = b"});
            // In the folders the runner gives (@other, @read-only), where it can.
            row("file to another disk", "@other/l.DAT", RenameAcrossDisks);
            row("folder to another disk", "@other/l.DAT", RenameAcrossDisks, 0, folder);
            row("read-only", "@read-only/l.DAT", PermissionDenied, 0, Level, "@read-only/kept");
            // The platform decides; either way nothing is lost.
            row("equal names", src, OnWindows ? RenameOk : FileAlreadyExists);
            if (way > 0) { // the next way refuses rather than replace it
                row("target appears", dst, FileAlreadyExists, 0, Level, src, way);
                row("target appears for a folder", dst, FileAlreadyExists, 0, {src + "/"}, src,
                    way);
            }
            if (!OnWindows) {
                row("file to a name ending in a slash", dst + "/", PathNotFound);
                row("folder to a name ending in a slash", dst + "/", RenameOk, 0, folder);
            }
        }
        // Where the file system ignores case itself, these are its own rules.
        const auto caseRow = [&](const char *title, const QStringList &files, const char *to,
                                 int code, const char *source = "levl1.DAT") {
            if (!caseless)
                QTest::addRow("%s%s", WayNames[CaseRules], title) << Case{
                    CaseRules, QStringList("sub/") + files, "levl1.DAT", to, source, code, 0, 0};
        };
        caseRow("exact", {"levl1.DAT"}, "levl2.DAT", RenameOk);
        caseRow("source in another case", {"levl1.dat"}, "levl2.DAT", RenameOk, "levl1.dat");
        caseRow("two other cases", {"levl1.dat", "LEVL1.DAT"}, "levl2.DAT", AmbiguousFileName);
        caseRow("exact beside a case variant", {"levl1.DAT", "levl1.dat"}, "levl2.DAT", RenameOk);
        caseRow("target in another case", {"levl1.dat", "LEVL2.dat"}, "levl2.DAT",
                FileAlreadyExists);
        caseRow("case only", {"levl1.DAT"}, "levl1.dat", RenameOk);
        caseRow("case only, both there", {"levl1.DAT", "levl1.dat"}, "levl1.Dat",
                FileAlreadyExists);
        caseRow("target named as the source", {"levl1.DAT", "sub/levl1.DAT"}, "sub/levl1.dat",
                FileAlreadyExists);
        caseRow("missing in every case", {"levl2.dat"}, "levl2.DAT", FileNotFound);
    }
    void renames()
    {
        QFETCH(Case, c);
        for (const auto &[place, folder] : {std::pair{"@other", other}, {"@read-only", readOnly}})
            if (c.from.startsWith(place) || c.to.startsWith(place)) {
                if (folder.isEmpty())
                    QSKIP("renamematrix.sh gives that folder where it can: a tmpfs as root");
                for (QString *name : {&c.from, &c.to, &c.source})
                    name->replace(place, folder);
            }
        make(c.files);
        const QStringList before = tree();
#ifndef _WIN32
        const int way = c.way % CaseRules;
        detail::fallbackSeam() = {way > 0, way > 1, [&, calls = 0]() mutable {
                                      if (++calls == c.intrudeAt)
                                          QVERIFY(writeFile(c.to, "intruder"));
                                  }};
#endif
        const int got = (c.way == CaseRules ? renameIgnoringCase : renameNoReplace)(
            c.from.toStdU16String(), c.to.toStdU16String());
        if (fuseFat) // nothing renamed there: each call fails with its own code or 75
            QVERIFY2((got == c.code && got != RenameOk) || got == PathFileAccessError,
                     qPrintable(QString::number(got)));
        else
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
        QVERIFY(other.isEmpty() || QDir(other).isEmpty()); // nothing copied there
    }

#ifndef _WIN32
    void race_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("no-replace") << 0;
        QTest::newRow("link") << 1;
        QTest::newRow("last resort") << 2;
    }
    // Another program appends records to the target name (as fopen "a" does)
    // while the level file is renamed onto it and back; a refused rename moves
    // its file aside. The level file stays whole and no record is ever found
    // twice; the atomic ways keep every record, the last resort may replace a
    // file made in the instant after its look-up. renamematrix.sh checks the
    // file system afterwards.
    void race()
    {
        QFETCH(int, way);
        make({"a = ", "levl3000.DAT = level 3000\n", "spilled/"});
        bool unsupported = false;
        if (way < 2)
            (way == 0 ? detail::renameExclusive : detail::renameByLink)("a", "b", unsupported);
        if (unsupported)
            QSKIP("this file system lacks that way");
        detail::fallbackSeam() = {way > 0, way > 1, {}};
        const auto record = [](int n) { return QString("%1").arg(n, 7, 10, QChar('0')); };
        std::atomic<int> written = 0;
        int refused = 0;
        std::latch started(1);
        {
            std::jthread appender([&](std::stop_token stop) {
                for (started.count_down(); !stop.stop_requested();) {
                    const int fd = open("levl3001.DAT", O_WRONLY | O_APPEND | O_CREAT, 0644);
                    if (fd < 0)
                        continue;
                    written += write(fd, qPrintable(record(written) + "\n"), 8) == 8;
                    close(fd);
                }
            });
            started.wait();
            // Until records have been appended meanwhile too, however the two are
            // scheduled (FAT refuses every rename here: nothing races there).
            for (int i = 0; i < 300 || (!fuseFat && written < 100 && i < 100000); ++i) {
                const RenameCode code = renameNoReplace("levl3000.DAT", "levl3001.DAT");
                if (fuseFat && (code == FileAlreadyExists || code == PathFileAccessError))
                    ++refused; // no rename there is safe, not even the spilling
                else if (code == FileAlreadyExists)
                    std::rename("levl3001.DAT", qPrintable("spilled/" + QString::number(i)));
                else
                    QCOMPARE(QList({code, renameNoReplace("levl3001.DAT", "levl3000.DAT")}),
                             QList({RenameOk, RenameOk}));
            }
        }
        QStringList records, wanted;
        for (const QString &entry : tree())
            records += entry.section(" = ", 1).split('\n', Qt::SkipEmptyParts);
        records.sort();
        for (int n = 0; n < written; ++n)
            wanted << record(n);
        wanted << "level 3000";
        if (way == 2) // what was lost, never what was duplicated; records may be many
            wanted.removeIf([&](const QString &r) {
                return !std::binary_search(records.cbegin(), records.cend(), r);
            });
        QCOMPARE(records, wanted);
        QVERIFY(records.contains("level 3000"));
        qInfo("%d records written, %lld lost, %d renames refused", written.load(),
              written + 1 - records.size(), refused);
    }
#endif
};

QTEST_GUILESS_MAIN(TestRenameMatrix)
#include "tst_renamematrix.moc"
