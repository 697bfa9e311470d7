#include "builtinpaths.h"
#include "fileopendialog.h"
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

using windowing::FileOpenDialog;
using windowing::Single;

namespace {
template <class T> T *child(const char *name)
{
    return child<T>(Single<Renames>::get(), name);
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
        QTest::newRow("line ends") << QByteArray("a\r\nb\rc\nd") << "a\r\nb\r\nc\nd\r\n";
        QTest::newRow("zero bytes") << QByteArray() << "";
        const QByteArray line = "Rename levl2131.DAT to levl2001.DAT OK\r\n";
        const QByteArray large = line.repeated((24 << 20) / line.size());
        QTest::newRow("large") << large << QString::fromLatin1(large);
    }
    void refreshLoadsTheLog()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QVERIFY(writeFile(path("Renames.txt"), bytes));
        pathBox()->setText(path("Renames.txt"));
        MessageRecorder recorder;
        refresh();
        QVERIFY(logText() == text);
        refresh(); // the collected text never grows across presses
        QVERIFY(logText() == text);
        QVERIFY(recorder.messages.isEmpty());
        QCOMPARE(Single<Renames>::get().cursor().shape(), Qt::ArrowCursor);
    }

    void failedRefreshKeepsTheText_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("over the limit") << "over the limit";
    }
    // A failed load says so, keeps the text it had, restores the pointer, and
    // the viewer goes on working. What the log reader refuses is its own table.
    void failedRefreshKeepsTheText()
    {
        QFETCH(QString, kind);
        const QString bad = path("bad");
        QFile::remove(bad);
        if (kind == "over the limit") {
            // Sparse: refused on its size, so none of it needs to exist on disk.
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(viewer::LargestLog + 1));
        }
        QVERIFY(writeFile(path("good.txt"), "good"));
        pathBox()->setText(path("good.txt"));
        MessageRecorder loaded;
        refresh();
        QCOMPARE(logText(), QString("good\r\n"));

        QList<Qt::CursorShape> pointers;
        MessageRecorder recorder(
            [&](const QString &) { pointers << Single<Renames>::get().cursor().shape(); });
        pathBox()->setText(bad);
        refresh();
        QCOMPARE(recorder.messages, QStringList{"Error reading file."});
        QCOMPARE(pointers, QList<Qt::CursorShape>{Qt::WaitCursor});
        QCOMPARE(Single<Renames>::get().cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(logText(), QString("good\r\n"));

        // Still usable: the next press loads what the log holds now.
        QVERIFY(writeFile(path("good.txt"), "better"));
        pathBox()->setText(path("good.txt"));
        refresh();
        QCOMPARE(logText(), QString("better\r\n"));
        QCOMPARE(recorder.messages.size(), 1);
        QVERIFY(Single<Renames>::get().isEnabled());
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
