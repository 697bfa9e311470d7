#include "rename.h"
#include "support.h"

#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace platform;

// The rename primitive on real files in a scratch folder, which is made the
// current directory so that names resolve as they do in the program.
class TestRename : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString home;

    static int rename(const char *from, const char *to) { return renameNoReplace(from, to); }

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        home = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
    }
    void cleanup() { QDir::setCurrent(home); }

    void outcomes()
    {
        QVERIFY(writeFile("a", "alpha"));
        QVERIFY(writeFile("b", "beta"));

        QCOMPARE(rename("a", "c"), int(RenameOk));
        QCOMPARE(entries("."), QStringList({"b", "c"}));
        QCOMPARE(readFile("c"), QByteArray("alpha"));

        QCOMPARE(rename("missing", "d"), int(FileNotFound));
        QCOMPARE(rename("c", "b"), int(FileAlreadyExists));
        QCOMPARE(readFile("b"), QByteArray("beta"));
        QCOMPARE(readFile("c"), QByteArray("alpha"));

        QCOMPARE(rename("nofolder/c", "d"), int(PathNotFound));
        QCOMPARE(rename("c", "nofolder/d"), int(PathNotFound));
        QCOMPARE(rename("c", std::string(300, 'x').c_str()), int(BadFileName));
        QCOMPARE(rename("c", "c"), int(FileAlreadyExists));
        QCOMPARE(renameNoReplace(std::string("c\0x", 3), "d"), int(BadFileName));
        QCOMPARE(entries("."), QStringList({"b", "c"}));
    }

    void readOnlyFolder()
    {
        if (geteuid() == 0)
            QSKIP("root renames in read-only folders; the fault tests cover read-only mounts");
        QVERIFY(QDir().mkdir("locked"));
        QVERIFY(writeFile("locked/a", "alpha"));
        QFile::setPermissions("locked", QFile::ReadOwner | QFile::ExeOwner);
        const int code = rename("locked/a", "locked/b");
        QFile::setPermissions("locked", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(code, int(PermissionDenied));
        QCOMPARE(entries("locked"), QStringList({"a"}));
    }

    // Each way of renaming keeps its promise on its own, whichever the file
    // system lets the primitive use.
    void everyWayRefusesToReplace()
    {
        QVERIFY(writeFile("a", "alpha"));
        QVERIFY(writeFile("b", "beta"));
        bool unsupported = false;
        QCOMPARE(detail::renameByLink("a", "b", unsupported), int(FileAlreadyExists));
        QVERIFY(!unsupported);
        QCOMPARE(detail::renameAfterCheck("a", "b"), int(FileAlreadyExists));
        QCOMPARE(detail::renameByLink("gone", "c", unsupported), int(FileNotFound));
        QCOMPARE(detail::renameAfterCheck("gone", "c"), int(FileNotFound));
        QCOMPARE(detail::renameByLink("a", "c", unsupported), int(RenameOk));
        QCOMPARE(detail::renameAfterCheck("c", "d"), int(RenameOk));
        QCOMPARE(entries("."), QStringList({"b", "d"}));
        QCOMPARE(readFile("d"), QByteArray("alpha"));

        // Folders have no hard links: that way steps aside for the next.
        QVERIFY(QDir().mkdir("folder"));
        QCOMPARE(detail::renameByLink("folder", "other", unsupported), int(PathFileAccessError));
        QVERIFY(unsupported);
        QCOMPARE(rename("folder", "other"), int(RenameOk));
    }

    // Another process keeps creating the target while the level file is
    // renamed back and forth: whoever wins, no file is ever replaced.
    void targetAppearingMeanwhileIsNeverReplaced()
    {
        QVERIFY(writeFile("level", "level data"));
        std::atomic<bool> stop = false;
        std::atomic<int> created = 0;
        std::thread intruder([&] {
            while (!stop) {
                const int fd = open("target", O_WRONLY | O_CREAT | O_EXCL, 0644);
                if (fd >= 0) {
                    [[maybe_unused]] auto n = write(fd, "intruder", 8);
                    close(fd);
                    ++created;
                    unlink("target"); // an intruder that also leaves again
                }
            }
        });
        int refused = 0;
        for (int i = 0; i < 20000; ++i) {
            const int there = rename("level", "target");
            if (there == FileAlreadyExists) {
                ++refused;
                continue;
            }
            QCOMPARE(there, int(RenameOk));
            // The intruder cannot have slipped its file under our name:
            QCOMPARE(readFile("target"), QByteArray("level data"));
            QCOMPARE(rename("target", "level"), int(RenameOk));
        }
        stop = true;
        intruder.join();
        QCOMPARE(readFile("level"), QByteArray("level data"));
        qInfo("intruder files: %d, renames refused: %d", created.load(), refused);
    }
};

QTEST_GUILESS_MAIN(TestRename)
#include "tst_rename.moc"
