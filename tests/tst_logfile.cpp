#include "logfile.h"
#include "support.h"

#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::readWholeFile;
using platform::detail::logReadFunction;

namespace {
int openDescriptors()
{
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}
} // namespace

class TestLogFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

private slots:
    void cleanup() { logReadFunction() = {}; }

    void readsRegularFiles()
    {
        QVERIFY(writeFile(path("log.txt"), "a\r\nb"));
        QCOMPARE(readWholeFile(path("log.txt")), std::optional<QByteArray>("a\r\nb"));
        QVERIFY(writeFile(path("empty.txt"), ""));
        QCOMPARE(readWholeFile(path("empty.txt")), std::optional<QByteArray>(QByteArray()));
        QVERIFY(QFile::link(path("log.txt"), path("link.txt")));
        QCOMPARE(readWholeFile(path("link.txt")), std::optional<QByteArray>("a\r\nb"));
    }

    void largest_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("read");
        QTest::newRow("below") << qint64(999) << true;
        QTest::newRow("at") << qint64(1000) << true;
        QTest::newRow("above") << qint64(1001) << false;
    }
    void largest()
    {
        QFETCH(qint64, size);
        QFETCH(bool, read);
        const QByteArray bytes(size, 'x');
        QVERIFY(writeFile(path("log.txt"), bytes));
        QCOMPARE(readWholeFile(path("log.txt"), 1000),
                 read ? std::optional<QByteArray>(bytes) : std::nullopt);
    }

    void refusesWhatIsNoRegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"empty path", "missing", "folder", "fifo", "fifo with a writer",
                                 "link loop", "dangling link", "blank", "/dev/zero", "/dev/null",
                                 "/dev/stdin", "/proc/self/status", "unreadable"})
            QTest::newRow(kind) << QString(kind);
    }
    // Nothing a user can type may block, run forever or read what is no
    // file, and no descriptor is left open.
    void refusesWhatIsNoRegularFile()
    {
        QFETCH(QString, kind);
        QString name = kind.startsWith('/') ? kind : path("entry");
        QFile::remove(path("entry"));
        QDir(path("entry")).removeRecursively();
        int keep = -1;
        if (kind == "empty path")
            name.clear();
        else if (kind == "folder")
            QVERIFY(QDir(dir.path()).mkdir("entry"));
        else if (kind.startsWith("fifo"))
            QCOMPARE(mkfifo(QFile::encodeName(name).constData(), 0600), 0);
        else if (kind == "link loop")
            QVERIFY(QFile::link(name, name));
        else if (kind == "dangling link")
            QVERIFY(QFile::link(path("nowhere"), name));
        else if (kind == "blank")
            name = " ";
        else if (kind == "unreadable") {
            if (geteuid() == 0)
                QSKIP("root reads files without read permission");
            QVERIFY(writeFile(name, "x"));
            QFile::setPermissions(name, QFile::WriteOwner);
        }
        if (kind == "fifo with a writer")
            QVERIFY((keep = open(QFile::encodeName(name).constData(), O_RDWR | O_NONBLOCK)) >= 0);

        const int before = openDescriptors();
        QCOMPARE(readWholeFile(name), std::nullopt);
        QCOMPARE(openDescriptors(), before);
        if (keep >= 0)
            close(keep);
    }

    void faultsWhileReading_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("read");
        QTest::newRow("read error") << "error" << false;
        QTest::newRow("read error after a part") << "late error" << false;
        QTest::newRow("read error at the end") << "end error" << false;
        QTest::newRow("shrinks") << "shrink" << false;
        QTest::newRow("grows") << "grow" << false;
        QTest::newRow("interrupted, then reads") << "interrupt" << true;
        QTest::newRow("short reads") << "short" << true;
    }
    // The file changes or fails between the size check and the read: the log
    // is read whole or not at all, and the descriptor is closed either way.
    void faultsWhileReading()
    {
        QFETCH(QString, fault);
        QFETCH(bool, read);
        const QByteArray bytes(100000, 'x');
        QVERIFY(writeFile(path("log.txt"), bytes));
        int calls = 0;
        logReadFunction() = [&](int fd, void *data, size_t size) -> ssize_t {
            ++calls;
            if (fault == "error" || (fault.endsWith("error") && calls == 2)) {
                errno = EIO;
                return -1;
            }
            if (fault == "interrupt" && calls == 1) {
                errno = EINTR;
                return -1;
            }
            if (calls == 1 && fault == "shrink")
                QFile::resize(path("log.txt"), 10);
            if (calls == 1 && fault == "grow") {
                QFile log(path("log.txt"));
                if (log.open(QIODevice::Append))
                    log.write("more");
            }
            if (fault == "late error" || fault == "short")
                size = std::min<size_t>(size, 4096);
            return ::read(fd, data, size);
        };
        const int before = openDescriptors();
        const auto result = readWholeFile(path("log.txt"));
        QCOMPARE(openDescriptors(), before);
        QVERIFY(calls > 0);
        if (read)
            QCOMPARE(result, std::optional<QByteArray>(bytes));
        else
            QCOMPARE(result, std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
