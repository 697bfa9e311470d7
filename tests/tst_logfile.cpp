#include "logfile.h"
#include "support.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using platform::readWholeFile;

class TestLogFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    static int openDescriptors()
    {
        return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
    }

private slots:
    void readsRegularFiles()
    {
        QVERIFY(writeFile(path("log.txt"), "a\r\nb"));
        QCOMPARE(readWholeFile(path("log.txt")), std::optional<QByteArray>("a\r\nb"));
        QVERIFY(writeFile(path("empty.txt"), ""));
        QCOMPARE(readWholeFile(path("empty.txt")), std::optional<QByteArray>(QByteArray()));
        QVERIFY(QFile::link(path("log.txt"), path("link.txt")));
        QCOMPARE(readWholeFile(path("link.txt")), std::optional<QByteArray>("a\r\nb"));
    }

    // Nothing a user can type may block or run forever, and no descriptor
    // is left open.
    void refusesWhatIsNoRegularFile()
    {
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        QCOMPARE(mkfifo(path("fifo").toLocal8Bit().constData(), 0600), 0);
        QVERIFY(QFile::link(path("loop"), path("loop")));
        const int before = openDescriptors();
        for (const QString &bad :
             {QString(), path("missing"), path("folder"), path("fifo"), path("loop"), QString(" "),
              QString("/dev/zero"), QString("/dev/stdin"), QString("/proc/self/status")})
            QVERIFY2(!readWholeFile(bad), qPrintable(bad));
        QCOMPARE(openDescriptors(), before);
    }

    void refusesUnreadableFiles()
    {
        if (geteuid() == 0)
            QSKIP("root reads files without read permission");
        QVERIFY(writeFile(path("secret.txt"), "x"));
        QFile::setPermissions(path("secret.txt"), QFile::WriteOwner);
        QVERIFY(!readWholeFile(path("secret.txt")));
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
