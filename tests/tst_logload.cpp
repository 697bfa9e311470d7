#include "logtext.h"
#include "logtextbox.h"

#include <QApplication>
#include <QClipboard>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using namespace viewer;

namespace {
// The log as its reader would take it, line by line: a line ends at a CR, an
// LF right after it belongs to that end, each line is shown followed by
// CR LF. Decoded as UTF-8 when all of it is, else byte by byte for the few
// Windows-1252 bytes these tests use.
QString expectedText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString whole = utf8.decode(bytes); // decoding is what sets the error
    const bool isUtf8 = !utf8.hasError();
    QString text;
    QByteArray line;
    const auto endLine = [&] {
        if (isUtf8) {
            text += QString::fromUtf8(line);
        } else {
            for (const char c : line) {
                switch (static_cast<unsigned char>(c)) {
                case 0x80:
                    text += QChar(0x20AC);
                    break;
                case 0x96:
                    text += QChar(0x2013);
                    break;
                default:
                    text += QChar(static_cast<unsigned char>(c));
                }
            }
        }
        text += "\r\n";
        line.clear();
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            endLine();
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            line += bytes[i];
        }
    }
    if (!line.isEmpty())
        endLine();
    return text;
}
} // namespace

class TestLogLoad : public QObject {
    Q_OBJECT
private slots:
    // Logs whose line structure once froze the viewer: they load exactly, and
    // the box keeps every paragraph small and lays out only the few paragraphs
    // it shows at the start and at the end, so the window answers at once.
    void worstCaseShapes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("marksOnly"); // all of it shows on a few lines
        const auto ascii = [](const QByteArray &bytes) {
            return QString::fromLatin1(bytes) + (bytes.endsWith("\r\n") ? "" : "\r\n");
        };
        constexpr int Size = 300000;
        QByteArray letters(Size, 'x');
        for (int i = 0; i < Size; ++i)
            letters[i] = char('a' + i % 26);
        QTest::newRow("one line, no blank") << letters << ascii(letters) << false;
        QTest::newRow("nul bytes") << QByteArray(Size, '\0') << QString(Size, QChar(0)) + "\r\n"
                                   << false;
        const QByteArray lfOnly =
            QByteArray("Rename levl2131.DAT to levl2001.DAT OK\n").repeated(8000);
        QTest::newRow("only line feeds") << lfOnly << ascii(lfOnly) << false;
        QTest::newRow("only crs") << QByteArray(Size, '\r') << QString("\r\n").repeated(Size)
                                  << false;
        const QByteArray empty = QByteArray("\r\n").repeated(Size / 2);
        QTest::newRow("empty lines") << empty << ascii(empty) << false;
        const QByteArray mixed = QByteArray("\n\r\na\nb\r").repeated(Size / 6);
        QTest::newRow("line feeds and line ends")
            << mixed << QString::fromLatin1(mixed).replace("\r\n", "\r").replace("\r", "\r\n")
            << false;
        const QByteArray words = QByteArray("word ").repeated(Size / 5);
        QTest::newRow("words, no line end") << words << ascii(words) << false;
        const QByteArray longWords =
            ("x\r\n" + letters.left(5000) + " y\n" + letters.left(3000)).repeated(40);
        QTest::newRow("short lines, long words") << longWords << ascii(longWords) << false;
        const QByteArray pairs = "x" + QByteArray("\xf0\x9f\x98\x80").repeated(Size / 4);
        QTest::newRow("surrogate pairs") << pairs << QString::fromUtf8(pairs) + "\r\n" << false;
        const QByteArray marks = "a" + QByteArray("\xcc\x81").repeated(Size / 2);
        QTest::newRow("only marks") << marks << QString::fromUtf8(marks) + "\r\n" << true;
    }
    void worstCaseShapes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(bool, marksOnly);
        LogTextBox box;
        box.resize(449, 321);
        box.setLog(bytes);
        QVERIFY(box.text() == text);
        box.selectAll();
        box.copy(); // every line break a line feed, nothing where a line was cut
        QVERIFY(QGuiApplication::clipboard()->text() == QString(text).replace("\r\n", "\n"));

        const QTextDocument *document = box.document();
        QVERIFY(document->blockCount() <=
                2 * document->characterCount() / LogTextBox::PackedParagraph + 2);
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            const QString paragraph = block.text();
            // A mark stays with its letter, a surrogate pair whole, a little
            // beyond the limits.
            QVERIFY(paragraph.size() <= LogTextBox::MaxParagraph + 64);
            QVERIFY(paragraph.isEmpty() || !paragraph.back().isHighSurrogate());
            qsizetype word = 0;
            for (const QChar c : paragraph) {
                word = (c == ' ' || c == QChar::LineSeparator) ? 0 : word + 1;
                QVERIFY2(word <= LogTextBox::MaxWord + 64,
                         qPrintable(QString::number(block.blockNumber())));
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
        if (!marksOnly)
            QVERIFY2(laidOut <= document->characterCount() / 4,
                     qPrintable(QString::number(laidOut)));
        QVERIFY(box.textCursor().atEnd());
    }

    // Many short logs drawn from the bytes that matter, so that line ends and
    // code-page bytes fall on, before and after the edges of the eight-byte
    // words the loader reads, against the line reader's reading.
    void loadsAnyMixLikeTheLineReader()
    {
        static const char alphabet[] = {'a',    'z',    ' ',    '\r',   '\n',
                                        '\x80', '\x96', '\xe9', '\xc3', '\xa9'};
        QRandomGenerator random(20030704);
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes;
            const int size = random.bounded(40);
            // A third mix in any byte, a third keep to valid UTF-8, a third
            // hold one lone code-page byte among ASCII.
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
            const QString expected = expectedText(bytes);
            if (logDocumentText(bytes).replace("\r\n", "\r") !=
                toDocumentText(expected).replace("\r\n", "\r"))
                QFAIL(qPrintable("wrong document text for " + bytes.toHex(' ')));
        }
    }
};

QTEST_MAIN(TestLogLoad)
#include "tst_logload.moc"
