#include "caserename.h"
#include "rename.h"
#include "support.h"

#include <QDirIterator>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

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
} // namespace

// What the rename fault matrix cannot set up: another process taking the
// target name in the moment the primitive changes ways, and the renames that
// ignore letter case. On real files in a scratch folder made the current
// directory, so that names resolve as they do in the program.
class TestRename : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString home;

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        home = QDir::currentPath();
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
            QCOMPARE(renameNoReplace(source, "target"), int(FileAlreadyExists));
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
};

QTEST_GUILESS_MAIN(TestRename)
#include "tst_rename.moc"
