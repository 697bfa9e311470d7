#include "builtinpaths.h"
#include "fileopendialog.h"
#include "logfile.h"
#include "logtextbox.h"
#include "messagerecorder.h"
#include "renames.h"
#include "singlewindow.h"
#include "support.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using windowing::FileOpenDialog;
using windowing::Single;

namespace {
template <class T> T *child(const char *name)
{
    T *found = Single<Renames>::get().findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}
QString logText()
{
    return child<viewer::LogTextBox>("Text1")->text();
}
QLineEdit *pathBox()
{
    return child<QLineEdit>("Text2");
}
void refresh()
{
    QTest::mouseClick(child<QPushButton>("OKButton"), Qt::LeftButton);
}
void browse()
{
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
}
int openDescriptors()
{
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}
const QString initialText = "There were no renames done in this program.";
} // namespace

class TestRenames : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

private slots:
    void initTestCase() { windowing::useDialogFont(); }

    void cleanup()
    {
        FileOpenDialog::setChooser({});
        windowing::unloadAll();
    }

    void initialContents()
    {
        Single<Renames>::show();
        Renames &viewer = Single<Renames>::get();
        QCOMPARE(viewer.windowTitle(), QString("Renames done in this program. "));
        QCOMPARE(viewer.size(), QSize(468, 529));
        QCOMPARE(logText(), initialText);
        QCOMPARE(pathBox()->text(),
                 platform::hostPath(QString::fromUtf16(platform::DefaultLogPath)));
        QCOMPARE(child<QLabel>("Label1")->text(), QString("FROM        TO"));
        for (const char *name : {"Month1", "Month2"}) {
            auto *calendar = child<QCalendarWidget>(name);
            QVERIFY(!calendar->isEnabled());
            QCOMPARE(calendar->selectedDate(), QDate(2003, 7, 4));
            QCOMPARE(calendar->minimumDate(), QDate(1753, 1, 1));
            QCOMPARE(calendar->maximumDate(), QDate(9999, 12, 31));
        }
    }

    void refreshLoadsTheLog_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("crlf") << QByteArray("a\r\nb") << "a\r\nb\r\n";
        QTest::newRow("lone cr and lf") << QByteArray("a\rb\nc") << "a\r\nb\nc\r\n";
        QTest::newRow("zero bytes") << QByteArray() << "";
    }
    void refreshLoadsTheLog()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QVERIFY(writeFile(path("Renames.txt"), bytes));
        pathBox()->setText(path("Renames.txt"));
        MessageRecorder recorder;
        refresh();
        QCOMPARE(logText(), text);
        refresh(); // the collected text never grows across presses
        QCOMPARE(logText(), text);
        QVERIFY(recorder.messages.isEmpty());
        QCOMPARE(Single<Renames>::get().cursor().shape(), Qt::ArrowCursor);
    }

    void failedRefreshKeepsTheText_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"missing", "folder", "fifo", "blank", "character device", "socket",
                                 "link loop", "unreadable", "read error", "shrinks", "grows"})
            QTest::newRow(kind) << QString(kind);
    }
    // Whatever the path names, a failed load says so, keeps the text it had,
    // restores the pointer, leaves no file open, and the viewer goes on working.
    void failedRefreshKeepsTheText()
    {
        QFETCH(QString, kind);
        const QString bad = kind == "blank"              ? QString(" ")
                            : kind == "character device" ? QString("/dev/zero")
                                                         : path("bad");
        QFile::remove(path("bad"));
        QDir(path("bad")).removeRecursively();
        int socketFd = -1;
        platform::detail::ReadFunction fault;
        if (kind == "folder")
            QVERIFY(QDir(dir.path()).mkdir("bad"));
        else if (kind == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(bad).constData(), 0600), 0);
        else if (kind == "link loop")
            QVERIFY(QFile::link(bad, bad));
        else if (kind == "socket") {
            socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            qstrncpy(address.sun_path, QFile::encodeName(bad).constData(), sizeof address.sun_path);
            QCOMPARE(bind(socketFd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        } else if (kind == "unreadable") {
            if (geteuid() == 0)
                QSKIP("root reads files without read permission");
            QVERIFY(writeFile(bad, "secret"));
            QFile::setPermissions(bad, QFile::WriteOwner);
        } else if (kind == "read error" || kind == "shrinks" || kind == "grows") {
            QVERIFY(writeFile(bad, QByteArray(5000, 'x')));
            fault = [=](int fd, void *data, size_t size) {
                if (kind == "read error") {
                    errno = EIO;
                    return ssize_t(-1);
                }
                QFile file(bad);
                if (kind == "shrinks")
                    file.resize(10);
                else if (file.open(QIODevice::Append))
                    file.write("more");
                platform::detail::logReadFunction() = {};
                return read(fd, data, size);
            };
        }
        QVERIFY(writeFile(path("good.txt"), "good"));
        pathBox()->setText(path("good.txt"));
        MessageRecorder loaded;
        refresh();
        QCOMPARE(logText(), QString("good\r\n"));

        const int descriptors = openDescriptors();
        QList<Qt::CursorShape> pointers;
        MessageRecorder recorder(
            [&](const QString &) { pointers << Single<Renames>::get().cursor().shape(); });
        pathBox()->setText(bad);
        platform::detail::logReadFunction() = fault;
        refresh();
        platform::detail::logReadFunction() = {};
        QCOMPARE(recorder.messages, QStringList{"Error reading file."});
        QCOMPARE(pointers, QList<Qt::CursorShape>{Qt::WaitCursor});
        QCOMPARE(Single<Renames>::get().cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(logText(), QString("good\r\n"));
        QCOMPARE(openDescriptors(), descriptors);
        if (socketFd >= 0)
            close(socketFd);

        // Still usable: the next press loads what the log holds now.
        QVERIFY(writeFile(path("good.txt"), "better"));
        pathBox()->setText(path("good.txt"));
        refresh();
        QCOMPARE(logText(), QString("better\r\n"));
        QCOMPARE(recorder.messages.size(), 1);
        QVERIFY(Single<Renames>::get().isEnabled());
    }

    void largeLog_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("loads");
        QTest::newRow("large") << (qint64(24) << 20) << true;
        QTest::newRow("over the limit") << viewer::LargestLog + 1 << false;
    }
    // A large log loads whole; one over the limit is refused before it is
    // read, and the text box keeps what it had.
    void largeLog()
    {
        QFETCH(qint64, size);
        QFETCH(bool, loads);
        const QByteArray line = "Rename levl2131.DAT to levl2001.DAT OK\r\n";
        QByteArray bytes;
        if (loads) {
            bytes = line.repeated(size / line.size() + 1).left(size);
            QVERIFY(writeFile(path("large.txt"), bytes));
        } else {
            // Sparse: refused on its size, so none of it needs to exist on disk.
            QFile file(path("large.txt"));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
        }
        QVERIFY(writeFile(path("good.txt"), "good"));
        pathBox()->setText(path("good.txt"));
        refresh();
        pathBox()->setText(path("large.txt"));
        MessageRecorder recorder;
        refresh();
        if (loads) {
            QVERIFY(recorder.messages.isEmpty());
            // Every line, the open last one with its end added.
            QVERIFY(logText() == QString::fromLatin1(bytes) + "\r\n");
        } else {
            QCOMPARE(recorder.messages, QStringList{"Error reading file."});
            QCOMPARE(logText(), QString("good\r\n"));
        }
    }

    void emptyPathDoesNothing()
    {
        pathBox()->clear();
        MessageRecorder recorder([](const QString &) {});
        refresh();
        QCOMPARE(logText(), initialText);
        QVERIFY(recorder.messages.isEmpty());
        QVERIFY(!Single<Renames>::get().testAttribute(Qt::WA_SetCursor));
    }

    void browseKeepsTheLastChoice()
    {
        QStringList filters;
        std::optional<QString> answer; // nothing: the user cancels
        FileOpenDialog::setChooser([&](QWidget *, const QString &filter) {
            filters << filter;
            return answer;
        });
        browse(); // a cancel in a fresh viewer empties the path box
        QCOMPARE(pathBox()->text(), QString());
        answer = path("Renames.txt");
        browse();
        QCOMPARE(pathBox()->text(), path("Renames.txt"));
        pathBox()->setText("typed");
        answer.reset();
        browse(); // a cancel puts the last choice back
        QCOMPARE(pathBox()->text(), path("Renames.txt"));
        QCOMPARE(filters, QStringList(3, "txt Files (*.TXT)|*.TXT"));

        windowing::unloadAll(); // a reloaded viewer has forgotten it
        browse();
        QCOMPARE(pathBox()->text(), QString());
        QCOMPARE(windowing::nameFilters("txt Files (*.TXT)|*.TXT"),
                 QStringList{"txt Files (*.TXT)"});
        QCOMPARE(windowing::nameFilters("Logs|*.TXT;*.LOG"), QStringList{"Logs (*.TXT *.LOG)"});
    }

    void backUnloadsAndCloseDoesToo()
    {
        Single<Renames>::show();
        pathBox()->setText("typed");
        child<viewer::LogTextBox>("Text1")->setText("edited");
        QTest::mouseClick(child<QPushButton>("CancelButton"), Qt::LeftButton);
        QVERIFY(!Single<Renames>::isLoaded());
        Single<Renames>::show();
        QCOMPARE(logText(), initialText);
        QVERIFY(pathBox()->text() != "typed");
        Single<Renames>::get().close();
        QVERIFY(!Single<Renames>::isLoaded());
    }

    void keyboard()
    {
        Single<Renames>::show();
        QVERIFY(QTest::qWaitForWindowActive(&Single<Renames>::get()));
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("OKButton"));
        QStyleOptionButton focusShown;
        focusShown.initFrom(QApplication::focusWidget());
        QVERIFY(focusShown.state & QStyle::State_HasFocus);
        QVERIFY(focusShown.state & QStyle::State_KeyboardFocusChange);
        QStringList order;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(order, QStringList({"CancelButton", "Text1", "Text2", "Command1", "OKButton"}));
        // Esc and Enter press no button: the viewer stays, nothing is read.
        MessageRecorder recorder;
        pathBox()->setText(path("missing.txt"));
        for (auto key : {Qt::Key_Escape, Qt::Key_Return})
            QTest::keyClick(child<QWidget>("Text2"), key);
        QVERIFY(Single<Renames>::isLoaded());
        QVERIFY(recorder.messages.isEmpty());
    }
};

QTEST_MAIN(TestRenames)
#include "tst_renames.moc"
