#include "fileopendialog.h"
#include "fonts.h"
#include "logtext.h"
#include "logtextbox.h"
#include "logviewer.h"
#include "messagerecorder.h"
#include "singlewindow.h"
#include "support.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
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
QString shownText()
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
// Windows reads logs in its ANSI code page (Windows-1252 under the tests'
// Wine); elsewhere valid UTF-8 is taken as such.
const bool AnsiCodePage = QSysInfo::kernelType() == "winnt";
QObjectList focused; // what a screen reader was told has the focus
} // namespace

// The renames log viewer: its text from a log's bytes, its log text box on logs
// of every shape, and the window.
class TestRenames : public QObject {
    Q_OBJECT
    const RunScratch run{"tst_renames"};
    QTemporaryDir dir;

    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

private slots:
    void initTestCase()
    {
        QAccessible::installUpdateHandler([](QAccessibleEvent *event) { // the screen reader
            if (event->type() == QAccessible::Focus)
                focused << event->object();
        });
        windowing::useDialogFont();
    }

    void cleanup()
    {
        FileOpenDialog::setChooser({});
        windowing::unloadAll();
    }

    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero bytes") << QByteArray() << "";
        QTest::newRow("crlf, last line open") << QByteArray("a\r\nb") << "a\r\nb\r\n";
        QTest::newRow("crlf, last line ended") << QByteArray("a\r\nb\r\n") << "a\r\nb\r\n";
        QTest::newRow("empty line kept") << QByteArray("a\r\n\r\nb") << "a\r\n\r\nb\r\n";
        QTest::newRow("lone cr") << QByteArray("a\rb\r") << "a\r\nb\r\n";
        QTest::newRow("lone lf is part of its line") << QByteArray("a\nb\n") << "a\nb\n\r\n";
        QTest::newRow("cr cr lf") << QByteArray("a\r\r\nb") << "a\r\n\r\nb\r\n";
        QTest::newRow("lf cr") << QByteArray("a\n\rb") << "a\n\r\nb\r\n";
        QTest::newRow("only an end") << QByteArray("\r\n") << "\r\n";
        QTest::newRow("only a lone lf") << QByteArray("\n") << "\n\r\n";
        QTest::newRow("tab and nul kept")
            << QByteArray("a\tb\0c", 5) << QString("a\tb") + QChar(0) + "c\r\n";
        QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9")
                               << QString::fromUtf8(AnsiCodePage ? "cafÃ©\r\n" : "café\r\n");
        QTest::newRow("bom not recognised")
            << QByteArray("\xef\xbb\xbfx")
            << (AnsiCodePage ? QString::fromUtf8("ï»¿x\r\n") : QChar(0xFEFF) + QString("x\r\n"));
        QTest::newRow("invalid utf-8 is windows-1252")
            << QByteArray("caf\xe9 \x80\x96") << QString::fromUtf8("café €–\r\n");
        QTest::newRow("undefined windows-1252 bytes survive")
            << QByteArray("\x81\x8d\x8f\x90\x9d")
            << QString::fromUtf16(u"\x81\x8d\x8f\x90\x9d\r\n");
    }
    void lineEnds()
    {
        QFETCH(QByteArray, bytes);
        QTEST(viewer::logText(bytes), "text");
    }

    // Line ends and code-page bytes on and around the edges of the eight-byte
    // words the one-pass loader reads: it agrees with the line reader.
    void documentTextAsTheLineReaderHasIt()
    {
        static const char alphabet[] = {'a',    'z',    ' ',    '\r',   '\n',
                                        '\x80', '\x96', '\xe9', '\xc3', '\xa9'};
        QRandomGenerator random(20030704);
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes;
            const int size = random.bounded(40);
            // Any bytes, valid UTF-8, or one lone code-page byte among ASCII.
            for (int i = 0; i < size; ++i) {
                if (round % 3 == 0)
                    bytes += alphabet[random.bounded(10)];
                else if (round % 3 == 1 && random.bounded(8) == 0)
                    bytes += "\xc3\xa9";
                else
                    bytes += alphabet[random.bounded(5)];
            }
            if (round % 3 == 2 && size > 0)
                bytes[random.bounded(size)] = alphabet[5 + random.bounded(3)];
            if (viewer::logDocumentText(bytes).replace("\r\n", "\r") !=
                viewer::toDocumentText(viewer::logText(bytes)).replace("\r\n", "\r"))
                QFAIL(qPrintable("wrong document text for " + bytes.toHex(' ')));
        }
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
        QCOMPARE(shownText(), initialText);
        QVERIFY(!Single<Renames>::get().testAttribute(Qt::WA_SetCursor));
        for (const char *name : {"log.txt", "log.txt", "missing", "big"}) {
            pathBox()->setText(path(name));
            press("OKButton");
            QCOMPARE(shownText(), QString("a\r\nb\r\nc\nd\r\n"));
        }
        QCOMPARE(recorder.messages, QStringList(2, "Error reading file."));
        QCOMPARE(pointers, QList<Qt::CursorShape>(2, Qt::WaitCursor));
        QCOMPARE(Single<Renames>::get().cursor().shape(), Qt::ArrowCursor);
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
        Renames &viewer = Single<Renames>::get(path("Renames.txt"));
        QCOMPARE(QStringList({viewer.windowTitle(), shownText(), pathBox()->text(),
                              child<QLabel>("Label1")->text()}),
                 QStringList({"Renames done in this program. ", initialText, path("Renames.txt"),
                              "FROM        TO"}));
        QVERIFY(!child<QWidget>("Month1")->isEnabled() && !child<QWidget>("Month2")->isEnabled());
        Single<Renames>::show();
        Single<Renames>::get().close();
        QVERIFY(!Single<Renames>::isLoaded());
    }

    // A path longer than the box shows its end, the file's name, as the viewer
    // opens and whenever the box is left; while edited, where the user is.
    void pathBoxShowsTheFileName()
    {
        const QString log = path(QByteArray(300, 'x') + "/Renames.txt");
        Single<Renames>::show(log);
        QVERIFY(QTest::qWaitForWindowActive(&Single<Renames>::get()));
        QLineEdit *box = pathBox();
        const auto fileNameShown = [&] {
            const QRect cursor = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
            return box->rect().contains(cursor.topLeft()) && box->cursorPosition() == log.size();
        };
        QVERIFY(fileNameShown());
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        QCOMPARE(box->cursorPosition(), 0);
        child<QPushButton>("OKButton")->setFocus();
        QVERIFY(fileNameShown());
    }

    // A screen reader hears of the focus only where the user can act: not on a
    // disabled calendar's days, which report their day as focused at every load,
    // nor in a viewer a Rename loaded hidden. (Qt passes such reports on only
    // while a screen reader is present: here they go to the handler at once.)
    void focusHeardOnlyOnUsableControls()
    {
        QWidget *days = child<QWidget>("Month1")->focusProxy(); // loaded hidden
        const QAccessible::UpdateHandler handler = QAccessible::installUpdateHandler(nullptr);
        QAccessible::installUpdateHandler(handler);
        focused.clear();
        for (bool shown : {false, true}) {
            if (shown)
                Single<Renames>::show();
            for (QWidget *focus : {days, child<QWidget>("OKButton")}) {
                QAccessibleEvent event(focus, QAccessible::Focus);
                handler(&event);
            }
        }
        QCOMPARE(focused, QObjectList({child<QWidget>("OKButton")}));
    }

    // Logs whose lines once froze the viewer: exact, and in paragraphs of at most
    // 8,192 characters with no word over 1,024 (the box lays out only the
    // paragraphs in sight, each in a time that grows with the square of its
    // longest word), give or take the 64 that keep a letter's marks with it.
    void logShapes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        constexpr int Size = 300000;
        const QByteArray letters =
            QByteArray("abcdefghijklmnopqrstuvwxyz").repeated(Size / 26 + 1).left(Size);
        QTest::newRow("one line, no blank") << letters;
        QTest::newRow("nul bytes") << QByteArray(Size, '\0');
        QTest::newRow("only line feeds")
            << QByteArray("Rename levl2131.DAT to levl2001.DAT OK\n").repeated(8000);
        QTest::newRow("only crs") << QByteArray(Size, '\r');
        QTest::newRow("empty lines") << QByteArray("\r\n").repeated(Size / 2);
        QTest::newRow("line feeds and line ends") << QByteArray("\n\r\na\nb\r").repeated(Size / 6);
        QTest::newRow("words, no line end") << QByteArray("word ").repeated(Size / 5);
        QTest::newRow("short lines, long words")
            << ("x\r\n" + letters.left(5000) + " y\n" + letters.left(3000)).repeated(40);
        QTest::newRow("surrogate pairs") << "x" + QByteArray("\xf0\x9f\x98\x80").repeated(Size / 4);
        QTest::newRow("only marks") << "a" + QByteArray("\xcc\x81").repeated(Size / 2);
    }
    void logShapes()
    {
        QFETCH(QByteArray, bytes);
        const QString text = viewer::logText(bytes); // the line reader's own table checks it
        viewer::LogTextBox box;
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
            QVERIFY(paragraph.size() <= 8192 + 64);
            QVERIFY(paragraph.isEmpty() || !paragraph.back().isHighSurrogate());
            qsizetype word = 0;
            for (const QChar c : paragraph) {
                word = (c == ' ' || c == QChar::LineSeparator) ? 0 : word + 1;
                QVERIFY(word <= 1024 + 64);
            }
        }
    }
};

QTEST_MAIN(TestRenames)
#include "tst_renames.moc"
