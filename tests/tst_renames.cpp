#include "builtinpaths.h"
#include "fileopendialog.h"
#include "logtext.h"
#include "logtextbox.h"
#include "messagerecorder.h"
#include "renames.h"
#include "singlewindow.h"
#include "support.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

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
void press(const char *button)
{
    QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
}
const QString initialText = "There were no renames done in this program.";
} // namespace

// The renames log viewer, and its log text box on logs of every shape.
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

    // "Refreash" loads the named log afresh; a failed load says so under the
    // hourglass and keeps the text.
    void refresh()
    {
        QVERIFY(writeFile(path("log.txt"), "a\r\nb\rc\nd"));
        QFile big(path("big"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(viewer::LargestLog + 1)); // sparse
        QList<Qt::CursorShape> pointers;
        MessageRecorder recorder(
            [&](const QString &) { pointers << Single<Renames>::get().cursor().shape(); });
        pathBox()->clear();
        press("OKButton");
        QCOMPARE(logText(), initialText);
        QVERIFY(!Single<Renames>::get().testAttribute(Qt::WA_SetCursor));
        for (const char *name : {"log.txt", "log.txt", "missing", "big"}) {
            pathBox()->setText(path(name));
            press("OKButton");
            QCOMPARE(logText(), QString("a\r\nb\r\nc\nd\r\n"));
        }
        QCOMPARE(recorder.messages, QStringList(2, "Error reading file."));
        QCOMPARE(pointers, QList<Qt::CursorShape>(2, Qt::WaitCursor));
        QCOMPARE(Single<Renames>::get().cursor().shape(), Qt::ArrowCursor);
        const QByteArray line = "Rename levl2131.DAT to levl2001.DAT OK\r\n";
        for (const QByteArray &bytes : {line.repeated((24 << 20) / line.size()), QByteArray()}) {
            QVERIFY(writeFile(path("log.txt"), bytes));
            pathBox()->setText(path("log.txt"));
            press("OKButton");
            QVERIFY(logText() == QString::fromLatin1(bytes));
        }
    }

    void browseKeepsTheLastChoice()
    {
        QStringList filters;
        std::optional<QString> answer; // nothing: the user cancels
        FileOpenDialog::setChooser([&](QWidget *, const QString &filter) {
            filters << filter;
            return answer;
        });
        press("Command1"); // a cancel in a fresh viewer empties the path box
        QCOMPARE(pathBox()->text(), QString());
        answer = path("Renames.txt");
        press("Command1");
        QCOMPARE(pathBox()->text(), path("Renames.txt"));
        pathBox()->setText("typed");
        answer.reset();
        press("Command1"); // a cancel puts the last choice back
        QCOMPARE(pathBox()->text(), path("Renames.txt"));
        QCOMPARE(filters, QStringList(3, "txt Files (*.TXT)|*.TXT"));
        QCOMPARE(windowing::nameFilters(filters.first()) +
                     windowing::nameFilters("Logs|*.TXT;*.LOG"),
                 QStringList({"txt Files (*.TXT)", "Logs (*.TXT *.LOG)"}));

        windowing::unloadAll(); // a reloaded viewer has forgotten it
        press("Command1");
        QCOMPARE(pathBox()->text(), QString());
    }

    // Esc and Enter press no button; Back and the close box unload the viewer,
    // and the next one is as new.
    void closing()
    {
        Single<Renames>::show();
        QVERIFY(QTest::qWaitForWindowActive(&Single<Renames>::get()));
        MessageRecorder recorder;
        pathBox()->setText(path("missing.txt"));
        child<viewer::LogTextBox>("Text1")->setText("edited");
        for (auto key : {Qt::Key_Escape, Qt::Key_Return})
            QTest::keyClick(pathBox(), key);
        QVERIFY(recorder.messages.isEmpty());
        press("CancelButton");
        QVERIFY(!Single<Renames>::isLoaded());
        Renames &viewer = Single<Renames>::get();
        QCOMPARE(QStringList({viewer.windowTitle(), logText(), pathBox()->text(),
                              child<QLabel>("Label1")->text()}),
                 QStringList({"Renames done in this program. ", initialText,
                              platform::hostPath(QString::fromUtf16(platform::DefaultLogPath)),
                              "FROM        TO"}));
        QCOMPARE(viewer.size(), QSize(468, 529));
        for (const char *name : {"Month1", "Month2"}) {
            auto *calendar = child<QCalendarWidget>(name);
            QVERIFY(!calendar->isEnabled());
            QCOMPARE(QList<QDate>({calendar->selectedDate(), calendar->minimumDate(),
                                   calendar->maximumDate()}),
                     QList<QDate>({QDate(2003, 7, 4), QDate(1753, 1, 1), QDate(9999, 12, 31)}));
        }
        Single<Renames>::show();
        Single<Renames>::get().close();
        QVERIFY(!Single<Renames>::isLoaded());
    }

    // Logs whose lines once froze the viewer: paragraphs stay small and only
    // those in sight are laid out.
    void logShapes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("marksOnly"); // all of it shows on a few lines
        constexpr int Size = 300000;
        const QByteArray letters =
            QByteArray("abcdefghijklmnopqrstuvwxyz").repeated(Size / 26 + 1).left(Size);
        QTest::newRow("one line, no blank") << letters << false;
        QTest::newRow("nul bytes") << QByteArray(Size, '\0') << false;
        QTest::newRow("only line feeds")
            << QByteArray("Rename levl2131.DAT to levl2001.DAT OK\n").repeated(8000) << false;
        QTest::newRow("only crs") << QByteArray(Size, '\r') << false;
        QTest::newRow("empty lines") << QByteArray("\r\n").repeated(Size / 2) << false;
        QTest::newRow("line feeds and line ends")
            << QByteArray("\n\r\na\nb\r").repeated(Size / 6) << false;
        QTest::newRow("words, no line end") << QByteArray("word ").repeated(Size / 5) << false;
        QTest::newRow("short lines, long words")
            << ("x\r\n" + letters.left(5000) + " y\n" + letters.left(3000)).repeated(40) << false;
        QTest::newRow("surrogate pairs")
            << "x" + QByteArray("\xf0\x9f\x98\x80").repeated(Size / 4) << false;
        QTest::newRow("only marks") << "a" + QByteArray("\xcc\x81").repeated(Size / 2) << true;
    }
    void logShapes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, marksOnly);
        const QString text = viewer::logText(bytes); // the line reader's own table checks it
        viewer::LogTextBox box;
        box.resize(449, 321);
        box.setLog(bytes);
        QVERIFY(box.text() == text);
        box.selectAll();
        box.copy(); // every line break a line feed, nothing where a line was cut
        QVERIFY(QGuiApplication::clipboard()->text() == QString(text).replace("\r\n", "\n"));

        const QTextDocument *document = box.document();
        QVERIFY(document->blockCount() <=
                2 * document->characterCount() / viewer::LogTextBox::PackedParagraph + 2);
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            const QString paragraph = block.text();
            // A mark stays with its letter, a surrogate pair whole.
            QVERIFY(paragraph.size() <= viewer::LogTextBox::MaxParagraph + 64);
            QVERIFY(paragraph.isEmpty() || !paragraph.back().isHighSurrogate());
            qsizetype word = 0;
            for (const QChar c : paragraph) {
                word = (c == ' ' || c == QChar::LineSeparator) ? 0 : word + 1;
                QVERIFY(word <= viewer::LogTextBox::MaxWord + 64);
            }
        }

        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::processEvents();
        qsizetype laidOut = 0;
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            if (block.layout()->lineCount() > 0)
                laidOut += block.length();
        }
        QVERIFY2(marksOnly || laidOut <= document->characterCount() / 4,
                 qPrintable(QString::number(laidOut)));
        QVERIFY(box.textCursor().atEnd());
    }
};

QTEST_MAIN(TestRenames)
#include "tst_renames.moc"
