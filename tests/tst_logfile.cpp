#include "logfile.h"
#include "support.h"

#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::readWholeFile;

// Reading the log whole: nothing a user can type may block, run forever or
// read what is no regular file, a log that fails, shrinks or grows while being
// read is not read at all, and no descriptor is ever left open.
class TestLogFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void cleanup() { platform::detail::logReadFunction() = {}; }

    void reads_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("fault"); // of read(2) while reading a log
        QTest::addColumn<bool>("read");
        for (const char *kind : {"log", "empty", "link -> log"})
            QTest::newRow(kind) << kind << "" << true;
        for (const char *kind :
             {"over the limit", "empty path", "missing", "folder", "fifo", "fifo with a writer",
              "link -> entry", "link -> nowhere", "blank", "/dev/zero", "/dev/null", "/dev/stdin",
              "/proc/self/status", "unreadable"})
            QTest::newRow(kind) << kind << "" << false;
        for (const char *fault : {"error", "late error", "end error", "shrink", "grow"})
            QTest::newRow(fault) << "log" << fault << false;
        for (const char *fault : {"interrupt", "short"})
            QTest::newRow(fault) << "log" << fault << true;
    }
    void reads()
    {
        QFETCH(QString, kind);
        QFETCH(QString, fault);
        QFETCH(bool, read);
        constexpr int Largest = 100000;
        const QString log = dir.filePath("log"), entry = dir.filePath("entry");
        QFile::remove(entry);
        QVERIFY(QDir(entry).removeRecursively() && writeFile(log, QByteArray(Largest, 'x')));
        QString name = kind.startsWith('/') ? kind : kind == "log" ? log : entry;
        if (kind == "empty" || kind == "over the limit")
            QVERIFY(writeFile(name, QByteArray(kind == "empty" ? 0 : Largest + 1, 'x')));
        else if (kind == "empty path" || kind == "blank")
            name = kind == "blank" ? " " : "";
        else if (kind == "folder")
            QVERIFY(QDir().mkdir(name));
        else if (kind.startsWith("fifo"))
            QCOMPARE(mkfifo(QFile::encodeName(name).constData(), 0600), 0);
        else if (kind.startsWith("link"))
            QVERIFY(QFile::link(dir.filePath(kind.section("-> ", 1)), name));
        if (kind == "unreadable" && geteuid() == 0)
            QSKIP("root reads files without read permission");
        if (kind == "unreadable")
            QVERIFY(writeFile(name, "x") && QFile::setPermissions(name, QFile::WriteOwner));
        const int writer = kind == "fifo with a writer"
                               ? open(QFile::encodeName(name).constData(), O_RDWR | O_NONBLOCK)
                               : -1;
        int calls = 0;
        platform::detail::logReadFunction() = [&](int fd, void *data, size_t size) -> ssize_t {
            ++calls;
            if (fault == "error" || (fault.endsWith("error") && calls == 2) ||
                (fault == "interrupt" && calls == 1)) {
                errno = fault == "interrupt" ? EINTR : EIO;
                return -1;
            }
            if (calls == 1 && fault == "shrink")
                QFile::resize(log, 10);
            QFile grown(log);
            if (calls == 1 && fault == "grow" && grown.open(QIODevice::Append))
                grown.write("more");
            if (fault == "late error" || fault == "short")
                size = std::min<size_t>(size, 4096);
            return ::read(fd, data, size);
        };
        const auto descriptors = [] { return QDir("/proc/self/fd").entryList().size(); };
        const auto before = descriptors();
        QCOMPARE(readWholeFile(name, Largest), read ? std::optional(readFile(name)) : std::nullopt);
        QCOMPARE(descriptors(), before);
        QVERIFY(fault.isEmpty() || calls > 0);
        if (writer >= 0)
            close(writer);
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
