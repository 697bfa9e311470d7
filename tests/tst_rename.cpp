#include "caserename.h"
#include "rename.h"
#include "support.h"

#include <QDirIterator>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {
// Which of the primitive's ways a file system leaves it.
enum Way { Exclusive, Link, AfterCheck };

void useWay(Way way)
{
    detail::FallbackSeam &seam = detail::fallbackSeam();
    seam.exclusiveUnsupported = way != Exclusive;
    seam.linkUnsupported = way == AfterCheck;
}

const char *wayName(Way way)
{
    return way == Exclusive ? "no-replace" : way == Link ? "link" : "after check";
}

// Every entry under the current folder with its bytes; folders as "<folder>".
QMap<QString, QByteArray> tree()
{
    QMap<QString, QByteArray> all;
    QDirIterator it(".", QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = it.next().mid(2);
        all[name] = it.fileInfo().isDir() ? QByteArray("<folder>") : readFile(name);
    }
    return all;
}

int renameNames(const char *from, const char *to)
{
    return renameNoReplace(from, to);
}
} // namespace

// The rename primitive on real files in a scratch folder, which is made the
// current directory so that names resolve as they do in the program. The
// same cases run down each way the primitive can take, as it must on file
// systems that lack the better ones.
class TestRename : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString home;
    QString mountProblem; // why the mounted file systems are missing, if they are

    void requireMounts()
    {
        if (!mountProblem.isEmpty())
            QSKIP(qPrintable(mountProblem));
    }

private slots:
    // As root, a tmpfs "other" (another file system) and a read-only tmpfs
    // "readonly" holding "kept" sit beside the scratch folder "work".
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        home = QDir::currentPath();
        const QDir top(dir.path());
        QVERIFY(top.mkpath("work") && top.mkpath("other") && top.mkpath("readonly"));
        if (geteuid() != 0) {
            mountProblem = "needs root to mount the other and the read-only file system";
            return;
        }
        const QByteArray other = QFile::encodeName(top.filePath("other"));
        const QByteArray readOnly = QFile::encodeName(top.filePath("readonly"));
        if (mount("vr-other", other.constData(), "tmpfs", 0, "size=1m") != 0 ||
            mount("vr-readonly", readOnly.constData(), "tmpfs", 0, "size=1m") != 0) {
            mountProblem = QString("cannot mount tmpfs here: %1").arg(strerror(errno));
            return;
        }
        QVERIFY(writeFile(top.filePath("readonly/kept"), "kept"));
        QCOMPARE(
            mount("vr-readonly", readOnly.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr),
            0);
    }
    void cleanupTestCase()
    {
        QDir::setCurrent(home);
        const QDir top(dir.path());
        for (const char *name : {"other", "readonly"})
            umount2(QFile::encodeName(top.filePath(name)).constData(), MNT_DETACH);
    }
    void init()
    {
        const QString work = QDir(dir.path()).filePath("work");
        QVERIFY(QDir(work).removeRecursively());
        QVERIFY(QDir().mkpath(work));
        QVERIFY(QDir::setCurrent(work));
    }
    void cleanup()
    {
        useWay(Exclusive);
        detail::fallbackSeam().beforeFallback = {};
        QDir::setCurrent(home);
    }

    void everyWay_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("mounted");
        const QString longName(300, 'x');
        const struct {
            const char *title;
            QString from, to;
            int code;
            bool mounted;
        } cases[] = {
            {"file", "level", "renamed", RenameOk, false},
            {"folder", "folder", "renamed", RenameOk, false},
            {"source missing", "missing", "renamed", FileNotFound, false},
            {"target present", "level", "other", FileAlreadyExists, false},
            {"target is a folder", "level", "folder", FileAlreadyExists, false},
            {"folder onto a file", "folder", "level", FileAlreadyExists, false},
            {"equal names", "level", "level", FileAlreadyExists, false},
            {"missing folder in the source", "gone/level", "renamed", PathNotFound, false},
            {"missing folder in the target", "level", "gone/renamed", PathNotFound, false},
            {"over-long name", "level", longName, BadFileName, false},
            {"file to a name ending in a slash", "level", "renamed/", PathNotFound, false},
            {"folder to a name ending in a slash", "folder", "renamed/", RenameOk, false},
            {"other file system", "level", "../other/level", RenameAcrossDisks, true},
            {"folder to another file system", "folder", "../other/folder", RenameAcrossDisks, true},
            {"read-only file system", "../readonly/kept", "../readonly/moved", PermissionDenied,
             true},
        };
        for (Way way : {Exclusive, Link, AfterCheck})
            for (const auto &c : cases)
                QTest::addRow("%s, %s", wayName(way), c.title)
                    << int(way) << c.from << c.to << c.code << c.mounted;
    }
    // Whichever way it takes, the primitive gives the same code, and the only
    // change to any file is the one name on success.
    void everyWay()
    {
        QFETCH(int, way);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, code);
        QFETCH(bool, mounted);
        if (mounted)
            requireMounts();
        QVERIFY(writeFile("level", "level data"));
        QVERIFY(writeFile("other", "other data"));
        QVERIFY(QDir().mkpath("folder/inner"));
        QVERIFY(writeFile("folder/inner/file", "inner data"));
        QDir::setCurrent("..");
        const auto before = tree();
        QDir::setCurrent("work");

        useWay(Way(way));
        QCOMPARE(
            renameNames(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()),
            code);

        QDir::setCurrent("..");
        auto wanted = before;
        if (code == RenameOk) {
            wanted.clear();
            const QString oldName = "work/" + from, newName = QDir::cleanPath("work/" + to);
            for (auto it = before.begin(); it != before.end(); ++it) {
                QString name = it.key();
                if (name == oldName || name.startsWith(oldName + "/"))
                    name = newName + name.mid(oldName.size());
                wanted[name] = it.value();
            }
        }
        QCOMPARE(tree(), wanted);
    }

    void targetAppearsBeforeTheFallback_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<int>("hooks");
        QTest::newRow("before the link") << int(Link) << 1;
        QTest::newRow("before the last resort") << int(AfterCheck) << 2;
    }
    // Another process creates the target just after the better way stepped
    // aside: the fallback refuses rather than replace it.
    void targetAppearsBeforeTheFallback()
    {
        QFETCH(int, way);
        QFETCH(int, hooks);
        for (const char *source : {"level", "folder"}) {
            if (QString(source) == "folder")
                QVERIFY(QDir().mkpath("folder/inner"));
            else
                QVERIFY(writeFile("level", "level data"));
            int called = 0;
            detail::fallbackSeam().beforeFallback = [&] {
                if (++called == hooks)
                    QVERIFY(writeFile("target", "intruder"));
            };
            useWay(Way(way));
            QCOMPARE(renameNames(source, "target"), int(FileAlreadyExists));
            QVERIFY(called >= hooks); // a folder steps aside from the link too
            QCOMPARE(readFile("target"), QByteArray("intruder"));
            QVERIFY(QFile::exists(source));
            QVERIFY(QFile::remove("target"));
        }
    }

    void caseRules_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("after"); // each file keeps its first name as contents
        const QStringList one{"levl1.DAT"}, lower{"levl1.dat"};
        QTest::newRow("exact") << one << "levl1.DAT"
                               << "levl2.DAT" << 0 << QStringList{"levl1.DAT>levl2.DAT"};
        QTest::newRow("source in another case")
            << lower << "levl1.DAT"
            << "levl2.DAT" << 0 << QStringList{"levl1.dat>levl2.DAT"};
        QTest::newRow("source in two other cases")
            << QStringList{"levl1.dat", "LEVL1.DAT"} << "levl1.DAT"
            << "levl2.DAT" << AmbiguousFileName << QStringList{"LEVL1.DAT", "levl1.dat"};
        QTest::newRow("exact source beside a case variant")
            << QStringList{"levl1.DAT", "levl1.dat"} << "levl1.DAT"
            << "levl2.DAT" << 0 << QStringList{"levl1.dat", "levl1.DAT>levl2.DAT"};
        QTest::newRow("target in another case")
            << QStringList{"levl1.dat", "LEVL2.dat"} << "levl1.DAT"
            << "levl2.DAT" << int(FileAlreadyExists) << QStringList{"LEVL2.dat", "levl1.dat"};
        QTest::newRow("case only") << one << "levl1.DAT"
                                   << "levl1.dat" << 0 << QStringList{"levl1.DAT>levl1.dat"};
        QTest::newRow("case only, both there")
            << QStringList{"levl1.DAT", "levl1.dat"} << "levl1.DAT"
            << "levl1.Dat" << int(FileAlreadyExists) << QStringList{"levl1.DAT", "levl1.dat"};
        QTest::newRow("target in another folder named as the source")
            << QStringList{"levl1.DAT", "sub/levl1.DAT"} << "levl1.DAT"
            << "sub/levl1.dat" << int(FileAlreadyExists)
            << QStringList{"levl1.DAT", "sub/levl1.DAT"};
        QTest::newRow("source missing in every case")
            << QStringList{"levl2.dat"} << "levl1.DAT"
            << "levl2.DAT" << int(FileNotFound) << QStringList{"levl2.dat"};
    }
    // The game's Windows sees names without regard to letter case; the
    // renames follow it, and still never replace a file.
    void caseRules()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, code);
        QFETCH(QStringList, after);
        for (const QString &name : files)
            QVERIFY(QDir().mkpath(QFileInfo(name).path()) && writeFile(name, name.toUtf8()));
        QCOMPARE(renameIgnoringCase(QFile::encodeName(from).constData(),
                                    QFile::encodeName(to).constData()),
                 code);
        QMap<QString, QByteArray> wanted;
        for (const QString &entry : after) {
            const QStringList names = entry.split('>');
            wanted[names.last()] = names.first().toUtf8();
        }
        QMap<QString, QByteArray> found = tree();
        found.remove("sub");
        QCOMPARE(found, wanted);
    }

    void linkStepsAsideForFolders()
    {
        QVERIFY(QDir().mkdir("folder"));
        bool unsupported = false;
        QCOMPARE(detail::renameByLink("folder", "other", unsupported), int(PathFileAccessError));
        QVERIFY(unsupported);
        QVERIFY(QFileInfo("folder").isDir());
        QVERIFY(!QFile::exists("other"));
    }
};

QTEST_GUILESS_MAIN(TestRename)
#include "tst_rename.moc"
