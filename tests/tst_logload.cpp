#include "logtext.h"
#include "logtextbox.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>

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
    // Line ends and code-page bytes where the loader reads eight bytes at a
    // time: on, before and after the edges of those words.
    void loadsLikeTheLineReader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("ascii, open") << QByteArray("0123456789abcdef0123");
        QTest::newRow("cr on 7") << QByteArray("0123456\r89abcdef");
        QTest::newRow("cr on 8") << QByteArray("01234567\r9abcdef");
        QTest::newRow("crlf across 7|8") << QByteArray("0123456\r\n9abcdef\r\n");
        QTest::newRow("lf on 15") << QByteArray("0123456789abcde\nx");
        QTest::newRow("lone cr last") << QByteArray("0123456789abcdef\r");
        QTest::newRow("cr cr lf") << QByteArray("01234567\r\r\n");
        QTest::newRow("windows-1252 on 7") << QByteArray("0123456\x80"
                                                         "89abcdef\r\n");
        QTest::newRow("windows-1252 last") << QByteArray("0123456789abcdef\x96");
        QTest::newRow("utf-8 across 7|8") << QByteArray("0123456\xc3\xa9"
                                                        "9abcdef\n\r");
        QTest::newRow("lf only") << QByteArray("\n\n\n\n\n\n\n\n\n");
    }
    void loadsLikeTheLineReader()
    {
        QFETCH(QByteArray, bytes);
        const QString expected = expectedText(bytes);
        QCOMPARE(logDocumentText(bytes), toDocumentText(expected));
        LogTextBox box;
        box.setLog(bytes);
        QCOMPARE(box.text(), expected);
    }

    // Many short logs drawn from the bytes that matter, against the same reading.
    void loadsAnyMixLikeTheLineReader()
    {
        static const char alphabet[] = {'a',    'z',    ' ',    '\r',   '\n',
                                        '\x80', '\x96', '\xe9', '\xc3', '\xa9'};
        QRandomGenerator random(20030704);
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes;
            const int size = random.bounded(40);
            // Some logs keep to ASCII and valid UTF-8, the others mix in any byte.
            const int kinds = round % 3 == 1 ? 10 : 5;
            for (int i = 0; i < size; ++i) {
                if (round % 3 == 1 || random.bounded(8) != 0)
                    bytes += alphabet[random.bounded(kinds)];
                else
                    bytes += "\xc3\xa9";
            }
            const QString expected = expectedText(bytes);
            if (logDocumentText(bytes) != toDocumentText(expected))
                QFAIL(qPrintable("wrong document text for " + bytes.toHex(' ')));
        }
    }
};

QTEST_MAIN(TestLogLoad)
#include "tst_logload.moc"
